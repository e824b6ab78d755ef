#include "ReportExportViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "reports/WeeklyHealthReportBuilder.h"

#include <QDir>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kestrum {

namespace {

std::optional<ExportedReport> reportNamed(const QString& kind) {
    if (kind == u"diagnostic")
        return ExportedReport::diagnostic;
    if (kind == u"weekly")
        return ExportedReport::weekly;
    return std::nullopt;
}

ProductAnalyticsReportKind analyticsKind(ExportedReport report) {
    return report == ExportedReport::diagnostic ? ProductAnalyticsReportKind::diagnostic
                                                : ProductAnalyticsReportKind::weeklyHealth;
}

} // namespace

ReportExportViewModel::ReportExportViewModel(SystemMonitorStore& store, ProductAnalyticsRecorder analytics,
                                             ReportMachineContext machine, DateProvider now, QObject* parent)
    : QObject(parent), m_store(store), m_analytics(std::move(analytics)), m_machine(std::move(machine)),
      m_now(now ? std::move(now) : DateProvider([] { return Date::now(); })) {}

ReportExportViewModel* ReportExportViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<ReportExportViewModel>(engine);
}

void ReportExportViewModel::requestExport(const QString& kind) {
    if (!reportNamed(kind))
        return;
    m_pendingExport = kind;
    Q_EMIT pendingExportChanged();
}

QString ReportExportViewModel::takePendingExport() {
    const QString kind = std::exchange(m_pendingExport, QString());
    if (!kind.isEmpty())
        Q_EMIT pendingExportChanged();
    return kind;
}

QUrl ReportExportViewModel::begin(const QString& kind) {
    const std::optional<ExportedReport> report = reportNamed(kind);
    if (!report)
        return {};
    m_analytics.record(ProductAnalyticsEvent::reportExportStarted(analyticsKind(*report)));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return QUrl::fromLocalFile(folder + QStringLiteral("/") +
                               ReportExport::defaultFileName(*report, m_now()));
}

void ReportExportViewModel::cancel(const QString& kind) {
    if (const std::optional<ExportedReport> report = reportNamed(kind))
        m_analytics.record(ProductAnalyticsEvent::reportExportResult(
            analyticsKind(*report), ProductAnalyticsReportOutcome::cancelled));
}

void ReportExportViewModel::save(const QString& kind, const QUrl& target) {
    const std::optional<ExportedReport> report = reportNamed(kind);
    if (!report)
        return;
    // The portal may hand back a document URL that is not a local file; only local files are written.
    const QString path = target.isLocalFile() ? target.toLocalFile() : QString();
    fireAndForget(saveNow(*report, path), "saving a report");
}

QString ReportExportViewModel::text(ExportedReport report) const {
    const Date now = m_now();
    if (report == ExportedReport::weekly)
        return WeeklyHealthReportBuilder{}.build(WeeklyHealthReportInput::lastWeek(m_store.archive(), now));
    DiagnosticReportBuilder builder;
    builder.distribution = m_machine.distribution;
    builder.operatingSystemVersion = m_machine.operatingSystemVersion;
    builder.privateWords = m_machine.privateWords;
    return builder.build(m_store.currentSnapshot(), m_store.currentAssessment(), m_store.personalBaseline(),
                         m_store.healthEvents(), m_store.activeIncident(),
                         m_store.latestNetworkQualityResult(), now);
}

QCoro::Task<bool> ReportExportViewModel::saveNow(ExportedReport report, QString path) {
    m_saving = true;
    m_failed = false;
    m_message.clear();
    Q_EMIT changed();
    // Built here from the store's state; written elsewhere, since a slow disk must not stall the window.
    const QString content = text(report);
    // The future is a named local: a lambda with captures inside the co_await expression is destroyed
    // twice by this compiler.
    QFuture<std::optional<QString>> writing =
        QtConcurrent::run([path, content] { return ReportExport::write(path, content); });
    const std::optional<QString> failure = co_await writing;
    finish(report, failure, path);
    co_return !failure;
}

void ReportExportViewModel::finish(ExportedReport report, const std::optional<QString>& failure,
                                   const QString& path) {
    m_saving = false;
    m_failed = failure.has_value();
    if (failure) {
        m_message = L10n::string(*failure);
        m_analytics.record(ProductAnalyticsEvent::reportExportResult(
            analyticsKind(report), ProductAnalyticsReportOutcome::failed,
            ProductAnalyticsErrorCategory::persistence));
    } else {
        m_message = L10n::string(trTemplate("Rapor kaydedildi: \\(path)", {path}));
        m_analytics.record(ProductAnalyticsEvent::reportExportResult(
            analyticsKind(report), ProductAnalyticsReportOutcome::succeeded));
    }
    Q_EMIT changed();
}

} // namespace kestrum
