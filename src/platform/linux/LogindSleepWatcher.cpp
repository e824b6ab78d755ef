#include "LogindSleepWatcher.h"

namespace kestrum {

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection bus, QObject* parent) : SleepWakeNotifying(parent) {
    if (!bus.isConnected())
        return;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                SLOT(onPrepareForSleep(bool)));
}

void LogindSleepWatcher::onPrepareForSleep(bool sleeping) {
    if (sleeping)
        Q_EMIT willSleep();
    else
        Q_EMIT didWake();
}

} // namespace kestrum
