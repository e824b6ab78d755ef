#pragma once

#include "ArchiveKeeper.h"
#include "MonitorCollaborators.h"
#include "foundation/Clocks.h"
#include "interpretation/HealthAlerts.h"
#include "interpretation/HealthAssessment.h"
#include "interpretation/HealthObservation.h"
#include "measurement/SystemMetricsSampling.h"

#include <QObject>
#include <QUuid>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>
#include <vector>

namespace kestrum {

struct SystemMonitorRefreshOutcome {
    bool succeeded = false;
    QUuid snapshotID;
    bool operator==(const SystemMonitorRefreshOutcome&) const = default;
};

enum class AnalyticsTrigger { automaticMonitoring, manualRefresh };

class OperationAnalytics;
// Work that rides on every live sample besides the loop's own (the resource analysis, the running
// performance session, the processor comparison). Each part may be empty.
struct SampleRider {
    // Right after the sample is kept.
    std::function<void(const SystemSnapshot&)> sampleKept;
    // With the observation continuity: `started` and `now` are the continuity clock at the start and
    // the end of the refresh.
    std::function<void(const SystemSnapshot&, double started, double now)> continuityRecorded;
    // Monitoring stopped or the machine went to sleep.
    std::function<void()> interrupted;
};

// The monitoring loop: samples every interval, keeps the last 1,800 snapshots, judges each one, hands a
// sample a minute and the new health events to the archive keeper, notifies, and keeps the observation
// continuity that sleep, wake, stops and failures interrupt. Concurrent refreshes share one sample.
class MonitoringLoop : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kHistoryLimit = 1800;
    static constexpr double kNotificationCooldownSeconds = 1800;
    static constexpr double kDefaultSampleInterval = 2;

    struct Dependencies {
        std::shared_ptr<SystemMetricsSampling> sampler;
        std::shared_ptr<HealthNotificationDelivering> notificationService;
        std::shared_ptr<LoopSleeping> loopSleeper;
        DateProvider dateProvider;
        MonotonicClock monotonicClock;
        std::function<QUuid()> idProvider;
        OperationAnalytics* analytics = nullptr; // usage events; may be absent
    };
    MonitoringLoop(Dependencies dependencies, ArchiveKeeper& keeper, double sampleInterval,
                   QObject* parent = nullptr);
    ~MonitoringLoop() override;

    void start();
    void stop();
    QCoro::Task<SystemMonitorRefreshOutcome> refresh(AnalyticsTrigger trigger);
    // Clamps to 1...30 s; answers whether the stored value changed.
    bool setSampleInterval(double seconds);
    void setNotifies(bool notifies) { m_notifies = notifies; }
    void systemWillSleep();
    void systemDidWake();
    void addRider(SampleRider rider) { m_riders.push_back(std::move(rider)); }
    // Seconds since the loop's continuity clock started.
    double continuityClock() const;
    bool isSleeping() const { return m_continuitySleeping; }

    const SystemSnapshot& currentSnapshot() const { return m_currentSnapshot; }
    const std::vector<SystemSnapshot>& history() const { return m_history; }
    const std::vector<HealthInsight>& activeInsights() const { return m_activeInsights; }
    const HealthAssessment& currentAssessment() const { return m_currentAssessment; }
    const std::vector<HealthObservationRow>& observationRows() const { return m_observationRows; }
    bool hasMeasurement() const { return m_hasRecordedFirstSnapshotReady; }
    bool isMonitoring() const { return m_isMonitoring; }
    double sampleInterval() const { return m_sampleInterval; }
    QString lastError() const { return m_lastError; }

Q_SIGNALS:
    void currentSnapshotChanged();
    void historyChanged();
    void activeInsightsChanged();
    void observationRowsChanged();
    void isMonitoringChanged();
    void sampleIntervalChanged();
    void lastErrorChanged();
    // Internal: a refresh finished (concurrent callers wait on it).
    void refreshCompleted(quint64 generation, bool succeeded, QUuid snapshotID);

private:
    using Interruption = HealthObservationContinuity::Interruption;

    QCoro::Task<void> runLoop(std::stop_token stop);
    QCoro::Task<SystemMonitorRefreshOutcome> performRefresh(AnalyticsTrigger trigger);
    void keepSnapshot(const SystemSnapshot& snapshot);
    // Answers whether new events were added.
    bool raiseEvents(const SystemSnapshot& snapshot);
    void invalidateContinuity(Interruption why);
    void recordContinuity(const SystemSnapshot& snapshot, int generation, double started);
    void updateObservationRows();
    void recomputeInsights(const SystemSnapshot& snapshot);
    void interruptRiders();
    void setLastError(const QString& text);

    Dependencies m_deps;
    ArchiveKeeper& m_keeper;

    SystemSnapshot m_currentSnapshot;
    std::vector<SystemSnapshot> m_history;
    std::vector<HealthInsight> m_activeInsights;
    HealthAssessment m_currentAssessment;
    std::vector<HealthObservationRow> m_observationRows;
    bool m_isMonitoring = false;
    double m_sampleInterval = kDefaultSampleInterval;
    QString m_lastError;
    bool m_notifies = false;

    HealthAlertTracker m_alertTracker;
    HealthObservationMonitor m_observationMonitor;
    int m_continuityGeneration = 0;
    bool m_continuitySleeping = false;
    double m_continuityClockOrigin = 0;

    std::optional<std::stop_source> m_monitoringStop;
    std::optional<QCoro::Task<void>> m_monitoringTask;
    bool m_refreshInFlight = false;
    quint64 m_refreshGeneration = 0;
    bool m_hasRecordedFirstSnapshotReady = false;
    std::vector<SampleRider> m_riders;
};

} // namespace kestrum
