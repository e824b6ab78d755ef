#pragma once

#include "OperationContext.h"
#include "OperationDescription.h"
#include "UserOperation.h"
#include "foundation/Clocks.h"
#include "foundation/PreferencesStore.h"

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

class ArchiveKeeper;
class MonitoringLoop;
class OperationAnalytics;

// The frame of every user-started operation: refuses by the description table, reserves the cooling-down
// period, holds the running flag, progress and error, runs the work, applies its commit only when it
// finished uncancelled, and saves. One frame per store, on the main thread.
class OperationFrame : public QObject {
    Q_OBJECT
public:
    static const QString kCooldownUntilKey; // "healthTest.intensiveCooldownUntil"

    struct Host {
        MonitoringLoop* loop = nullptr;
        ArchiveKeeper* keeper = nullptr;
        PreferencesStore* preferences = nullptr;
        DateProvider dateProvider;
        std::function<bool()> machineOffersThermalSignal;
        OperationAnalytics* analytics = nullptr; // usage events; may be absent
    };
    struct Options {
        bool allowLowBattery = false;
        std::optional<OperationProgress> initialProgress;
        // The operation's own last check on the current snapshot (e.g. free disk space); a non-empty
        // text refuses the start with it, before any cooldown is reserved.
        std::function<QString(const SystemSnapshot&)> precondition;
        // Where in the interface the operation was started ("overview", "sidebar", …), for usage events.
        QString entryPoint;
    };

    explicit OperationFrame(Host host, QObject* parent = nullptr);
    ~OperationFrame() override;

    // Refuses (setting the operation's error text; silently when it already runs) or starts the work;
    // answers whether it started.
    bool start(UserOperation operation, OperationWork work, Options options);
    void cancel(UserOperation operation);
    // The text the frame would refuse with now, or empty when the operation may start.
    QString refusalReason(UserOperation operation, bool allowLowBattery = false) const;

    bool isRunning(UserOperation operation) const;
    bool isAnyRunning() const;
    QString error(UserOperation operation) const;
    const std::optional<OperationProgress>& progress(UserOperation operation) const;
    std::optional<Date> intensiveTestCooldownUntil() const { return m_cooldownUntil; }

Q_SIGNALS:
    void operationsChanged();
    void intensiveTestCooldownUntilChanged();

private:
    class Context;
    struct State {
        bool running = false;
        QString error;
        std::optional<OperationProgress> progress;
        std::optional<std::stop_source> stop;
        OperationWork work; // kept alive while its coroutine runs: the coroutine may refer to its captures
        std::optional<QCoro::Task<void>> task;
    };

    QString checkRefusal(const OperationDescription& description, StartCheck check,
                         bool allowLowBattery) const;
    // The first start check that refuses now, if one does.
    std::optional<StartCheck> refusingCheck(UserOperation operation, bool allowLowBattery) const;
    void reserveCooldown(double estimatedSeconds);
    QCoro::Task<void> run(UserOperation operation, std::stop_token stop);

    Host m_host;
    std::unique_ptr<Context> m_context;
    std::map<UserOperation, State> m_states;
    std::optional<Date> m_cooldownUntil;
};

} // namespace kestrum
