#include "MonitoringLoop.h"

#include "OperationAnalytics.h"
#include "foundation/KestrumError.h"
#include "foundation/Logging.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/HealthInsightEngine.h"

#include <QPointer>
#include <algorithm>
#include <cmath>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorosignal.h>

namespace kestrum {

MonitoringLoop::MonitoringLoop(Dependencies dependencies, ArchiveKeeper& keeper, double sampleInterval,
                               QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)), m_keeper(keeper), m_sampleInterval(sampleInterval) {
    Q_ASSERT(m_deps.sampler && m_deps.notificationService && m_deps.loopSleeper && m_deps.dateProvider &&
             m_deps.monotonicClock && m_deps.idProvider);
    m_currentSnapshot = SystemSnapshot::empty(m_deps.idProvider(), m_deps.dateProvider());
    m_currentAssessment = HealthAssessmentEngine::assess(m_currentSnapshot);
    m_continuityClockOrigin = m_deps.monotonicClock();
    // An erased history starts the alerts and the observation over.
    connect(&m_keeper, &ArchiveKeeper::erased, this, [this] {
        m_alertTracker.reset();
        invalidateContinuity(Interruption::contextChanged);
    });
    updateObservationRows();
}

MonitoringLoop::~MonitoringLoop() {
    if (m_monitoringStop)
        m_monitoringStop->request_stop();
}

void MonitoringLoop::start() {
    if (m_monitoringTask)
        return;
    invalidateContinuity(Interruption::contextChanged);
    m_isMonitoring = true;
    Q_EMIT isMonitoringChanged();
    m_monitoringStop.emplace();
    m_monitoringTask.emplace(runLoop(m_monitoringStop->get_token()));
    updateObservationRows();
}

void MonitoringLoop::stop() {
    invalidateContinuity(Interruption::monitoringStopped);
    interruptRiders();
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

QCoro::Task<void> MonitoringLoop::runLoop(std::stop_token stop) {
    QPointer<MonitoringLoop> self(this);
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

bool MonitoringLoop::setSampleInterval(double seconds) {
    const double clamped = std::isfinite(seconds) ? std::clamp(seconds, 1.0, 30.0) : kDefaultSampleInterval;
    if (clamped == m_sampleInterval && seconds == clamped)
        return false;
    m_sampleInterval = clamped;
    invalidateContinuity(Interruption::contextChanged);
    Q_EMIT sampleIntervalChanged();
    return true;
}

void MonitoringLoop::systemWillSleep() {
    m_continuitySleeping = true;
    invalidateContinuity(Interruption::sleep);
    interruptRiders();
}

void MonitoringLoop::interruptRiders() {
    for (const SampleRider& rider : m_riders) {
        if (rider.interrupted)
            rider.interrupted();
    }
}

void MonitoringLoop::systemDidWake() {
    m_continuitySleeping = false;
    invalidateContinuity(Interruption::sleep);
}

QCoro::Task<SystemMonitorRefreshOutcome> MonitoringLoop::refresh(AnalyticsTrigger trigger) {
    QPointer<MonitoringLoop> self(this);
    if (m_refreshInFlight) {
        // Concurrent callers share the sample in flight.
        const quint64 awaited = m_refreshGeneration;
        for (;;) {
            const auto [generation, succeeded, id] = co_await qCoro(this, &MonitoringLoop::refreshCompleted);
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

double MonitoringLoop::continuityClock() const {
    return m_deps.monotonicClock() - m_continuityClockOrigin;
}

QCoro::Task<SystemMonitorRefreshOutcome> MonitoringLoop::performRefresh(AnalyticsTrigger trigger) {
    QPointer<MonitoringLoop> self(this);
    const int generation = m_continuityGeneration;
    const double started = continuityClock();

    std::shared_ptr<SystemMetricsSampling> sampler = m_deps.sampler;
    SystemSnapshot snapshot;
    try {
        snapshot = co_await sampler->sample();
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (!self)
            co_return SystemMonitorRefreshOutcome{};
        setLastError(description);
        invalidateContinuity(Interruption::samplingFailed);
        updateObservationRows();
        co_return SystemMonitorRefreshOutcome{};
    }
    if (!self)
        co_return SystemMonitorRefreshOutcome{};

    const bool first = !m_hasRecordedFirstSnapshotReady;
    keepSnapshot(snapshot);
    if (first && m_deps.analytics)
        m_deps.analytics->firstSnapshotReady(trigger);
    for (const SampleRider& rider : m_riders) {
        if (rider.sampleKept)
            rider.sampleKept(snapshot);
    }
    m_currentAssessment = HealthAssessmentEngine::assess(snapshot);
    recomputeInsights(snapshot);

    if (!m_keeper.isPrepared()) {
        // Nothing is persisted and no alert raised before the archive is loaded.
        recordContinuity(snapshot, generation, started);
        updateObservationRows();
        co_return SystemMonitorRefreshOutcome{true, snapshot.id};
    }

    const bool appended = m_keeper.appendSampleIfNeeded(
        HealthSample::make(snapshot, m_currentAssessment.level, m_deps.idProvider()));
    if (appended)
        recomputeInsights(snapshot); // against the baseline the new sample changed
    recordContinuity(snapshot, generation, started);
    updateObservationRows();

    const bool eventsAdded = raiseEvents(snapshot);
    if (appended || eventsAdded)
        co_await m_keeper.persist();
    co_return SystemMonitorRefreshOutcome{true, snapshot.id};
}

void MonitoringLoop::keepSnapshot(const SystemSnapshot& snapshot) {
    m_currentSnapshot = snapshot;
    setLastError({});
    m_history.push_back(snapshot);
    m_hasRecordedFirstSnapshotReady = true;
    if (m_history.size() > kHistoryLimit)
        m_history.erase(m_history.begin(),
                        m_history.begin() + static_cast<std::ptrdiff_t>(m_history.size() - kHistoryLimit));
    Q_EMIT currentSnapshotChanged();
    Q_EMIT historyChanged();
}

bool MonitoringLoop::raiseEvents(const SystemSnapshot& snapshot) {
    const std::vector<HealthEvent>& existing = m_keeper.archive().events;
    const std::vector<HealthEvent> newEvents =
        m_alertTracker.newEvents(m_activeInsights, existing, snapshot.timestamp, m_deps.idProvider);
    if (newEvents.empty())
        return false;
    const std::vector<HealthEvent> eligible =
        HealthAlertNotificationPolicy::eligibleEvents(newEvents, existing, kNotificationCooldownSeconds);
    m_keeper.addEvents(newEvents);
    if (m_notifies) {
        for (const HealthEvent& event : eligible)
            m_deps.notificationService->deliver(event);
    }
    return true;
}

void MonitoringLoop::recomputeInsights(const SystemSnapshot& snapshot) {
    m_activeInsights = HealthInsightEngine::insights(snapshot, m_keeper.personalBaseline());
    Q_EMIT activeInsightsChanged();
}

void MonitoringLoop::invalidateContinuity(Interruption why) {
    ++m_continuityGeneration;
    m_observationMonitor.reset(why);
}

void MonitoringLoop::recordContinuity(const SystemSnapshot& snapshot, int generation, double started) {
    if (generation != m_continuityGeneration || m_continuitySleeping)
        return;
    const double now = continuityClock();
    m_observationMonitor.receive(snapshot, m_keeper.personalBaseline(), m_sampleInterval, started, now,
                                 m_deps.dateProvider());
    for (const SampleRider& rider : m_riders) {
        if (rider.continuityRecorded)
            rider.continuityRecorded(snapshot, started, now);
    }
}

void MonitoringLoop::updateObservationRows() {
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

void MonitoringLoop::setLastError(const QString& text) {
    if (m_lastError == text)
        return;
    m_lastError = text;
    Q_EMIT lastErrorChanged();
}

} // namespace kestrum
