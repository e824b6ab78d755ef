#include "SystemMonitorStore.h"

#include "foundation/KestrumError.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "foundation/UserText.h"
#include "foundation/Uuid.h"
#include "history/HealthArchiveCompaction.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/PersonalBaselineEngine.h"

#include <QPointer>
#include <algorithm>
#include <cmath>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorosignal.h>

namespace kestrum {

using Interruption = HealthObservationContinuity::Interruption;

const QString SystemMonitorStore::kSampleIntervalKey = QStringLiteral("monitor.sampleInterval");
const QString SystemMonitorStore::kNotificationsEnabledKey = QStringLiteral("alerts.notificationsEnabled");
const QString SystemMonitorStore::kReminderIntervalDaysKey = QStringLiteral("fullScan.reminderIntervalDays");
const QString SystemMonitorStore::kNextReminderAtKey = QStringLiteral("fullScan.nextReminderAt");
const QString SystemMonitorStore::kCooldownUntilKey = QStringLiteral("healthTest.intensiveCooldownUntil");
const QString SystemMonitorStore::kResourceConsentVersionKey =
    QStringLiteral("privacy.resourceAnalysisConsentVersion");
const QString SystemMonitorStore::kResourceAnalysisEnabledKey =
    QStringLiteral("privacy.resourceAnalysisEnabled");

namespace {

constexpr double kBaselineLookback = PersonalBaselineEngine::kLookbackSeconds;

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

    const Date now = m_deps.dateProvider();
    m_currentSnapshot = SystemSnapshot::empty(m_deps.idProvider(), now);
    m_currentAssessment = HealthAssessmentEngine::assess(m_currentSnapshot);
    m_continuityClockOrigin = m_deps.monotonicClock();

    PreferencesStore& prefs = *m_deps.preferences;
    const double storedInterval = prefs.numberValue(kSampleIntervalKey).value_or(0);
    m_sampleInterval = std::isfinite(storedInterval) && storedInterval > 0
                           ? std::clamp(storedInterval, 1.0, 30.0)
                           : kDefaultSampleInterval;
    m_notificationsEnabled = prefs.boolValue(kNotificationsEnabledKey).value_or(false);
    if (const auto days = prefs.numberValue(kReminderIntervalDaysKey); days && std::isfinite(*days)) {
        const int clamped = static_cast<int>(std::clamp(*days, 0.0, 90.0));
        if (clamped >= 1)
            m_fullSystemScanReminderIntervalDays = clamped;
    }
    m_fullSystemScanNextReminderAt = prefs.dateValue(kNextReminderAtKey);
    const auto cooldown = prefs.dateValue(kCooldownUntilKey);
    if (cooldown && *cooldown > now)
        m_intensiveTestCooldownUntil = cooldown;
    else if (prefs.value(kCooldownUntilKey))
        prefs.remove(kCooldownUntilKey);
    if (prefs.numberValue(kResourceConsentVersionKey) == 1.0)
        m_resourceAnalysisEnabled = prefs.boolValue(kResourceAnalysisEnabledKey).value_or(false);

    if (m_deps.sleepWake) {
        connect(m_deps.sleepWake, &SleepWakeNotifying::willSleep, this, [this] {
            m_continuitySleeping = true;
            invalidateHealthContinuity(Interruption::sleep);
        });
        connect(m_deps.sleepWake, &SleepWakeNotifying::didWake, this, [this] {
            m_continuitySleeping = false;
            invalidateHealthContinuity(Interruption::sleep);
        });
    }
    for (const UserOperation operation : allCases<UserOperation>())
        m_operations[operation];
    updateObservationRows();
}

SystemMonitorStore::~SystemMonitorStore() {
    if (m_monitoringStop)
        m_monitoringStop->request_stop();
    for (auto& [operation, state] : m_operations) {
        if (state.stop)
            state.stop->request_stop();
    }
}

// ---- the loop ----

void SystemMonitorStore::start() {
    if (m_monitoringTask)
        return;
    invalidateHealthContinuity(Interruption::contextChanged);
    m_isMonitoring = true;
    Q_EMIT isMonitoringChanged();
    m_monitoringStop.emplace();
    m_monitoringTask.emplace(runLoop(m_monitoringStop->get_token()));
    updateObservationRows();
}

void SystemMonitorStore::stop() {
    invalidateHealthContinuity(Interruption::monitoringStopped);
    if (m_monitoringStop)
        m_monitoringStop->request_stop();
    m_monitoringStop.reset();
    m_monitoringTask.reset(); // the loop notices the stop and ends on its own
    if (m_isMonitoring) {
        m_isMonitoring = false;
        Q_EMIT isMonitoringChanged();
    }
    updateObservationRows();
}

QCoro::Task<void> SystemMonitorStore::runLoop(std::stop_token stop) {
    QPointer<SystemMonitorStore> self(this);
    std::shared_ptr<LoopSleeping> sleeper = m_deps.loopSleeper;
    while (!stop.stop_requested() && self) {
        co_await refresh(AnalyticsTrigger::automaticMonitoring);
        if (stop.stop_requested() || !self)
            break;
        // Read anew each time: a changed interval takes effect after the current sleep.
        const bool slept = co_await sleeper->sleep(m_sampleInterval, stop);
        if (!slept || stop.stop_requested())
            break;
    }
}

void SystemMonitorStore::setSampleInterval(double seconds) {
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 1.0, 30.0) : kDefaultSampleInterval;
    if (clamped == m_sampleInterval && seconds == clamped)
        return;
    m_sampleInterval = clamped;
    m_deps.preferences->setValue(kSampleIntervalKey, clamped);
    invalidateHealthContinuity(Interruption::contextChanged);
    Q_EMIT sampleIntervalChanged();
}

QCoro::Task<SystemMonitorRefreshOutcome> SystemMonitorStore::refresh(AnalyticsTrigger trigger) {
    QPointer<SystemMonitorStore> self(this);
    if (m_refreshInFlight) {
        // Concurrent callers share the sample in flight.
        const quint64 awaited = m_refreshGeneration;
        for (;;) {
            const auto [generation, succeeded, id] =
                co_await qCoro(this, &SystemMonitorStore::refreshCompleted);
            if (generation == awaited)
                co_return SystemMonitorRefreshOutcome{succeeded, id};
        }
    }
    m_refreshInFlight = true;
    const quint64 generation = ++m_refreshGeneration;
    SystemMonitorRefreshOutcome outcome;
    try {
        outcome = co_await performRefresh(trigger);
    } catch (...) {
        qCWarning(lcMonitor) << "refresh failed unexpectedly";
        outcome = SystemMonitorRefreshOutcome{false, {}};
    }
    if (!self)
        co_return outcome;
    if (m_refreshGeneration == generation)
        m_refreshInFlight = false;
    Q_EMIT refreshCompleted(generation, outcome.succeeded, outcome.snapshotID);
    co_return outcome;
}

double SystemMonitorStore::continuityClock() const {
    return m_deps.monotonicClock() - m_continuityClockOrigin;
}

QCoro::Task<SystemMonitorRefreshOutcome> SystemMonitorStore::performRefresh(AnalyticsTrigger) {
    QPointer<SystemMonitorStore> self(this);
    const int generation = m_continuityGeneration;
    const double started = continuityClock();

    SystemSnapshot snapshot;
    try {
        snapshot = co_await m_deps.sampler->sample();
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (!self)
            co_return SystemMonitorRefreshOutcome{};
        setLastError(description);
        invalidateHealthContinuity(Interruption::samplingFailed);
        updateObservationRows();
        co_return SystemMonitorRefreshOutcome{};
    }
    if (!self)
        co_return SystemMonitorRefreshOutcome{};

    m_currentSnapshot = snapshot;
    setLastError({});
    m_history.push_back(snapshot);
    m_hasRecordedFirstSnapshotReady = true;
    if (m_history.size() > kHistoryLimit)
        m_history.erase(m_history.begin(),
                        m_history.begin() + static_cast<std::ptrdiff_t>(m_history.size() - kHistoryLimit));
    Q_EMIT currentSnapshotChanged();
    Q_EMIT historyChanged();

    m_currentAssessment = HealthAssessmentEngine::assess(snapshot);
    recomputeInsights(snapshot);

    if (!m_isArchivePrepared) {
        // Nothing is persisted and no alert raised before the archive is loaded.
        recordContinuity(snapshot, generation, started);
        updateObservationRows();
        co_return SystemMonitorRefreshOutcome{true, snapshot.id};
    }

    const bool appended = appendPersistentSampleIfNeeded(
        HealthSample::make(snapshot, m_currentAssessment.level, m_deps.idProvider()));
    if (appended) {
        m_personalBaseline =
            PersonalBaselineEngine::makeBaseline(m_archive.samples, snapshot.timestamp, kBaselineLookback);
        Q_EMIT personalBaselineChanged();
        Q_EMIT persistentHistoryChanged();
        recomputeInsights(snapshot);
    }
    recordContinuity(snapshot, generation, started);
    updateObservationRows();

    const std::vector<HealthEvent> newEvents =
        m_alertTracker.newEvents(m_activeInsights, m_archive.events, snapshot.timestamp, m_deps.idProvider);
    if (!newEvents.empty()) {
        const std::vector<HealthEvent> eligible = HealthAlertNotificationPolicy::eligibleEvents(
            newEvents, m_archive.events, kNotificationCooldownSeconds);
        auto& events = m_archive.events;
        events.insert(events.end(), newEvents.begin(), newEvents.end());
        std::stable_sort(events.begin(), events.end(), [](const HealthEvent& a, const HealthEvent& b) {
            return a.timestamp < b.timestamp;
        });
        if (events.size() > kEventLimit)
            events.erase(events.begin(),
                         events.begin() + static_cast<std::ptrdiff_t>(events.size() - kEventLimit));
        Q_EMIT healthEventsChanged();
        if (m_notificationsEnabled) {
            for (const HealthEvent& event : eligible)
                m_deps.notificationService->deliver(event);
        }
    }
    if (appended || !newEvents.empty()) {
        co_await persistArchive();
        if (!self)
            co_return SystemMonitorRefreshOutcome{true, snapshot.id};
    }
    co_return SystemMonitorRefreshOutcome{true, snapshot.id};
}

void SystemMonitorStore::recomputeInsights(const SystemSnapshot& snapshot) {
    m_activeInsights = HealthInsightEngine::insights(snapshot, m_personalBaseline);
    Q_EMIT activeInsightsChanged();
}

bool SystemMonitorStore::appendPersistentSampleIfNeeded(const HealthSample& sample) {
    if (m_lastPersistedSampleAt) {
        const double since = sample.timestamp.secondsSince(*m_lastPersistedSampleAt);
        if (since >= 0 && since < kPersistEverySeconds)
            return false;
    }
    m_archive.samples.push_back(sample);
    m_archive.samples = HealthArchiveCompaction::compactedSamples(m_archive.samples, sample.timestamp);
    if (m_archive.samples.empty())
        m_lastPersistedSampleAt.reset();
    else
        m_lastPersistedSampleAt = m_archive.samples.back().timestamp;
    return true;
}

// ---- continuity ----

void SystemMonitorStore::invalidateHealthContinuity(Interruption why) {
    ++m_continuityGeneration;
    m_observationMonitor.reset(why);
}

void SystemMonitorStore::recordContinuity(const SystemSnapshot& snapshot, int generation, double started) {
    if (generation != m_continuityGeneration || m_continuitySleeping)
        return;
    m_observationMonitor.receive(snapshot, m_personalBaseline, m_sampleInterval, started, continuityClock(),
                                 m_deps.dateProvider());
}

void SystemMonitorStore::updateObservationRows() {
    std::vector<HealthObservationRow> rows;
    const double tick = continuityClock();
    for (const HealthInsightKind kind : HealthObservationMonitor::kObservedKinds) {
        HealthObservationContinuity::State state;
        if (m_isMonitoring)
            state = m_observationMonitor.state(kind, tick);
        else if (!m_history.empty())
            state = HealthObservationContinuity::State::unknown(Interruption::monitoringStopped);
        else
            state = HealthObservationContinuity::State::unknown();
        if (auto row = HealthObservationPresentationPolicy::resolve(kind, state))
            rows.push_back(*row);
    }
    if (rows != m_observationRows) {
        m_observationRows = std::move(rows);
        Q_EMIT observationRowsChanged();
    }
}

std::optional<HealthObservationRow> SystemMonitorStore::leadObservationRow() const {
    return HealthNextStepPolicy::primaryRow(m_observationRows);
}

// ---- archive ----

QCoro::Task<void> SystemMonitorStore::startUp() {
    QPointer<SystemMonitorStore> self(this);
    co_await prepareArchive();
    if (!self)
        co_return;
    // Hardware discovery joins here once it exists.
    if (!m_hasAutomaticallyStarted) {
        m_hasAutomaticallyStarted = true;
        start();
    }
}

QCoro::Task<void> SystemMonitorStore::prepareArchive() {
    QPointer<SystemMonitorStore> self(this);
    if (m_isArchivePrepared)
        co_return;
    if (m_isPreparingArchive) {
        co_await qCoro(this, &SystemMonitorStore::archivePreparationFinished);
        co_return;
    }
    m_isPreparingArchive = true;
    HealthArchive loaded;
    bool ok = true;
    try {
        loaded = co_await m_deps.archiveRepository->load();
    } catch (...) {
        ok = false;
        const QString description = describeException(std::current_exception());
        if (self)
            setPersistenceError(
                trTemplate("Kalıcı sağlık geçmişi açılamadı: \\(description)", {description}));
    }
    if (!self)
        co_return;
    if (ok) {
        HealthArchive compacted = HealthArchiveCompaction::compacted(loaded, m_deps.dateProvider());
        // Sessions left open by an earlier run end at their last recorded moment.
        for (QJsonObject& session : compacted.performanceSessions) {
            if (!session.contains(QStringLiteral("endedAt"))) {
                session.insert(QStringLiteral("endedAt"),
                               session.value(QStringLiteral("lastRecordedAt"))
                                   .toDouble(session.value(QStringLiteral("startedAt")).toDouble()));
            }
        }
        const bool changed = !(compacted == loaded);
        apply(compacted);
        m_isArchivePrepared = true;
        Q_EMIT isArchivePreparedChanged();
        if (changed) {
            m_isPreparingArchive = false;
            Q_EMIT archivePreparationFinished();
            co_await persistArchive();
            co_return;
        }
    }
    m_isPreparingArchive = false;
    Q_EMIT archivePreparationFinished();
}

void SystemMonitorStore::apply(const HealthArchive& archive) {
    m_archive = archive;
    m_lastPersistedSampleAt.reset();
    if (!m_archive.samples.empty())
        m_lastPersistedSampleAt = m_archive.samples.back().timestamp;
    m_personalBaseline =
        PersonalBaselineEngine::makeBaseline(m_archive.samples, m_deps.dateProvider(), kBaselineLookback);
    Q_EMIT persistentHistoryChanged();
    Q_EMIT healthEventsChanged();
    Q_EMIT incidentsChanged();
    Q_EMIT resultsChanged();
    Q_EMIT personalBaselineChanged();
}

HealthArchive SystemMonitorStore::archiveFromState() const {
    return m_archive;
}

QCoro::Task<bool> SystemMonitorStore::persistArchive() {
    QPointer<SystemMonitorStore> self(this);
    if (!m_isArchivePrepared)
        co_return false;
    const quint64 eraseGeneration = m_historyEraseGeneration;
    const HealthArchive compacted =
        HealthArchiveCompaction::compacted(archiveFromState(), m_deps.dateProvider());
    apply(compacted);
    std::shared_ptr<HealthArchivePersisting> repository = m_deps.archiveRepository;
    try {
        co_await repository->save(compacted);
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (self)
            setPersistenceError(
                trTemplate("Kalıcı sağlık geçmişi kaydedilemedi: \\(description)", {description}));
        co_return false;
    }
    if (!self)
        co_return false;
    if (eraseGeneration != m_historyEraseGeneration)
        co_return false; // an erase happened meanwhile; its own save decides
    setPersistenceError({});
    co_return true;
}

QCoro::Task<void> SystemMonitorStore::clearHealthHistory() {
    QPointer<SystemMonitorStore> self(this);
    ++m_historyEraseGeneration;
    Q_EMIT historyEraseGenerationChanged();
    HealthArchive empty = HealthArchive::empty();
    m_archive = empty;
    m_personalBaseline = PersonalBaseline::empty();
    m_lastPersistedSampleAt.reset();
    m_alertTracker.reset();
    invalidateHealthContinuity(Interruption::contextChanged);
    Q_EMIT persistentHistoryChanged();
    Q_EMIT healthEventsChanged();
    Q_EMIT incidentsChanged();
    Q_EMIT resultsChanged();
    Q_EMIT personalBaselineChanged();
    if (!m_isArchivePrepared)
        co_return;
    const quint64 generation = m_historyEraseGeneration;
    std::shared_ptr<HealthArchivePersisting> repository = m_deps.archiveRepository;
    try {
        co_await repository->save(empty);
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (self)
            setPersistenceError(trTemplate("Sağlık geçmişi silinemedi: \\(description)", {description}));
        co_return;
    }
    if (self && generation == m_historyEraseGeneration)
        setPersistenceError({});
}

// ---- switches and markers ----

QCoro::Task<void> SystemMonitorStore::setNotificationsEnabled(bool enabled) {
    QPointer<SystemMonitorStore> self(this);
    if (!enabled) {
        m_notificationsEnabled = false;
        m_deps.preferences->setValue(kNotificationsEnabledKey, false);
        Q_EMIT notificationsEnabledChanged();
        co_return;
    }
    std::shared_ptr<HealthNotificationDelivering> service = m_deps.notificationService;
    bool granted = false;
    try {
        granted = co_await service->requestAuthorization();
    } catch (...) {
        granted = false; // an error counts as a refusal
    }
    if (!self)
        co_return;
    m_notificationsEnabled = granted;
    m_deps.preferences->setValue(kNotificationsEnabledKey, granted);
    m_notificationStatusMessage =
        granted ? trText("Önemli sağlık uyarıları için Mac bildirimleri açıldı.")
                : trText("Bildirim izni verilmedi. Uyarılar Sağlık Merkezi’nde görünmeye devam eder.");
    Q_EMIT notificationsEnabledChanged();
    Q_EMIT notificationStatusMessageChanged();
}

void SystemMonitorStore::setResourceAnalysisEnabled(bool enabled) {
    m_resourceAnalysisEnabled = enabled;
    m_deps.preferences->setValue(kResourceConsentVersionKey, 1.0);
    m_deps.preferences->setValue(kResourceAnalysisEnabledKey, enabled);
    Q_EMIT resourceAnalysisEnabledChanged();
}

std::optional<IncidentSession> SystemMonitorStore::activeIncident() const {
    for (auto it = m_archive.incidents.rbegin(); it != m_archive.incidents.rend(); ++it) {
        if (!it->endedAt)
            return *it;
    }
    return std::nullopt;
}

QCoro::Task<void> SystemMonitorStore::startIncident(const QString& note) {
    if (activeIncident())
        co_return;
    m_archive.incidents.push_back({m_deps.idProvider(), m_deps.dateProvider(), std::nullopt,
                                   boundedUserText(note, kMaximumIncidentNoteCharacters)});
    Q_EMIT incidentsChanged();
    co_await persistArchive();
}

QCoro::Task<void> SystemMonitorStore::stopIncident(const QString& note) {
    for (auto it = m_archive.incidents.rbegin(); it != m_archive.incidents.rend(); ++it) {
        if (it->endedAt)
            continue;
        it->endedAt = std::max(m_deps.dateProvider(), it->startedAt);
        if (const QString bounded = boundedUserText(note, kMaximumIncidentNoteCharacters); !bounded.isEmpty())
            it->note = bounded;
        Q_EMIT incidentsChanged();
        co_await persistArchive();
        co_return;
    }
}

void SystemMonitorStore::setLastError(const QString& text) {
    if (m_lastError == text)
        return;
    m_lastError = text;
    Q_EMIT lastErrorChanged();
}

void SystemMonitorStore::setPersistenceError(const QString& text) {
    if (m_persistenceError == text)
        return;
    m_persistenceError = text;
    Q_EMIT persistenceErrorChanged();
}

QVariant SystemMonitorStore::intensiveTestCooldownUntilValue() const {
    return optionalDate(m_intensiveTestCooldownUntil);
}
QVariant SystemMonitorStore::fullSystemScanNextReminderAtValue() const {
    return optionalDate(m_fullSystemScanNextReminderAt);
}
QVariant SystemMonitorStore::fullSystemScanReminderIntervalDaysValue() const {
    return m_fullSystemScanReminderIntervalDays ? QVariant(*m_fullSystemScanReminderIntervalDays)
                                                : QVariant();
}

// ---- user-started operations ----

bool SystemMonitorStore::isRunning(UserOperation operation) const {
    return m_operations.at(operation).running;
}
QString SystemMonitorStore::operationError(UserOperation operation) const {
    return m_operations.at(operation).error;
}
QVariant SystemMonitorStore::operationProgress(UserOperation operation) const {
    return m_operations.at(operation).progress;
}

const std::vector<QJsonObject>& SystemMonitorStore::results(UserOperation operation) const {
    static const std::vector<QJsonObject> none;
    switch (operation) {
    case UserOperation::quickHealthTest:
        return m_archive.healthTestResults;
    case UserOperation::deepHealthTest:
        return m_archive.deepHealthTestResults;
    case UserOperation::cpuBenchmark:
        return m_archive.cpuBenchmarkResults;
    case UserOperation::fullSystemScan:
        return m_archive.fullSystemScanResults;
    default:
        return none;
    }
}

QString SystemMonitorStore::refusalReason(UserOperation operation, bool allowLowBattery) const {
    using Op = UserOperation;
    const auto running = [this](Op other) { return isRunning(other); };
    const auto anyOtherRunning = [&] {
        for (const Op other : allCases<Op>()) {
            if (other != operation && running(other))
                return true;
        }
        return false;
    };
    const BatteryStats& battery = m_currentSnapshot.battery;
    // An unknown charge never blocks.
    const bool lowBattery = battery.availability.isAvailable() && battery.isPresent &&
                            battery.isConnectedToPowerAdapter != true && battery.chargeFraction &&
                            *battery.chargeFraction < 0.2;
    switch (operation) {
    case Op::networkSpeed:
        if (running(Op::fullSystemScan))
            return trText("Tam Tarama sırasında ayrı bir hız testi başlatılamaz.");
        if (running(Op::cpuBenchmark))
            return trText("CPU benchmark çalışırken hız testi başlatılamaz.");
        if (running(Op::networkQuality))
            return trText("Ağ kalite testi çalışırken hız testi başlatılamaz.");
        break;
    case Op::networkQuality:
        if (running(Op::fullSystemScan))
            return trText("Tam Tarama sırasında ayrı bir ağ testi başlatılamaz.");
        if (running(Op::cpuBenchmark))
            return trText("CPU benchmark çalışırken ağ testi başlatılamaz.");
        if (running(Op::networkSpeed))
            return trText("İnternet hız testi çalışırken ağ testi başlatılamaz.");
        break;
    case Op::cpuBenchmark:
        if (anyOtherRunning())
            return trText("Başka bir test çalışıyor. CPU benchmark’ı test tamamlandıktan sonra başlatın.");
        break;
    case Op::deepHealthTest:
        if (lowBattery && !allowLowBattery)
            return trText(
                "Batarya %20’nin altında. Prize bağlayın veya düşük batarya uyarısında devam etmeyi seçin.");
        if (running(Op::cpuBenchmark))
            return trText("CPU benchmark çalışırken derin test başlatılamaz.");
        if (running(Op::quickHealthTest))
            return trText("Hızlı test çalışırken derin test başlatılamaz.");
        if (running(Op::fullSystemScan))
            return trText("Tam Tarama sırasında ayrı bir derin test başlatılamaz.");
        break;
    case Op::quickHealthTest:
        if (running(Op::cpuBenchmark))
            return trText("CPU benchmark çalışırken sağlık testi başlatılamaz.");
        if (running(Op::deepHealthTest))
            return trText("Derin test çalışırken hızlı test başlatılamaz.");
        if (running(Op::fullSystemScan))
            return trText("Tam Tarama sırasında ayrı bir sağlık testi başlatılamaz.");
        break;
    case Op::fullSystemScan:
        if (lowBattery && !allowLowBattery)
            return trText(
                "Batarya %20’nin altında. Prize bağla veya düşük batarya uyarısında devam etmeyi seç.");
        if (anyOtherRunning())
            return trText("Başka bir test çalışıyor. Tam Tarama’yı test tamamlandıktan sonra başlat.");
        break;
    }
    const UserOperationTraits traits = UserOperationTraits::of(operation);
    if (traits.isIntensive && m_intensiveTestCooldownUntil) {
        const double remaining = m_intensiveTestCooldownUntil->secondsSince(m_deps.dateProvider());
        if (remaining > 0) {
            return trTemplate("Mac’in soğuması için yaklaşık \\(minutes) dakika sonra yeniden deneyin.",
                              {QString::number(static_cast<long long>(std::ceil(remaining / 60.0)))});
        }
    }
    if (traits.needsNetwork && !m_currentSnapshot.network.isConnected)
        return trText("Önce kullanılabilir bir ağ bağlantısı gerekiyor.");
    return {};
}

void SystemMonitorStore::reserveCooldown(double estimatedSeconds) {
    m_intensiveTestCooldownUntil = m_deps.dateProvider().addingSeconds(std::max(estimatedSeconds, 0.0) + 900);
    m_deps.preferences->setValue(kCooldownUntilKey, *m_intensiveTestCooldownUntil);
    Q_EMIT intensiveTestCooldownUntilChanged();
}

bool SystemMonitorStore::startOperation(UserOperation operation, OperationWork work,
                                        OperationOptions options) {
    OperationState& state = m_operations[operation];
    if (state.running)
        return false;
    const QString refusal = refusalReason(operation, options.allowLowBattery);
    if (!refusal.isEmpty()) {
        state.error = refusal;
        Q_EMIT operationsChanged();
        return false;
    }
    const UserOperationTraits traits = UserOperationTraits::of(operation);
    if (traits.cooldownEstimateSeconds >= 0)
        reserveCooldown(traits.cooldownEstimateSeconds);
    state.error.clear();
    state.running = true;
    state.progress = options.initialProgress;
    state.stop.emplace();
    Q_EMIT operationsChanged();
    // Built here, outside the coroutine, so that the coroutine holds no capturing lambda.
    QPointer<SystemMonitorStore> self(this);
    ProgressReporter report = [self, operation](const QVariant& progress) {
        if (!self)
            return;
        self->m_operations[operation].progress = progress;
        Q_EMIT self->operationsChanged();
    };
    state.task.emplace(runOperation(operation, std::move(work), std::move(report), state.stop->get_token()));
    return true;
}

void SystemMonitorStore::cancelOperation(UserOperation operation) {
    OperationState& state = m_operations[operation];
    if (state.running && state.stop)
        state.stop->request_stop();
}

QCoro::Task<void> SystemMonitorStore::runOperation(UserOperation operation, OperationWork work,
                                                   ProgressReporter report, std::stop_token stop) {
    QPointer<SystemMonitorStore> self(this);
    QString error;
    try {
        const QJsonObject result = co_await work(stop, report);
        if (!self)
            co_return;
        if (stop.stop_requested())
            throw CancellationError();
        switch (operation) {
        case UserOperation::networkQuality:
            m_archive.latestNetworkQualityResult = result;
            break;
        case UserOperation::networkSpeed:
            m_archive.latestNetworkSpeedResult = result;
            break;
        case UserOperation::quickHealthTest:
            m_archive.healthTestResults.push_back(result);
            break;
        case UserOperation::deepHealthTest:
            m_archive.deepHealthTestResults.push_back(result);
            break;
        case UserOperation::cpuBenchmark:
            m_archive.cpuBenchmarkResults.push_back(result);
            break;
        case UserOperation::fullSystemScan:
            m_archive.fullSystemScanResults.push_back(result);
            break;
        }
        Q_EMIT resultsChanged();
        co_await persistArchive();
        if (!self)
            co_return;
    } catch (const CancellationError&) {
        error = UserOperationTraits::of(operation).cancellationMessage;
    } catch (...) {
        error = describeException(std::current_exception());
    }
    if (!self)
        co_return;
    OperationState& state = m_operations[operation];
    state.running = false;
    state.progress = QVariant();
    state.error = error;
    state.stop.reset();
    state.task.reset(); // this coroutine's own handle: it finishes and frees itself
    Q_EMIT operationsChanged();
}

} // namespace kestrum
