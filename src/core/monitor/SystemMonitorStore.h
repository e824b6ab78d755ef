#pragma once

#include "ArchiveKeeper.h"
#include "MonitorCollaborators.h"
#include "MonitoringLoop.h"
#include "OperationAnalytics.h"
#include "OperationFrame.h"
#include "PerformanceActivity.h"
#include "culprits/ResourceActivity.h"
#include "foundation/Clocks.h"
#include "foundation/PreferencesStore.h"
#include "fullscan/FullSystemScanComponentRunning.h"
#include "fullscan/FullSystemScanResult.h"
#include "hardware/HardwareDiscovery.h"
#include "healthtests/HealthTestDependencies.h"
#include "network/NetworkTestDependencies.h"

#include <QObject>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace kestrum {

// The hub every view and command reads: one observable state over the monitoring loop, the archive
// keeper and the operation frame, which do the work. Lives on the main thread.
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
    Q_PROPERTY(bool isSavingProcessorComparison READ isSavingProcessorComparison NOTIFY
                   isSavingProcessorComparisonChanged)
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
    Q_PROPERTY(bool isDiscoveringHardware READ isDiscoveringHardware NOTIFY hardwareChanged)

public:
    static constexpr size_t kHistoryLimit = MonitoringLoop::kHistoryLimit;
    static constexpr size_t kEventLimit = ArchiveKeeper::kEventLimit;
    static constexpr double kPersistEverySeconds = ArchiveKeeper::kPersistEverySeconds;
    static constexpr double kNotificationCooldownSeconds = MonitoringLoop::kNotificationCooldownSeconds;
    static constexpr double kDefaultSampleInterval = MonitoringLoop::kDefaultSampleInterval;

    // Every collaborator but the sampler, the preferences and the repository has a working default.
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
        // False on machines without any thermal signal (virtual machines): heavy tests run with a warning.
        std::function<bool()> machineOffersThermalSignal;
        NetworkTestDependencies networkTests;
        // Usage events; disabled unless analytics is configured and consented.
        ProductAnalyticsRecorder analyticsRecorder;
        ResourceAnalysisDependencies resourceAnalysis;
        // The quick and deep health tests and the processor benchmark.
        HealthTestDependencies healthTests;
        HardwareDependencies hardware;
        // The checks the full scan chains; absent: the operations above, over this store's state.
        std::shared_ptr<FullSystemScanComponentRunning> fullSystemScanRunner;
        // Names a scan's texts must never carry (user, host, serials).
        QStringList privateWords;
    };

    explicit SystemMonitorStore(Dependencies dependencies, QObject* parent = nullptr);
    ~SystemMonitorStore() override;

    // ---- the loop and the archive ----
    Q_INVOKABLE void start() { m_loop->start(); }
    Q_INVOKABLE void stop() { m_loop->stop(); }
    QCoro::Task<SystemMonitorRefreshOutcome>
    refresh(AnalyticsTrigger trigger = AnalyticsTrigger::manualRefresh) {
        return m_loop->refresh(trigger);
    }
    // The application's first task: the archive, the hardware profile once, then the first start of the loop.
    QCoro::Task<void> startUp();
    QCoro::Task<void> prepareArchive() { return m_keeper->prepare(); }
    QCoro::Task<bool> persistArchive() { return m_keeper->persist(); }
    QCoro::Task<void> clearHealthHistory() { return m_keeper->clear(); }
    QCoro::Task<void> discoverHardwareIfNeeded() { return m_hardware->discoverIfNeeded(); }
    QCoro::Task<void> setNotificationsEnabled(bool enabled);
    void setResourceAnalysisEnabled(bool enabled);
    // Each answers whether the marker changed and was saved (false: none to stop, one already open, or the
    // save failed — persistenceError then says why).
    QCoro::Task<bool> startIncident(const QString& note);
    QCoro::Task<bool> stopIncident(const QString& note = {});
    // Each answers whether the session changed and was saved (false: one already runs, none runs, or
    // the save failed).
    QCoro::Task<bool> startPerformanceSession(const QString& name);
    QCoro::Task<bool> stopPerformanceSession();
    // The processor comparison in progress (see PerformanceActivity for when each step is refused).
    bool startProcessorComparison() { return m_performance->startComparison(); }
    bool beginProcessorComparisonAfterWindow() { return m_performance->beginComparisonAfterWindow(); }
    void dismissProcessorComparison() { m_performance->dismissComparison(); }
    // Saves the finished or invalid comparison with what the user did; false when there is nothing to
    // save or the save failed.
    QCoro::Task<bool> saveProcessorComparison(ProcessorComparisonAction action);
    QCoro::Task<bool> clearProcessorComparisons();
    // Empties the resource observations gathered since launch; the consent stays.
    void clearResourceActivity() { m_resourceActivity->clearObservations(); }

    // ---- user-started operations ----
    using Options = OperationFrame::Options;
    bool startOperation(UserOperation operation, OperationWork work, Options options = {}) {
        return m_frame->start(operation, std::move(work), std::move(options));
    }
    Q_INVOKABLE void cancelOperation(UserOperation operation) { m_frame->cancel(operation); }
    QString refusalReason(UserOperation operation, bool allowLowBattery = false) const {
        return m_frame->refusalReason(operation, allowLowBattery);
    }
    bool isRunning(UserOperation operation) const { return m_frame->isRunning(operation); }
    QString operationError(UserOperation operation) const { return m_frame->error(operation); }
    const std::optional<OperationProgress>& progress(UserOperation operation) const {
        return m_frame->progress(operation);
    }
    QVariant operationProgress(UserOperation operation) const;
    // The network tests; the speed test only after the user's consent. `entryPoint` says where in the
    // interface the test was started.
    bool startNetworkQualityTest(const QString& entryPoint);
    bool startNetworkSpeedTest(NetworkSpeedTestMode mode, const QString& entryPoint);

    // The health tests and the benchmark; each answers whether it started (else its error text says why).
    Q_INVOKABLE bool startQuickHealthTest(const QString& entryPoint = {});
    Q_INVOKABLE bool startDeepHealthTest(bool allowLowBattery = false);
    bool startCPUBenchmark(CPUBenchmarkMode mode, const QString& entryPoint = {});
    const std::vector<HealthTestResult>& healthTestResults() const { return archive().healthTestResults; }
    const std::vector<DeepHealthTestResult>& deepHealthTestResults() const {
        return archive().deepHealthTestResults;
    }
    const std::vector<CPUBenchmarkResult>& cpuBenchmarkResults() const {
        return archive().cpuBenchmarkResults;
    }
    // The full system scan; refused (with fullSystemScanError) while another heavy or network test runs,
    // during the cooling-down period, or on a low battery unless allowed.
    // `includeInternetSpeed` narrows the network tests to the quality test when false.
    Q_INVOKABLE bool startFullSystemScan(bool allowLowBattery = false, bool includeNetworkTests = false,
                                         const QString& entryPoint = {}, bool includeInternetSpeed = true);
    // Oldest first, at most 12; a stored result that cannot be read is left out.
    std::vector<FullSystemScanResult> fullSystemScanResults() const;
    // Days between reminders (1...90) or none; answers whether it changed.
    bool setFullSystemScanReminderIntervalDays(std::optional<int> days);
    // When the stored reminder is due: moves it to its next repetition and answers true (the caller shows
    // the notification once).
    bool takeDueFullSystemScanReminder();

    // ---- published state ----
    const SystemSnapshot& currentSnapshot() const { return m_loop->currentSnapshot(); }
    const std::vector<SystemSnapshot>& history() const { return m_loop->history(); }
    const HealthArchive& archive() const { return m_keeper->archive(); }
    const std::vector<HealthSample>& persistentHistory() const { return archive().samples; }
    const std::vector<HealthEvent>& healthEvents() const { return archive().events; }
    const std::vector<IncidentSession>& incidents() const { return archive().incidents; }
    const std::vector<PerformanceSession>& performanceSessions() const {
        return archive().performanceSessions;
    }
    std::optional<PerformanceSession> activePerformanceSession() const {
        return m_performance->activeSession();
    }
    const std::vector<ProcessorComparisonRecord>& processorComparisons() const {
        return archive().processorComparisons;
    }
    const ProcessorComparison& processorComparison() const { return m_performance->comparison(); }
    // Seconds on the store's continuity clock, the clock the comparison's ticks count on.
    double continuityClock() const { return m_loop->continuityClock(); }
    bool isSavingProcessorComparison() const { return m_isSavingProcessorComparison; }
    const std::vector<AppResourceObservation>& resourceActivityObservations() const {
        return m_resourceActivity->observations();
    }
    ResourceCulpritAnalysis resourceCulpritAnalysis() const {
        return m_resourceActivity->analysis(sampleInterval());
    }
    BatteryImpactAnalysis batteryImpactAnalysis() const {
        return m_resourceActivity->batteryImpact(sampleInterval());
    }
    const ApplicationUsageReport& applicationUsage() const { return m_resourceActivity->applicationUsage(); }
    MetricAvailability foregroundApplicationAvailability() const {
        return m_resourceActivity->foregroundAvailability();
    }
    const std::optional<NetworkQualityResult>& latestNetworkQualityResult() const {
        return archive().latestNetworkQualityResult;
    }
    const std::optional<NetworkSpeedTestResult>& latestNetworkSpeedResult() const {
        return archive().latestNetworkSpeedResult;
    }
    std::optional<IncidentSession> activeIncident() const { return m_keeper->activeIncident(); }
    const PersonalBaseline& personalBaseline() const { return m_keeper->personalBaseline(); }
    const std::vector<HealthInsight>& activeInsights() const { return m_loop->activeInsights(); }
    const HealthAssessment& currentAssessment() const { return m_loop->currentAssessment(); }
    const std::vector<HealthObservationRow>& observationRows() const { return m_loop->observationRows(); }
    std::optional<HealthObservationRow> leadObservationRow() const;
    bool hasMeasurement() const { return m_loop->hasMeasurement(); }
    const std::optional<HardwareProfile>& hardwareProfile() const { return m_hardware->profile(); }
    bool isDiscoveringHardware() const { return m_hardware->isDiscovering(); }
    // Advice for this machine from the profile, the current snapshot and the stored samples.
    std::vector<HardwareRecommendation> hardwareRecommendations() const {
        return m_hardware->recommendations(currentSnapshot(), persistentHistory(), m_deps.dateProvider());
    }

    bool isMonitoring() const { return m_loop->isMonitoring(); }
    double sampleInterval() const { return m_loop->sampleInterval(); }
    void setSampleInterval(double seconds);
    QString lastError() const { return m_loop->lastError(); }
    QString persistenceError() const { return m_keeper->persistenceError(); }
    bool notificationsEnabled() const { return m_notificationsEnabled; }
    QString notificationStatusMessage() const { return m_notificationStatusMessage; }
    bool resourceAnalysisEnabled() const { return m_resourceActivity->isEnabled(); }
    quint64 historyEraseGeneration() const { return m_keeper->eraseGeneration(); }
    bool isArchivePrepared() const { return m_keeper->isPrepared(); }
    std::optional<Date> intensiveTestCooldownUntil() const { return m_frame->intensiveTestCooldownUntil(); }
    QVariant intensiveTestCooldownUntilValue() const;
    std::optional<int> fullSystemScanReminderIntervalDays() const {
        return m_fullSystemScanReminderIntervalDays;
    }
    QVariant fullSystemScanReminderIntervalDaysValue() const;
    std::optional<Date> fullSystemScanNextReminderAt() const { return m_fullSystemScanNextReminderAt; }
    QVariant fullSystemScanNextReminderAtValue() const;
    QString fullSystemScanReminderStatusMessage() const { return m_fullSystemScanReminderStatusMessage; }

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
    void performanceSessionsChanged();
    void processorComparisonChanged();
    void isSavingProcessorComparisonChanged();
    void resourceActivityObservationsChanged();
    void applicationUsageChanged();
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
    void operationsChanged();
    void hardwareChanged();
    // A refresh finished (every sample the loop takes, and every requested one).
    void refreshCompleted(quint64 generation, bool succeeded, QUuid snapshotID);

private:
    void readPreferences();
    void fullSystemScanStored(const FullSystemScanResult& result);
    void setNextReminder(std::optional<Date> next);
    void forwardSignals();

    Dependencies m_deps;
    std::unique_ptr<OperationAnalytics> m_analytics;
    std::unique_ptr<ArchiveKeeper> m_keeper;
    std::unique_ptr<MonitoringLoop> m_loop;
    std::unique_ptr<OperationFrame> m_frame;
    std::unique_ptr<ResourceActivity> m_resourceActivity;
    std::unique_ptr<PerformanceActivity> m_performance;
    std::unique_ptr<HardwareDiscovery> m_hardware;

    bool m_notificationsEnabled = false;
    QString m_notificationStatusMessage;
    bool m_isSavingProcessorComparison = false;
    std::optional<int> m_fullSystemScanReminderIntervalDays;
    std::optional<Date> m_fullSystemScanNextReminderAt;
    QString m_fullSystemScanReminderStatusMessage;
    bool m_hasAutomaticallyStarted = false;
};

} // namespace kestrum
