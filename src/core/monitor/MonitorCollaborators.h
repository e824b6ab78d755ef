#pragma once

// The interfaces the monitoring store reaches the platform through.

#include "history/HealthEvent.h"

#include <QObject>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

// Local notifications of health events.
class HealthNotificationDelivering {
public:
    virtual ~HealthNotificationDelivering() = default;
    // Asks the desktop whether notifications can be shown; an error counts as a refusal.
    virtual QCoro::Task<bool> requestAuthorization() = 0;
    // Shows one notification for the event, identified by the event's id. Failures are ignored.
    virtual void deliver(const HealthEvent& event) = 0;
};

// Reports the machine going to sleep and waking up.
class SleepWakeNotifying : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void willSleep();
    void didWake();
};

// Waits between loop iterations. Answers false when the wait was cancelled.
class LoopSleeping {
public:
    virtual ~LoopSleeping() = default;
    virtual QCoro::Task<bool> sleep(double seconds, std::stop_token stop) = 0;
};

// A timer on the event loop; a stop request ends the wait at once.
class TimerLoopSleeper : public LoopSleeping {
public:
    QCoro::Task<bool> sleep(double seconds, std::stop_token stop) override;
};

// For runs without a desktop (tests, headless servers): authorization is refused, nothing is shown.
class NoNotifications : public HealthNotificationDelivering {
public:
    QCoro::Task<bool> requestAuthorization() override;
    void deliver(const HealthEvent&) override {}
};

} // namespace kestrum
