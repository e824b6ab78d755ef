#include "MonitorCollaborators.h"

#include <QTimer>
#include <qcoro/qcorosignal.h>

namespace kestrum {

namespace {

// Emits `finished(bool)` once: true when the timer fired, false when the wait was cancelled.
class WaitOutcome : public QObject {
    Q_OBJECT
public:
    bool done = false;
    void finish(bool fired) {
        if (done)
            return;
        done = true;
        Q_EMIT finished(fired);
    }
Q_SIGNALS:
    void finished(bool fired);
};

} // namespace

QCoro::Task<bool> TimerLoopSleeper::sleep(double seconds, std::stop_token stop) {
    if (stop.stop_requested())
        co_return false;
    auto outcome = std::make_unique<WaitOutcome>();
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::CoarseTimer); // the loop does not need millisecond precision; fewer wake-ups
    QObject::connect(&timer, &QTimer::timeout, outcome.get(), [o = outcome.get()] { o->finish(true); });
    WaitOutcome* raw = outcome.get();
    // Runs on the thread that requests the stop (the main thread).
    std::stop_callback onStop(stop, [raw] { QMetaObject::invokeMethod(raw, [raw] { raw->finish(false); }, Qt::QueuedConnection); });
    timer.start(static_cast<int>(seconds * 1000));
    const bool fired = co_await qCoro(raw, &WaitOutcome::finished);
    co_return fired;
}

QCoro::Task<bool> NoNotifications::requestAuthorization() { co_return false; }

} // namespace kestrum

#include "MonitorCollaborators.moc"
