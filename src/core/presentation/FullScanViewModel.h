#pragma once

#include "KeyedListModel.h"
#include "MetricGroup.h"
#include "OperationViewModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QUrl>

namespace kestrum {

// The full scan section: the start options (network tests, the speed test), the chain's progress with
// cancel, the chosen stored scan (score, components, findings), the history of the last 12, the export of
// the chosen scan's report, and the reminder's interval.
class FullScanViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(FullScan)
    QML_SINGLETON
    Q_PROPERTY(OperationViewModel* scan READ scan CONSTANT)
    Q_PROPERTY(bool includeNetwork READ includeNetwork WRITE setIncludeNetwork NOTIFY changed)
    Q_PROPERTY(bool includeSpeed READ includeSpeed WRITE setIncludeSpeed NOTIFY changed)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY changed)
    Q_PROPERTY(QString resultTitle READ resultTitle NOTIFY changed)
    Q_PROPERTY(QString resultSummary READ resultSummary NOTIFY changed)
    Q_PROPERTY(KeyedListModel* resultGroups READ resultGroups CONSTANT)
    Q_PROPERTY(KeyedListModel* history READ history CONSTANT)
    Q_PROPERTY(QString selectedID READ selectedID NOTIFY changed)
    Q_PROPERTY(QString exportMessage READ exportMessage NOTIFY changed)
    Q_PROPERTY(QString defaultReportName READ defaultReportName CONSTANT)
    Q_PROPERTY(int reminderDays READ reminderDays WRITE setReminderDays NOTIFY changed)
    Q_PROPERTY(QString reminderText READ reminderText NOTIFY changed)

public:
    explicit FullScanViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static FullScanViewModel* create(QQmlEngine* engine, QJSEngine*);

    OperationViewModel* scan() { return &m_scan; }
    bool includeNetwork() const { return m_includeNetwork; }
    void setIncludeNetwork(bool on);
    bool includeSpeed() const { return m_includeSpeed; }
    void setIncludeSpeed(bool on);
    bool hasResult() const { return !m_resultTitle.isEmpty(); }
    QString resultTitle() const { return m_resultTitle; }
    QString resultSummary() const { return m_resultSummary; }
    KeyedListModel* resultGroups() { return m_resultGroups.model(); }
    MetricGroup* resultGroup(const QString& key) const { return m_resultGroups.group(key); }
    // Rows: key (the scan's id), title, detail; newest first.
    KeyedListModel* history() { return &m_history; }
    QString selectedID() const { return m_selectedID; }
    QString exportMessage() const { return m_exportMessage; }
    // "Kestrum-Tam-Tarama-Raporu.md"
    QString defaultReportName() const;
    // 0 when no reminder is set.
    int reminderDays() const;
    void setReminderDays(int days);
    QString reminderText() const;

    // Answers whether the scan started; when not, the operation's error says why.
    Q_INVOKABLE bool start(bool allowLowBattery = false);
    // Shows a stored scan of the history; an unknown id is ignored.
    Q_INVOKABLE void select(const QString& id);
    // Writes the shown scan's report to `file` whole or not at all; answers whether it was saved.
    Q_INVOKABLE bool exportReport(const QUrl& file);

    // Names the report must never carry (the user's, the host's).
    void setPrivateWords(QStringList words) { m_privateWords = std::move(words); }

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    std::optional<FullSystemScanResult> shownScan() const;

    SystemMonitorStore& m_store;
    OperationViewModel m_scan;
    bool m_includeNetwork = false;
    bool m_includeSpeed = false;
    QString m_resultTitle;
    QString m_resultSummary;
    MetricGroupList m_resultGroups;
    KeyedListModel m_history;
    QString m_selectedID; // empty: the newest
    QString m_exportMessage;
    QStringList m_privateWords;
};

} // namespace kestrum
