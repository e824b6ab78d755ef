#include "SystemMonitorStore.h"

#include "diagnosis/LocalServerAIDiagnosticExplainer.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "fullscan/FullSystemScanOperation.h"
#include "fullscan/FullSystemScanReminderSchedule.h"
#include "fullscan/OperationFullSystemScanComponentRunner.h"
#include "healthtests/CPUBenchmarkOperation.h"
#include "healthtests/DeepHealthTestOperation.h"
#include "healthtests/QuickHealthTestOperation.h"
#include "localisation/L10n.h"
#include "network/NetworkTestOperations.h"

#include <QPointer>
#include <algorithm>
#include <cmath>

namespace kestrum {

const QString SystemMonitorStore::kSampleIntervalKey = QStringLiteral("monitor.sampleInterval");
const QString SystemMonitorStore::kNotificationsEnabledKey = QStringLiteral("alerts.notificationsEnabled");
const QString SystemMonitorStore::kReminderIntervalDaysKey = QStringLiteral("fullScan.reminderIntervalDays");
const QString SystemMonitorStore::kNextReminderAtKey = QStringLiteral("fullScan.nextReminderAt");
const QString SystemMonitorStore::kCooldownUntilKey = OperationFrame::kCooldownUntilKey;
const QString SystemMonitorStore::kResourceConsentVersionKey = ResourceActivity::kConsentVersionKey;
const QString SystemMonitorStore::kResourceAnalysisEnabledKey = ResourceActivity::kEnabledKey;

namespace {

QVariant optionalDate(const std::optional<Date>& date) {
    return date ? QVariant(date->secondsSinceReferenceDate) : QVariant();
}

} // namespace

SystemMonitorStore::SystemMonitorStore(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)) {
    Q_ASSERT(m_deps.sampler && m_deps.preferences && m_deps.archiveRepository);
    if (!m_deps.dateProvider)
        m_deps.dateProvider = systemDateProvider();
    if (!m_deps.monotonicClock)
        m_deps.monotonicClock = systemMonotonicClock();
    if (!m_deps.loopSleeper)
        m_deps.loopSleeper = std::make_shared<TimerLoopSleeper>();
    if (!m_deps.notificationService)
        m_deps.notificationService = std::make_shared<NoNotifications>();
    if (!m_deps.idProvider)
        m_deps.idProvider = [] { return newUuid(); };
    if (!m_deps.machineOffersThermalSignal)
        m_deps.machineOffersThermalSignal = [] { return true; };

    const double storedInterval = m_deps.preferences->numberValue(kSampleIntervalKey).value_or(0);
    const double interval = std::isfinite(storedInterval) && storedInterval > 0
                                ? std::clamp(storedInterval, 1.0, 30.0)
                                : kDefaultSampleInterval;
    m_analytics = std::make_unique<OperationAnalytics>(m_deps.analyticsRecorder);
    m_keeper = std::make_unique<ArchiveKeeper>(
        ArchiveKeeper::Dependencies{m_deps.archiveRepository, m_deps.dateProvider, m_deps.idProvider});
    m_loop = std::make_unique<MonitoringLoop>(
        MonitoringLoop::Dependencies{m_deps.sampler, m_deps.notificationService, m_deps.loopSleeper,
                                     m_deps.dateProvider, m_deps.monotonicClock, m_deps.idProvider,
                                     m_analytics.get()},
        *m_keeper, interval);
    m_frame = std::make_unique<OperationFrame>(
        OperationFrame::Host{m_loop.get(), m_keeper.get(), m_deps.preferences, m_deps.dateProvider,
                             m_deps.machineOffersThermalSignal, m_analytics.get()});
    m_resourceActivity = std::make_unique<ResourceActivity>(m_deps.resourceAnalysis, *m_deps.preferences);
    m_loop->addRider(SampleRider{
        [activity = m_resourceActivity.get()](const SystemSnapshot& snapshot) { activity->record(snapshot); },
        {},
        {}});
    m_performance = std::make_unique<PerformanceActivity>(
        PerformanceActivity::Host{m_keeper.get(), m_loop.get(), m_frame.get(), m_deps.dateProvider,
                                  m_deps.idProvider, m_deps.machineOffersThermalSignal});
    m_hardware = std::make_unique<HardwareDiscovery>(m_deps.hardware);
    if (!m_deps.fullSystemScanRunner) {
        HardwareDiscovery* hardware = m_hardware.get();
        MonitoringLoop* loop = m_loop.get();
        OperationFullSystemScanComponentRunner::Sources sources;
        sources.discoverHardware = [hardware]() -> QCoro::Task<std::optional<HardwareProfile>> {
            QPointer<HardwareDiscovery> alive(hardware);
            co_await hardware->discoverIfNeeded();
            co_return alive ? alive->profile() : std::nullopt;
        };
        sources.recommendations = [this](const SystemSnapshot& snapshot) {
            return m_hardware->recommendations(snapshot, persistentHistory(), m_deps.dateProvider());
        };
        // The assessment of the sample the scan just took (the loop assessed it while refreshing).
        sources.assess = [loop](const SystemSnapshot&) { return loop->currentAssessment(); };
        // The local language model the user set up for the hardware assistant, read afresh for each scan;
        // none configured, the scan's report stays on the local evidence rules.
        PreferencesStore* preferences = m_deps.preferences;
        sources.explainer = [preferences]() -> std::shared_ptr<AIDiagnosticExplaining> {
            std::optional<LocalLanguageModelServer> server =
                LocalLanguageModelServer::fromPreferences(*preferences);
            if (!server)
                return nullptr;
            return std::make_shared<LocalServerAIDiagnosticExplainer>(
                std::move(server), LocalServerAIDiagnosticExplainer::makeDefaultTransport(),
                systemHostAddressResolver(), LocalLanguageModelLimits{}, L10n::isEnglish());
        };
        sources.history = [this] { return persistentHistory(); };
        m_deps.fullSystemScanRunner = std::make_shared<OperationFullSystemScanComponentRunner>(
            m_deps.healthTests, m_deps.networkTests, std::move(sources));
    }
    readPreferences();
    m_loop->setNotifies(m_notificationsEnabled);
    forwardSignals();
    if (m_deps.sleepWake) {
        connect(m_deps.sleepWake, &SleepWakeNotifying::willSleep, m_loop.get(),
                &MonitoringLoop::systemWillSleep);
        connect(m_deps.sleepWake, &SleepWakeNotifying::didWake, m_loop.get(), &MonitoringLoop::systemDidWake);
    }
}

// The frame goes first (it cancels running work), then the loop, then the lists they refer to.
SystemMonitorStore::~SystemMonitorStore() {
    m_performance.reset();
    m_frame.reset();
    m_loop.reset();
    m_resourceActivity.reset();
    m_keeper.reset();
}

void SystemMonitorStore::readPreferences() {
    PreferencesStore& prefs = *m_deps.preferences;
    m_notificationsEnabled = prefs.boolValue(kNotificationsEnabledKey).value_or(false);
    if (const auto days = prefs.numberValue(kReminderIntervalDaysKey); days && std::isfinite(*days)) {
        const int clamped = static_cast<int>(std::clamp(*days, 0.0, 90.0));
        if (clamped >= 1)
            m_fullSystemScanReminderIntervalDays = clamped;
    }
    m_fullSystemScanNextReminderAt = prefs.dateValue(kNextReminderAtKey);
}

void SystemMonitorStore::forwardSignals() {
    ArchiveKeeper* keeper = m_keeper.get();
    connect(keeper, &ArchiveKeeper::samplesChanged, this, &SystemMonitorStore::persistentHistoryChanged);
    connect(keeper, &ArchiveKeeper::eventsChanged, this, &SystemMonitorStore::healthEventsChanged);
    connect(keeper, &ArchiveKeeper::incidentsChanged, this, &SystemMonitorStore::incidentsChanged);
    connect(keeper, &ArchiveKeeper::resultsChanged, this, &SystemMonitorStore::resultsChanged);
    connect(keeper, &ArchiveKeeper::resultsChanged, this, &SystemMonitorStore::performanceSessionsChanged);
    connect(keeper, &ArchiveKeeper::personalBaselineChanged, this,
            &SystemMonitorStore::personalBaselineChanged);
    connect(keeper, &ArchiveKeeper::persistenceErrorChanged, this,
            &SystemMonitorStore::persistenceErrorChanged);
    connect(keeper, &ArchiveKeeper::eraseGenerationChanged, this,
            &SystemMonitorStore::historyEraseGenerationChanged);
    connect(keeper, &ArchiveKeeper::preparedChanged, this, &SystemMonitorStore::isArchivePreparedChanged);
    MonitoringLoop* loop = m_loop.get();
    connect(loop, &MonitoringLoop::currentSnapshotChanged, this, &SystemMonitorStore::currentSnapshotChanged);
    connect(loop, &MonitoringLoop::historyChanged, this, &SystemMonitorStore::historyChanged);
    connect(loop, &MonitoringLoop::activeInsightsChanged, this, &SystemMonitorStore::activeInsightsChanged);
    connect(loop, &MonitoringLoop::observationRowsChanged, this, &SystemMonitorStore::observationRowsChanged);
    connect(loop, &MonitoringLoop::isMonitoringChanged, this, &SystemMonitorStore::isMonitoringChanged);
    connect(loop, &MonitoringLoop::sampleIntervalChanged, this, &SystemMonitorStore::sampleIntervalChanged);
    connect(loop, &MonitoringLoop::lastErrorChanged, this, &SystemMonitorStore::lastErrorChanged);
    connect(loop, &MonitoringLoop::refreshCompleted, this, &SystemMonitorStore::refreshCompleted);
    connect(m_frame.get(), &OperationFrame::operationsChanged, this, &SystemMonitorStore::operationsChanged);
    connect(m_frame.get(), &OperationFrame::intensiveTestCooldownUntilChanged, this,
            &SystemMonitorStore::intensiveTestCooldownUntilChanged);
    ResourceActivity* resources = m_resourceActivity.get();
    connect(resources, &ResourceActivity::enabledChanged, this,
            &SystemMonitorStore::resourceAnalysisEnabledChanged);
    connect(resources, &ResourceActivity::observationsChanged, this,
            &SystemMonitorStore::resourceActivityObservationsChanged);
    connect(resources, &ResourceActivity::applicationUsageChanged, this,
            &SystemMonitorStore::applicationUsageChanged);
    connect(m_performance.get(), &PerformanceActivity::sessionsChanged, this,
            &SystemMonitorStore::performanceSessionsChanged);
    connect(m_performance.get(), &PerformanceActivity::comparisonChanged, this,
            &SystemMonitorStore::processorComparisonChanged);
    connect(m_hardware.get(), &HardwareDiscovery::profileChanged, this, &SystemMonitorStore::hardwareChanged);
    connect(m_hardware.get(), &HardwareDiscovery::isDiscoveringChanged, this,
            &SystemMonitorStore::hardwareChanged);
}

QCoro::Task<void> SystemMonitorStore::startUp() {
    QPointer<SystemMonitorStore> self(this);
    co_await prepareArchive();
    if (!self)
        co_return;
    co_await discoverHardwareIfNeeded();
    if (!self)
        co_return;
    if (!m_hasAutomaticallyStarted) {
        m_hasAutomaticallyStarted = true;
        start();
    }
}

void SystemMonitorStore::setSampleInterval(double seconds) {
    if (m_loop->setSampleInterval(seconds))
        m_deps.preferences->setValue(kSampleIntervalKey, m_loop->sampleInterval());
}

QCoro::Task<void> SystemMonitorStore::setNotificationsEnabled(bool enabled) {
    QPointer<SystemMonitorStore> self(this);
    bool granted = false;
    if (enabled) {
        std::shared_ptr<HealthNotificationDelivering> service = m_deps.notificationService;
        try {
            granted = co_await service->requestAuthorization();
        } catch (...) {
            granted = false; // an error counts as a refusal
        }
        if (!self)
            co_return;
        m_notificationStatusMessage =
            granted ? trText("Önemli sağlık uyarıları için Mac bildirimleri açıldı.")
                    : trText("Bildirim izni verilmedi. Uyarılar Sağlık Merkezi’nde görünmeye devam eder.");
        Q_EMIT notificationStatusMessageChanged();
    }
    m_notificationsEnabled = granted;
    m_loop->setNotifies(granted);
    m_deps.preferences->setValue(kNotificationsEnabledKey, granted);
    Q_EMIT notificationsEnabledChanged();
}

void SystemMonitorStore::setResourceAnalysisEnabled(bool enabled) {
    m_resourceActivity->setEnabled(enabled);
}

QCoro::Task<bool> SystemMonitorStore::startIncident(const QString& note) {
    if (!m_keeper->startIncident(note))
        co_return false;
    co_return co_await m_keeper->persist();
}

QCoro::Task<bool> SystemMonitorStore::stopIncident(const QString& note) {
    if (!m_keeper->stopIncident(note))
        co_return false;
    co_return co_await m_keeper->persist();
}

QCoro::Task<bool> SystemMonitorStore::startPerformanceSession(const QString& name) {
    if (!m_performance->startSession(name))
        co_return false;
    co_return co_await m_keeper->persist();
}

QCoro::Task<bool> SystemMonitorStore::stopPerformanceSession() {
    if (!m_performance->stopSession())
        co_return false;
    co_return co_await m_keeper->persist();
}

QCoro::Task<bool> SystemMonitorStore::saveProcessorComparison(ProcessorComparisonAction action) {
    QPointer<SystemMonitorStore> self(this);
    const auto record = m_performance->comparisonRecord(action);
    if (!record || m_isSavingProcessorComparison || !m_keeper->isPrepared())
        co_return false;
    m_isSavingProcessorComparison = true;
    Q_EMIT isSavingProcessorComparisonChanged();
    // A second save of the same comparison replaces the first: the archive keeps the newest copy of an id.
    m_keeper->commit([&record](HealthArchive& archive) { archive.processorComparisons.push_back(*record); });
    const bool saved = co_await m_keeper->persist();
    if (self) {
        m_isSavingProcessorComparison = false;
        Q_EMIT isSavingProcessorComparisonChanged();
    }
    co_return saved;
}

QCoro::Task<bool> SystemMonitorStore::clearProcessorComparisons() {
    m_keeper->commit([](HealthArchive& archive) { archive.processorComparisons.clear(); });
    co_return co_await m_keeper->persist();
}

std::optional<HealthObservationRow> SystemMonitorStore::leadObservationRow() const {
    return HealthNextStepPolicy::primaryRow(observationRows());
}

bool SystemMonitorStore::startQuickHealthTest(const QString&) {
    Options options;
    options.initialProgress = QuickHealthTestOperation::progress({}, 0);
    return m_frame->start(UserOperation::quickHealthTest, QuickHealthTestOperation::work(m_deps.healthTests),
                          std::move(options));
}

bool SystemMonitorStore::startDeepHealthTest(bool allowLowBattery) {
    Options options;
    options.allowLowBattery = allowLowBattery;
    options.initialProgress = DeepHealthTestOperation::progress({.startedAt = m_deps.dateProvider()}, 0);
    options.precondition = &DeepHealthTestOperation::storagePrecondition;
    return m_frame->start(UserOperation::deepHealthTest, DeepHealthTestOperation::work(m_deps.healthTests),
                          std::move(options));
}

bool SystemMonitorStore::startCPUBenchmark(CPUBenchmarkMode mode, const QString&) {
    Options options;
    options.initialProgress = CPUBenchmarkOperation::initialProgress(m_deps.healthTests, mode);
    return m_frame->start(UserOperation::cpuBenchmark, CPUBenchmarkOperation::work(m_deps.healthTests, mode),
                          std::move(options));
}

bool SystemMonitorStore::startFullSystemScan(bool allowLowBattery, bool includeNetworkTests,
                                             const QString& entryPoint, bool includeInternetSpeed) {
    Options options;
    options.allowLowBattery = allowLowBattery;
    options.entryPoint = entryPoint;
    options.initialProgress = FullSystemScanOperation::progress({.startedAt = m_deps.dateProvider()}, 0, 0);
    FullSystemScanOperation::Options scan;
    scan.includeNetworkTests = includeNetworkTests;
    scan.includeInternetSpeed = includeInternetSpeed;
    scan.builder.privateWords = m_deps.privateWords;
    scan.idProvider = m_deps.idProvider;
    QPointer<SystemMonitorStore> self(this);
    scan.onStored = [self](const FullSystemScanResult& result) {
        if (self)
            self->fullSystemScanStored(result);
    };
    return m_frame->start(UserOperation::fullSystemScan,
                          FullSystemScanOperation::work(m_deps.fullSystemScanRunner, std::move(scan)),
                          std::move(options));
}

std::vector<FullSystemScanResult> SystemMonitorStore::fullSystemScanResults() const {
    std::vector<FullSystemScanResult> results;
    for (const QJsonObject& stored : archive().fullSystemScanResults) {
        try {
            results.push_back(fullSystemScanResultFromJson(stored));
        } catch (const KestrumError&) {
            // Written by a later version in a form this one cannot read: kept in the archive, not shown.
        }
    }
    return results;
}

void SystemMonitorStore::fullSystemScanStored(const FullSystemScanResult& result) {
    if (result.isPartial() || !m_fullSystemScanReminderIntervalDays)
        return;
    setNextReminder(FullSystemScanReminderSchedule::firstReminder(m_deps.dateProvider(),
                                                                  *m_fullSystemScanReminderIntervalDays));
}

void SystemMonitorStore::setNextReminder(std::optional<Date> next) {
    m_fullSystemScanNextReminderAt = next;
    if (next)
        m_deps.preferences->setValue(kNextReminderAtKey, *next);
    else
        m_deps.preferences->remove(kNextReminderAtKey);
    Q_EMIT fullSystemScanReminderChanged();
}

bool SystemMonitorStore::setFullSystemScanReminderIntervalDays(std::optional<int> days) {
    if (days)
        days = FullSystemScanReminderSchedule::clampedDays(*days);
    if (days == m_fullSystemScanReminderIntervalDays)
        return false;
    m_fullSystemScanReminderIntervalDays = days;
    using Cadence = ProductAnalyticsReminderCadence;
    Cadence cadence = Cadence::off;
    if (days) {
        m_deps.preferences->setValue(kReminderIntervalDaysKey, double(*days));
        cadence = *days <= 1    ? Cadence::oneDay
                  : *days <= 7  ? Cadence::sevenDays
                  : *days <= 14 ? Cadence::fourteenDays
                  : *days <= 30 ? Cadence::thirtyDays
                                : Cadence::ninetyDays;
    } else {
        m_deps.preferences->remove(kReminderIntervalDaysKey);
    }
    m_deps.analyticsRecorder.record(ProductAnalyticsEvent::scanReminderChanged(
        days ? ProductAnalyticsReminderState::enabled : ProductAnalyticsReminderState::disabled, cadence));
    // A new interval counts from now once a complete scan exists; turning it off drops the pending one.
    const auto results = fullSystemScanResults();
    const bool hasCompleteScan =
        std::any_of(results.begin(), results.end(), [](const auto& r) { return !r.isPartial(); });
    if (!days)
        setNextReminder(std::nullopt);
    else if (hasCompleteScan)
        setNextReminder(FullSystemScanReminderSchedule::firstReminder(m_deps.dateProvider(), *days));
    else
        Q_EMIT fullSystemScanReminderChanged();
    return true;
}

bool SystemMonitorStore::takeDueFullSystemScanReminder() {
    const Date now = m_deps.dateProvider();
    if (!m_fullSystemScanReminderIntervalDays ||
        !FullSystemScanReminderSchedule::isDue(m_fullSystemScanNextReminderAt, now))
        return false;
    setNextReminder(FullSystemScanReminderSchedule::nextReminder(*m_fullSystemScanNextReminderAt, now,
                                                                 *m_fullSystemScanReminderIntervalDays));
    return true;
}

QVariant SystemMonitorStore::operationProgress(UserOperation operation) const {
    const auto& value = progress(operation);
    return value ? QVariant::fromValue(*value) : QVariant();
}

QVariant SystemMonitorStore::intensiveTestCooldownUntilValue() const {
    return optionalDate(intensiveTestCooldownUntil());
}
QVariant SystemMonitorStore::fullSystemScanNextReminderAtValue() const {
    return optionalDate(m_fullSystemScanNextReminderAt);
}
QVariant SystemMonitorStore::fullSystemScanReminderIntervalDaysValue() const {
    return m_fullSystemScanReminderIntervalDays ? QVariant(*m_fullSystemScanReminderIntervalDays)
                                                : QVariant();
}

bool SystemMonitorStore::startNetworkQualityTest(const QString& entryPoint) {
    Options options;
    options.entryPoint = entryPoint;
    options.initialProgress = NetworkQualityOperation::initialProgress();
    return startOperation(UserOperation::networkQuality,
                          NetworkQualityOperation::work(m_deps.networkTests.qualityTester),
                          std::move(options));
}

bool SystemMonitorStore::startNetworkSpeedTest(NetworkSpeedTestMode mode, const QString& entryPoint) {
    Options options;
    options.entryPoint = entryPoint;
    options.initialProgress = NetworkSpeedTestOperation::initialProgress(mode);
    return startOperation(UserOperation::networkSpeed,
                          NetworkSpeedTestOperation::work(m_deps.networkTests.speedTester, mode),
                          std::move(options));
}

} // namespace kestrum
