#include "OperationFrame.h"

#include "ArchiveKeeper.h"
#include "MonitoringLoop.h"
#include "OperationAnalytics.h"
#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"

#include <QPointer>
#include <algorithm>

namespace kestrum {

const QString OperationFrame::kCooldownUntilKey = QStringLiteral("healthTest.intensiveCooldownUntil");

// What the running work sees of the store.
class OperationFrame::Context : public OperationContext {
public:
    explicit Context(const Host& host) : m_host(host) {}
    const SystemSnapshot& currentSnapshot() const override { return m_host.loop->currentSnapshot(); }
    QCoro::Task<std::optional<SystemSnapshot>> freshSnapshot() override {
        QPointer<MonitoringLoop> loop(m_host.loop);
        const SystemMonitorRefreshOutcome outcome = co_await loop->refresh(AnalyticsTrigger::manualRefresh);
        if (!loop || !outcome.succeeded)
            co_return std::nullopt;
        co_return loop->currentSnapshot();
    }
    const HealthArchive& archive() const override { return m_host.keeper->archive(); }
    Date now() const override { return m_host.dateProvider(); }
    bool machineOffersThermalSignal() const override {
        return m_host.machineOffersThermalSignal ? m_host.machineOffersThermalSignal() : true;
    }

private:
    const Host& m_host;
};

OperationFrame::OperationFrame(Host host, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_context(std::make_unique<Context>(m_host)) {
    Q_ASSERT(m_host.loop && m_host.keeper && m_host.preferences && m_host.dateProvider);
    for (const UserOperation operation : allCases<UserOperation>())
        m_states[operation];
    // A cooldown found in the preferences counts only while it lies in the future.
    PreferencesStore& prefs = *m_host.preferences;
    const auto cooldown = prefs.dateValue(kCooldownUntilKey);
    if (cooldown && *cooldown > m_host.dateProvider())
        m_cooldownUntil = cooldown;
    else if (prefs.value(kCooldownUntilKey))
        prefs.remove(kCooldownUntilKey);
}

OperationFrame::~OperationFrame() {
    for (auto& [operation, state] : m_states) {
        if (state.stop)
            state.stop->request_stop();
    }
}

bool OperationFrame::isRunning(UserOperation operation) const {
    return m_states.at(operation).running;
}

bool OperationFrame::isAnyRunning() const {
    return std::any_of(m_states.begin(), m_states.end(),
                       [](const auto& entry) { return entry.second.running; });
}

QString OperationFrame::error(UserOperation operation) const {
    return m_states.at(operation).error;
}

const std::optional<OperationProgress>& OperationFrame::progress(UserOperation operation) const {
    return m_states.at(operation).progress;
}

QString OperationFrame::checkRefusal(const OperationDescription& description, StartCheck check,
                                     bool allowLowBattery) const {
    const SystemSnapshot& snapshot = m_host.loop->currentSnapshot();
    switch (check) {
    case StartCheck::conflicts:
        for (const OperationConflict& conflict : operationConflicts()) {
            if (conflict.started == description.operation && isRunning(conflict.running))
                return QString::fromUtf8(conflict.message);
        }
        if (description.anyOtherRunningMessage) {
            for (const auto& [other, state] : m_states) {
                if (other != description.operation && state.running)
                    return QString::fromUtf8(description.anyOtherRunningMessage);
            }
        }
        return {};
    case StartCheck::cooldown:
        if (description.isIntensive && m_cooldownUntil) {
            const double remaining = m_cooldownUntil->secondsSince(m_host.dateProvider());
            if (remaining > 0)
                return cooldownRefusal(remaining);
        }
        return {};
    case StartCheck::measurementRequired:
        return m_host.loop->hasMeasurement() ? QString()
                                             : trText("Testten önce güncel bir sistem ölçümü gerekiyor.");
    case StartCheck::lowBattery: {
        const BatteryStats& battery = snapshot.battery;
        // An unknown charge never blocks.
        const bool low = battery.availability.isAvailable() && battery.isPresent &&
                         battery.isConnectedToPowerAdapter != true && battery.chargeFraction &&
                         *battery.chargeFraction < 0.2;
        return low && !allowLowBattery ? QString::fromUtf8(description.lowBatteryMessage) : QString();
    }
    case StartCheck::thermalGate: {
        const ThermalLevel level = snapshot.thermal;
        const bool unsafe = level == ThermalLevel::serious || level == ThermalLevel::critical;
        // A machine that offers no thermal signal at all (a virtual machine) runs, with a warning in
        // its result; a signal that exists but could not be read refuses.
        const bool unreadable = level == ThermalLevel::unavailable && m_context->machineOffersThermalSignal();
        return (unsafe || unreadable) && description.thermalRefusal ? description.thermalRefusal(level)
                                                                    : QString();
    }
    case StartCheck::network:
        return snapshot.network.isConnected ? QString()
                                            : trText("Önce kullanılabilir bir ağ bağlantısı gerekiyor.");
    }
    return {};
}

QString OperationFrame::refusalReason(UserOperation operation, bool allowLowBattery) const {
    const OperationDescription& description = OperationDescription::of(operation);
    for (const StartCheck check : description.checks) {
        QString refusal = checkRefusal(description, check, allowLowBattery);
        if (!refusal.isEmpty())
            return refusal;
    }
    return {};
}

std::optional<StartCheck> OperationFrame::refusingCheck(UserOperation operation, bool allowLowBattery) const {
    const OperationDescription& description = OperationDescription::of(operation);
    for (const StartCheck check : description.checks) {
        if (!checkRefusal(description, check, allowLowBattery).isEmpty())
            return check;
    }
    return std::nullopt;
}

void OperationFrame::reserveCooldown(double estimatedSeconds) {
    m_cooldownUntil = m_host.dateProvider().addingSeconds(std::max(estimatedSeconds, 0.0) + 900);
    m_host.preferences->setValue(kCooldownUntilKey, *m_cooldownUntil);
    Q_EMIT intensiveTestCooldownUntilChanged();
}

bool OperationFrame::start(UserOperation operation, OperationWork work, Options options) {
    State& state = m_states[operation];
    const ThermalLevel thermal = m_host.loop->currentSnapshot().thermal;
    if (state.running) {
        if (m_host.analytics)
            m_host.analytics->blocked(operation, std::nullopt, true, thermal);
        return false;
    }
    QString refusal = refusalReason(operation, options.allowLowBattery);
    if (refusal.isEmpty() && options.precondition)
        refusal = options.precondition(m_host.loop->currentSnapshot());
    if (!refusal.isEmpty()) {
        if (m_host.analytics)
            m_host.analytics->blocked(operation, refusingCheck(operation, options.allowLowBattery), false,
                                      thermal);
        state.error = refusal;
        Q_EMIT operationsChanged();
        return false;
    }
    const OperationDescription& description = OperationDescription::of(operation);
    if (description.cooldownEstimateSeconds)
        reserveCooldown(*description.cooldownEstimateSeconds);
    state.error.clear();
    state.running = true;
    state.progress = options.initialProgress;
    state.stop.emplace();
    state.work = std::move(work);
    Q_EMIT operationsChanged();
    if (m_host.analytics)
        m_host.analytics->accepted(operation, options.entryPoint);
    state.task.emplace(run(operation, state.stop->get_token()));
    return true;
}

void OperationFrame::cancel(UserOperation operation) {
    State& state = m_states[operation];
    if (state.running && state.stop)
        state.stop->request_stop();
}

QCoro::Task<void> OperationFrame::run(UserOperation operation, std::stop_token stop) {
    QPointer<OperationFrame> self(this);
    QPointer<ArchiveKeeper> keeper(m_host.keeper);
    const OperationWork& work = m_states[operation].work;
    // How far the work got, for the stage a cancellation is counted in.
    auto progressed = std::make_shared<bool>(false);
    bool workReturned = false;
    bool cancelled = false;
    std::exception_ptr failure;
    ProgressReporter report = [self, operation, progressed](OperationProgress progress) {
        *progressed = true;
        if (!self)
            return;
        self->m_states[operation].progress = std::move(progress);
        Q_EMIT self->operationsChanged();
    };
    QString error;
    try {
        const ArchiveCommit commit = co_await work(*m_context, stop, std::move(report));
        workReturned = true;
        if (!self || !keeper)
            co_return;
        if (stop.stop_requested())
            throw CancellationError();
        keeper->commit(commit);
        co_await keeper->persist();
    } catch (const CancellationError&) {
        cancelled = true;
        error = QString::fromUtf8(OperationDescription::of(operation).cancellationMessage);
    } catch (...) {
        failure = std::current_exception();
        error = describeException(failure);
    }
    if (!self)
        co_return;
    State& state = m_states[operation];
    state.running = false;
    state.progress.reset();
    state.error = error;
    state.stop.reset();
    Q_EMIT operationsChanged();
    if (OperationAnalytics* analytics = m_host.analytics) {
        if (cancelled)
            analytics->cancelled(operation, workReturned  ? ProductAnalyticsTestStage::finalizing
                                            : *progressed ? ProductAnalyticsTestStage::running
                                                          : ProductAnalyticsTestStage::preparing);
        else if (failure)
            analytics->failed(operation, failure);
        else
            analytics->completed(operation);
    }
    // This coroutine's own frame lives in `task`; it is released once the coroutine has finished, when
    // the next start replaces it. The work stays alive until then for the same reason.
}

} // namespace kestrum
