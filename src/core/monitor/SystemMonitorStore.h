#pragma once

#include "MonitorCollaborators.h"
#include "UserOperation.h"
#include "foundation/Clocks.h"
#include "foundation/PreferencesStore.h"
#include "history/HealthArchive.h"
#include "history/HealthArchivePersisting.h"
#include "interpretation/HealthAlerts.h"
#include "interpretation/HealthAssessment.h"
#include "interpretation/HealthObservation.h"
#include "interpretation/PersonalBaseline.h"
#include "measurement/SystemMetricsSampling.h"

#include <QJsonObject>
#include <QObject>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

struct SystemMonitorRefreshOutcome {
    bool succeeded = false;
    QUuid snapshotID;
    bool operator==(const SystemMonitorRefreshOutcome&) const = default;
};

enum class AnalyticsTrigger { automaticMonitoring, manualRefresh };

// The hub: owns the loop (sample, keep, judge, persist, alert), the archive, the sleep/wake handling and
// the frame of every user-started operation, and publishes one observable state. Lives on the main
// thread; the sampler and the repository work elsewhere and hand results back.
class SystemMonitorStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMonitoring READ isMonitoring NOTIFY isMonitoringChanged)
    Q_PROPERTY(double sampleInterval READ sampleInterval WRITE setSampleInterval NOTIFY sampleIntervalChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString persistenceError READ persistenceError NOTIFY persistenceErrorChanged)
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled NOTIFY notificationsEnabledChanged)
    Q_PROPERTY(QString notificationStatusMessage READ notificationStatusMessage NOTIFY
                   notificationStatusMessageChanged)
    Q_PROPERTY(
        bool resourceAnalysisEnabled READ resourceAnalysisEnabled NOTIFY resourceAnalysisEnabledChanged)
    Q_PROPERTY(
        quint64 historyEraseGeneration READ historyEraseGeneration NOTIFY historyEraseGenerationChanged)
    Q_PROPERTY(bool isArchivePrepared READ isArchivePrepared NOTIFY isArchivePreparedChanged)
    Q_PROPERTY(QVariant intensiveTestCooldownUntil READ intensiveTestCooldownUntilValue NOTIFY
                   intensiveTestCooldownUntilChanged)
    Q_PROPERTY(QVariant fullSystemScanReminderIntervalDays READ fullSystemScanReminderIntervalDaysValue NOTIFY
                   fullSystemScanReminderChanged)
    Q_PROPERTY(QVariant fullSystemScanNextReminderAt READ fullSystemScanNextReminderAtValue NOTIFY
                   fullSystemScanReminderChanged)
    Q_PROPERTY(QString fullSystemScanReminderStatusMessage READ fullSystemScanReminderStatusMessage NOTIFY
                   fullSystemScanReminderChanged)
    Q_PROPERTY(bool isSavingProcessorComparison READ isSavingProcessorComparison NOTIFY
                   isSavingProcessorComparisonChanged)
    Q_PROPERTY(bool isDiscoveringHardware READ isDiscoveringHardware NOTIFY isDiscoveringHardwareChanged)
    // One running flag, error text and progress per user-started operation.
    Q_PROPERTY(bool isNetworkQualityTestRunning READ isNetworkQualityTestRunning NOTIFY operationsChanged)
    Q_PROPERTY(bool isNetworkSpeedTestRunning READ isNetworkSpeedTestRunning NOTIFY operationsChanged)
    Q_PROPERTY(bool isQuickHealthTestRunning READ isQuickHealthTestRunning NOTIFY operationsChanged)
    Q_PROPERTY(bool isDeepHealthTestRunning READ isDeepHealthTestRunning NOTIFY operationsChanged)
    Q_PROPERTY(bool isCPUBenchmarkRunning READ isCPUBenchmarkRunning NOTIFY operationsChanged)
    Q_PROPERTY(bool isFullSystemScanRunning READ isFullSystemScanRunning NOTIFY operationsChanged)
    Q_PROPERTY(QString networkQualityTestError READ networkQualityTestError NOTIFY operationsChanged)
    Q_PROPERTY(QString networkSpeedTestError READ networkSpeedTestError NOTIFY operationsChanged)
    Q_PROPERTY(QString healthTestError READ healthTestError NOTIFY operationsChanged)
    Q_PROPERTY(QString deepHealthTestError READ deepHealthTestError NOTIFY operationsChanged)
    Q_PROPERTY(QString cpuBenchmarkError READ cpuBenchmarkError NOTIFY operationsChanged)
    Q_PROPERTY(QString fullSystemScanError READ fullSystemScanError NOTIFY operationsChanged)
    Q_PROPERTY(QVariant healthTestProgress READ healthTestProgress NOTIFY operationsChanged)
    Q_PROPERTY(QVariant deepHealthTestProgress READ deepHealthTestProgress NOTIFY operationsChanged)
    Q_PROPERTY(QVariant cpuBenchmarkProgress READ cpuBenchmarkProgress NOTIFY operationsChanged)
    Q_PROPERTY(QVariant fullSystemScanProgress READ fullSystemScanProgress NOTIFY operationsChanged)

public:
    static constexpr size_t kHistoryLimit = 1800;
    static constexpr size_t kEventLimit = 500;
    static constexpr double kPersistEverySeconds = 60;
    static constexpr double kNotificationCooldownSeconds = 1800;
    static constexpr double kDefaultSampleInterval = 2;

    struct Dependencies {
        std::shared_ptr<SystemMetricsSampling> sampler;
        PreferencesStore* preferences = nullptr;
        std::shared_ptr<HealthArchivePersisting> archiveRepository;
        std::shared_ptr<HealthNotificationDelivering> notificationService;
        SleepWakeNotifying* sleepWake = nullptr; // may be absent
        std::shared_ptr<LoopSleeping> loopSleeper;
        DateProvider dateProvider;
        MonotonicClock monotonicClock;
        std::function<QUuid()> idProvider;
    };

    explicit SystemMonitorStore(Dependencies dependencies, QObject* parent = nullptr);
    ~SystemMonitorStore() override;

    // ---- the loop ----
    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    QCoro::Task<SystemMonitorRefreshOutcome>
    refresh(AnalyticsTrigger trigger = AnalyticsTrigger::manualRefresh);
    // The application's first task: archive, hardware discovery when it exists, then the first start.
    QCoro::Task<void> startUp();
    QCoro::Task<void> prepareArchive();
    QCoro::Task<bool> persistArchive();
    QCoro::Task<void> clearHealthHistory();
    QCoro::Task<void> setNotificationsEnabled(bool enabled);
    void setResourceAnalysisEnabled(bool enabled);
    QCoro::Task<void> startIncident(const QString& note);
    QCoro::Task<void> stopIncident(const QString& note = {});

    // ---- the frame of user-started operations ----
    using ProgressReporter = std::function<void(const QVariant& progress)>;
    // The operation's own work: runs on the main thread, awaits work done elsewhere, checks the token,
    // throws CancellationError when cancelled. Its result record is appended to the operation's list.
    using OperationWork = std::function<QCoro::Task<QJsonObject>(std::stop_token, ProgressReporter)>;
    struct OperationOptions {
        bool allowLowBattery = false;
        QVariant initialProgress;
    };
    // Refuses (setting the operation's error text) or starts the operation; answers whether it started.
    bool startOperation(UserOperation operation, OperationWork work, OperationOptions options);
    bool startOperation(UserOperation operation, OperationWork work) {
        return startOperation(operation, std::move(work), OperationOptions{});
    }
    Q_INVOKABLE void cancelOperation(UserOperation operation);
    // The refusal text the frame would give now, or empty when the operation may start.
    QString refusalReason(UserOperation operation, bool allowLowBattery = false) const;

    // ---- published state ----
    const SystemSnapshot& currentSnapshot() const { return m_currentSnapshot; }
    const std::vector<SystemSnapshot>& history() const { return m_history; }
    const std::vector<HealthSample>& persistentHistory() const { return m_archive.samples; }
    const std::vector<HealthEvent>& healthEvents() const { return m_archive.events; }
    const std::vector<IncidentSession>& incidents() const { return m_archive.incidents; }
    std::optional<IncidentSession> activeIncident() const;
    const std::vector<QJsonObject>& performanceSessions() const { return m_archive.performanceSessions; }
    const std::vector<QJsonObject>& processorComparisons() const { return m_archive.processorComparisons; }
    const std::vector<QJsonObject>& results(UserOperation operation) const;
    const std::optional<QJsonObject>& latestNetworkQualityResult() const {
        return m_archive.latestNetworkQualityResult;
    }
    const std::optional<QJsonObject>& latestNetworkSpeedResult() const {
        return m_archive.latestNetworkSpeedResult;
    }
    const PersonalBaseline& personalBaseline() const { return m_personalBaseline; }
    const std::vector<HealthInsight>& activeInsights() const { return m_activeInsights; }
    const HealthAssessment& currentAssessment() const { return m_currentAssessment; }
    const std::vector<HealthObservationRow>& observationRows() const { return m_observationRows; }
    std::optional<HealthObservationRow> leadObservationRow() const;
    bool hasMeasurement() const { return m_hasRecordedFirstSnapshotReady; }

    bool isMonitoring() const { return m_isMonitoring; }
    double sampleInterval() const { return m_sampleInterval; }
    void setSampleInterval(double seconds);
    QString lastError() const { return m_lastError; }
    QString persistenceError() const { return m_persistenceError; }
    bool notificationsEnabled() const { return m_notificationsEnabled; }
    QString notificationStatusMessage() const { return m_notificationStatusMessage; }
    bool resourceAnalysisEnabled() const { return m_resourceAnalysisEnabled; }
    quint64 historyEraseGeneration() const { return m_historyEraseGeneration; }
    bool isArchivePrepared() const { return m_isArchivePrepared; }
    std::optional<Date> intensiveTestCooldownUntil() const { return m_intensiveTestCooldownUntil; }
    QVariant intensiveTestCooldownUntilValue() const;
    std::optional<int> fullSystemScanReminderIntervalDays() const {
        return m_fullSystemScanReminderIntervalDays;
    }
    QVariant fullSystemScanReminderIntervalDaysValue() const;
    std::optional<Date> fullSystemScanNextReminderAt() const { return m_fullSystemScanNextReminderAt; }
    QVariant fullSystemScanNextReminderAtValue() const;
    QString fullSystemScanReminderStatusMessage() const { return m_fullSystemScanReminderStatusMessage; }
    bool isSavingProcessorComparison() const { return false; }
    bool isDiscoveringHardware() const { return false; }

    bool isRunning(UserOperation operation) const;
    QString operationError(UserOperation operation) const;
    QVariant operationProgress(UserOperation operation) const;
    bool isNetworkQualityTestRunning() const { return isRunning(UserOperation::networkQuality); }
    bool isNetworkSpeedTestRunning() const { return isRunning(UserOperation::networkSpeed); }
    bool isQuickHealthTestRunning() const { return isRunning(UserOperation::quickHealthTest); }
    bool isDeepHealthTestRunning() const { return isRunning(UserOperation::deepHealthTest); }
    bool isCPUBenchmarkRunning() const { return isRunning(UserOperation::cpuBenchmark); }
    bool isFullSystemScanRunning() const { return isRunning(UserOperation::fullSystemScan); }
    QString networkQualityTestError() const { return operationError(UserOperation::networkQuality); }
    QString networkSpeedTestError() const { return operationError(UserOperation::networkSpeed); }
    QString healthTestError() const { return operationError(UserOperation::quickHealthTest); }
    QString deepHealthTestError() const { return operationError(UserOperation::deepHealthTest); }
    QString cpuBenchmarkError() const { return operationError(UserOperation::cpuBenchmark); }
    QString fullSystemScanError() const { return operationError(UserOperation::fullSystemScan); }
    QVariant healthTestProgress() const { return operationProgress(UserOperation::quickHealthTest); }
    QVariant deepHealthTestProgress() const { return operationProgress(UserOperation::deepHealthTest); }
    QVariant cpuBenchmarkProgress() const { return operationProgress(UserOperation::cpuBenchmark); }
    QVariant fullSystemScanProgress() const { return operationProgress(UserOperation::fullSystemScan); }

    // The preference keys the store reads and writes.
    static const QString kSampleIntervalKey;
    static const QString kNotificationsEnabledKey;
    static const QString kReminderIntervalDaysKey;
    static const QString kNextReminderAtKey;
    static const QString kCooldownUntilKey;
    static const QString kResourceConsentVersionKey;
    static const QString kResourceAnalysisEnabledKey;

Q_SIGNALS:
    void currentSnapshotChanged();
    void historyChanged();
    void persistentHistoryChanged();
    void healthEventsChanged();
    void incidentsChanged();
    void resultsChanged();
    void personalBaselineChanged();
    void activeInsightsChanged();
    void observationRowsChanged();
    void isMonitoringChanged();
    void sampleIntervalChanged();
    void lastErrorChanged();
    void persistenceErrorChanged();
    void notificationsEnabledChanged();
    void notificationStatusMessageChanged();
    void resourceAnalysisEnabledChanged();
    void historyEraseGenerationChanged();
    void isArchivePreparedChanged();
    void intensiveTestCooldownUntilChanged();
    void fullSystemScanReminderChanged();
    void isSavingProcessorComparisonChanged();
    void isDiscoveringHardwareChanged();
    void operationsChanged();
    // Internal: a refresh finished (the sharing of concurrent refreshes waits on it).
    void refreshCompleted(quint64 generation, bool succeeded, QUuid snapshotID);
    void archivePreparationFinished();

private:
    QCoro::Task<void> runLoop(std::stop_token stop);
    QCoro::Task<SystemMonitorRefreshOutcome> performRefresh(AnalyticsTrigger trigger);
    bool appendPersistentSampleIfNeeded(const HealthSample& sample);
    void apply(const HealthArchive& archive);
    HealthArchive archiveFromState() const;
    void invalidateHealthContinuity(HealthObservationContinuity::Interruption why);
    void recordContinuity(const SystemSnapshot& snapshot, int generation, double started);
    void updateObservationRows();
    void recomputeInsights(const SystemSnapshot& snapshot);
    double continuityClock() const;
    void setLastError(const QString& text);
    void setPersistenceError(const QString& text);
    void reserveCooldown(double estimatedSeconds);
    QCoro::Task<void> runOperation(UserOperation operation, OperationWork work, ProgressReporter report,
                                   std::stop_token stop);

    Dependencies m_deps;

    SystemSnapshot m_currentSnapshot;
    std::vector<SystemSnapshot> m_history;
    HealthArchive m_archive; // the persisted lists as the store holds them
    PersonalBaseline m_personalBaseline;
    std::vector<HealthInsight> m_activeInsights;
    HealthAssessment m_currentAssessment;
    std::vector<HealthObservationRow> m_observationRows;

    bool m_isMonitoring = false;
    double m_sampleInterval = kDefaultSampleInterval;
    QString m_lastError;
    QString m_persistenceError;
    bool m_notificationsEnabled = false;
    QString m_notificationStatusMessage;
    bool m_resourceAnalysisEnabled = false;
    quint64 m_historyEraseGeneration = 0;
    std::optional<Date> m_intensiveTestCooldownUntil;
    std::optional<int> m_fullSystemScanReminderIntervalDays;
    std::optional<Date> m_fullSystemScanNextReminderAt;
    QString m_fullSystemScanReminderStatusMessage;

    HealthAlertTracker m_alertTracker;
    HealthObservationMonitor m_observationMonitor;
    int m_continuityGeneration = 0;
    bool m_continuitySleeping = false;
    double m_continuityClockOrigin = 0;

    std::optional<std::stop_source> m_monitoringStop;
    std::optional<QCoro::Task<void>> m_monitoringTask;
    bool m_refreshInFlight = false;
    quint64 m_refreshGeneration = 0;
    bool m_isPreparingArchive = false;
    bool m_hasAutomaticallyStarted = false;
    bool m_isArchivePrepared = false;
    std::optional<Date> m_lastPersistedSampleAt;
    bool m_hasRecordedFirstSnapshotReady = false;

    struct OperationState {
        bool running = false;
        QString error;
        QVariant progress;
        std::optional<std::stop_source> stop;
        std::optional<QCoro::Task<void>> task;
    };
    std::map<UserOperation, OperationState> m_operations;
};

} // namespace kestrum
