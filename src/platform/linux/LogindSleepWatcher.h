#pragma once

#include "monitor/MonitorCollaborators.h"

#include <QDBusConnection>

namespace kestrum {

// logind's PrepareForSleep(true/false) on the system bus, as will-sleep and did-wake. Without logind it
// simply never reports anything.
class LogindSleepWatcher : public SleepWakeNotifying {
    Q_OBJECT
public:
    explicit LogindSleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(),
                                QObject* parent = nullptr);

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);
};

} // namespace kestrum
