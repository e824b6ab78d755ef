#pragma once

#include "analytics/ProductAnalyticsRecorder.h"
#include "foundation/Clocks.h"
#include "monitor/SystemMonitorStore.h"
#include "reports/DiagnosticReportBuilder.h"
#include "reports/ReportExport.h"

#include <QJSEngine>
#include <QObject>
#include <QQmlEngine>
#include <QUrl>
#include <qcoro/qcorotask.h>

namespace kestrum {

// What the running system adds to a diagnostic report: its version text and the names (user, host,
// serials) the report must never carry.
struct ReportMachineContext {
    ReportDistribution distribution = ReportDistribution::advanced;
    QString operatingSystemVersion;
    QStringList privateWords;
};

// The health centre's report exports: the diagnostic report of the machine now and the weekly report
// from the archive, each saved whole (or not at all) where the user chose in the file dialog.
class ReportExportViewModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Reports)
    QML_SINGLETON
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY changed)
    Q_PROPERTY(QString message READ message NOTIFY changed)
    Q_PROPERTY(bool failed READ failed NOTIFY changed)
    // A report the user asked for from outside the window (the weekly notification): the health centre
    // opens its dialog when it sees one, and takes it.
    Q_PROPERTY(QString pendingExport READ pendingExport NOTIFY pendingExportChanged)

public:
    ReportExportViewModel(SystemMonitorStore& store, ProductAnalyticsRecorder analytics,
                          ReportMachineContext machine, DateProvider now = {}, QObject* parent = nullptr);
    static ReportExportViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool isSaving() const { return m_saving; }
    QString message() const { return m_message; }
    bool failed() const { return m_failed; }
    QString pendingExport() const { return m_pendingExport; }
    void requestExport(const QString& kind);
    Q_INVOKABLE QString takePendingExport();

    // The dialog opens: records the start and suggests a file ("diagnostic" or "weekly").
    Q_INVOKABLE QUrl begin(const QString& kind);
    Q_INVOKABLE void cancel(const QString& kind);
    Q_INVOKABLE void save(const QString& kind, const QUrl& target);

    // The report's text as of now.
    QString text(ExportedReport report) const;
    // Builds and writes the report; true when it was saved.
    QCoro::Task<bool> saveNow(ExportedReport report, QString path);

Q_SIGNALS:
    void changed();
    void pendingExportChanged();

private:
    void finish(ExportedReport report, const std::optional<QString>& failure, const QString& path);

    SystemMonitorStore& m_store;
    ProductAnalyticsRecorder m_analytics;
    ReportMachineContext m_machine;
    DateProvider m_now;
    bool m_saving = false;
    bool m_failed = false;
    QString m_message;
    QString m_pendingExport;
};

} // namespace kestrum
