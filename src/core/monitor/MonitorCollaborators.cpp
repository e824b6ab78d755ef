#include "MonitorCollaborators.h"

#include <QTimer>
#include <qcoro/qcorosignal.h>

namespace kestrum {

namespace {

// Emits `finished(bool)` once: true when its timer fired, false when the wait was cancelled.
// Kept free of lambdas: the coroutine below only creates it and awaits it.
class WaitOutcome : public QObject {
    Q_OBJECT
public:
    explicit WaitOutcome(double seconds) {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::CoarseTimer); // the loop needs no millisecond precision; fewer wake-ups
        connect(&m_timer, &QTimer::timeout, this, &WaitOutcome::fire);
        m_timer.start(static_cast<int>(seconds * 1000));
    }
    // Called from the stop callback, on the thread that requested the stop.
    void cancelSoon() { QMetaObject::invokeMethod(this, &WaitOutcome::cancel, Qt::QueuedConnection); }

Q_SIGNALS:
    void finished(bool fired);

private:
    void fire() { finish(true); }
    void cancel() { finish(false); }
    void finish(bool fired) {
        if (m_done)
            return;
        m_done = true;
        m_timer.stop();
        Q_EMIT finished(fired);
    }

    QTimer m_timer;
    bool m_done = false;
};

struct CancelWait {
    WaitOutcome* outcome;
    void operator()() const { outcome->cancelSoon(); }
};

} // namespace

QCoro::Task<bool> TimerLoopSleeper::sleep(double seconds, std::stop_token stop) {
    if (stop.stop_requested())
        co_return false;
    auto outcome = std::make_unique<WaitOutcome>(seconds);
    std::stop_callback<CancelWait> onStop(stop, CancelWait{outcome.get()});
    const bool fired = co_await qCoro(outcome.get(), &WaitOutcome::finished);
    co_return fired;
}

QCoro::Task<bool> NoNotifications::requestAuthorization() {
    co_return false;
}

} // namespace kestrum

#include "MonitorCollaborators.moc"
