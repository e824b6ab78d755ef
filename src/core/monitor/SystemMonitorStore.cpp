#include "SystemMonitorStore.h"

#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "healthtests/CPUBenchmarkOperation.h"
#include "healthtests/DeepHealthTestOperation.h"
#include "healthtests/QuickHealthTestOperation.h"
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
const QString SystemMonitorStore::kResourceConsentVersionKey =
    QStringLiteral("privacy.resourceAnalysisConsentVersion");
const QString SystemMonitorStore::kResourceAnalysisEnabledKey =
    QStringLiteral("privacy.resourceAnalysisEnabled");

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
    m_keeper = std::make_unique<ArchiveKeeper>(
        ArchiveKeeper::Dependencies{m_deps.archiveRepository, m_deps.dateProvider, m_deps.idProvider});
    m_loop = std::make_unique<MonitoringLoop>(
        MonitoringLoop::Dependencies{m_deps.sampler, m_deps.notificationService, m_deps.loopSleeper,
                                     m_deps.dateProvider, m_deps.monotonicClock, m_deps.idProvider},
        *m_keeper, interval);
    m_frame = std::make_unique<OperationFrame>(OperationFrame::Host{m_loop.get(), m_keeper.get(),
                                                                    m_deps.preferences, m_deps.dateProvider,
                                                                    m_deps.machineOffersThermalSignal});
    m_hardware = std::make_unique<HardwareDiscovery>(m_deps.hardware);
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
    m_frame.reset();
    m_loop.reset();
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
    if (prefs.numberValue(kResourceConsentVersionKey) == 1.0)
        m_resourceAnalysisEnabled = prefs.boolValue(kResourceAnalysisEnabledKey).value_or(false);
}

void SystemMonitorStore::forwardSignals() {
    ArchiveKeeper* keeper = m_keeper.get();
    connect(keeper, &ArchiveKeeper::samplesChanged, this, &SystemMonitorStore::persistentHistoryChanged);
    connect(keeper, &ArchiveKeeper::eventsChanged, this, &SystemMonitorStore::healthEventsChanged);
    connect(keeper, &ArchiveKeeper::incidentsChanged, this, &SystemMonitorStore::incidentsChanged);
    connect(keeper, &ArchiveKeeper::resultsChanged, this, &SystemMonitorStore::resultsChanged);
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
    m_resourceAnalysisEnabled = enabled;
    m_deps.preferences->setValue(kResourceConsentVersionKey, 1.0);
    m_deps.preferences->setValue(kResourceAnalysisEnabledKey, enabled);
    Q_EMIT resourceAnalysisEnabledChanged();
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
    Q_UNUSED(entryPoint);
    Options options;
    options.initialProgress = NetworkQualityOperation::initialProgress();
    return startOperation(UserOperation::networkQuality,
                          NetworkQualityOperation::work(m_deps.networkTests.qualityTester),
                          std::move(options));
}

bool SystemMonitorStore::startNetworkSpeedTest(NetworkSpeedTestMode mode, const QString& entryPoint) {
    Q_UNUSED(entryPoint);
    Options options;
    options.initialProgress = NetworkSpeedTestOperation::initialProgress(mode);
    return startOperation(UserOperation::networkSpeed,
                          NetworkSpeedTestOperation::work(m_deps.networkTests.speedTester, mode),
                          std::move(options));
}

} // namespace kestrum
