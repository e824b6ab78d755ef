#pragma once

#include "measurement/SnapshotPresentation.h"
#include "monitor/SystemMonitorStore.h"

#include <QObject>
#include <QTimer>
#include <QVariant>

namespace kestrum {

// What the application's views show of the monitoring store, as plain values a QML view binds to.
// Views hold no logic: every text here is already formatted and localised. Rebuilt (once per event
// loop turn) whenever the store changes.
class MonitorViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY settingsChanged)
    Q_PROPERTY(bool hasMeasurement READ hasMeasurement NOTIFY snapshotChanged)
    Q_PROPERTY(double sampleInterval READ sampleInterval NOTIFY settingsChanged)
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled NOTIFY settingsChanged)
    Q_PROPERTY(QString notificationStatusMessage READ notificationStatusMessage NOTIFY settingsChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY errorsChanged)
    Q_PROPERTY(QString persistenceError READ persistenceError NOTIFY errorsChanged)
    Q_PROPERTY(QVariantMap headline READ headline NOTIFY snapshotChanged)
    Q_PROPERTY(QString timestampText READ timestampText NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantList groups READ groups NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantList coreUsage READ coreUsage NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantMap series READ series NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantMap battery READ battery NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantMap network READ network NOTIFY snapshotChanged)
    Q_PROPERTY(QVariantMap assessment READ assessment NOTIFY healthChanged)
    Q_PROPERTY(QVariantList insights READ insights NOTIFY healthChanged)
    Q_PROPERTY(QVariantList observationRows READ observationRows NOTIFY healthChanged)
    Q_PROPERTY(QVariantMap leadObservation READ leadObservation NOTIFY healthChanged)
    Q_PROPERTY(QVariantList eventGroups READ eventGroups NOTIFY healthChanged)
    Q_PROPERTY(QVariantMap baseline READ baseline NOTIFY healthChanged)
    Q_PROPERTY(QVariantMap activeIncident READ activeIncident NOTIFY healthChanged)

public:
    // How many points a sparkline shows (five minutes at the default interval).
    static constexpr size_t kSeriesLength = 150;

    explicit MonitorViewModel(SystemMonitorStore& store, QObject* parent = nullptr);

    bool isMonitoring() const { return m_store.isMonitoring(); }
    bool hasMeasurement() const { return m_store.hasMeasurement(); }
    double sampleInterval() const { return m_store.sampleInterval(); }
    bool notificationsEnabled() const { return m_store.notificationsEnabled(); }
    QString notificationStatusMessage() const;
    QString lastError() const;
    QString persistenceError() const;
    QVariantMap headline() const { return m_headline; }
    QString timestampText() const { return m_timestampText; }
    QVariantList groups() const { return m_groups; }
    QVariantList coreUsage() const { return m_coreUsage; }
    QVariantMap series() const { return m_series; }
    QVariantMap battery() const { return m_battery; }
    QVariantMap network() const { return m_network; }
    QVariantMap assessment() const { return m_assessment; }
    QVariantList insights() const { return m_insights; }
    QVariantList observationRows() const { return m_observationRows; }
    QVariantMap leadObservation() const { return m_leadObservation; }
    QVariantList eventGroups() const { return m_eventGroups; }
    QVariantMap baseline() const { return m_baseline; }
    QVariantMap activeIncident() const { return m_activeIncident; }

    Q_INVOKABLE void startMonitoring();
    Q_INVOKABLE void stopMonitoring();
    Q_INVOKABLE void setSampleInterval(double seconds);
    Q_INVOKABLE void setNotificationsEnabled(bool enabled);
    Q_INVOKABLE void startIncident(const QString& note);
    Q_INVOKABLE void stopIncident();

    // Rebuilds everything now (the view model normally coalesces store changes).
    void rebuild();

    // With no window on screen nothing needs the values: store changes are only noted, and the view
    // model catches up once when it becomes active again. Active from the start.
    void setActive(bool active);
    bool isActive() const { return m_active; }

Q_SIGNALS:
    void settingsChanged();
    void errorsChanged();
    void snapshotChanged();
    void healthChanged();

private:
    void scheduleRebuild();
    void rebuildSnapshot();
    void rebuildHealth();

    SystemMonitorStore& m_store;
    QTimer m_coalesce;
    bool m_active = true;
    bool m_stale = false;
    QVariantMap m_headline;
    QString m_timestampText;
    QVariantList m_groups;
    QVariantList m_coreUsage;
    QVariantMap m_series;
    QVariantMap m_battery;
    QVariantMap m_network;
    QVariantMap m_assessment;
    QVariantList m_insights;
    QVariantList m_observationRows;
    QVariantMap m_leadObservation;
    QVariantList m_eventGroups;
    QVariantMap m_baseline;
    QVariantMap m_activeIncident;
};

// A presentation group as the map a view binds to: key, title, isAvailable, note, rows [{label, value}].
QVariantMap groupToVariant(const PresentationGroup& group);

} // namespace kestrum
