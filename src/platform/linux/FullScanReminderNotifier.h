#pragma once

#include "monitor/SystemMonitorStore.h"

#include <QObject>
#include <QTimer>

namespace kestrum {

class FreedesktopNotificationService;

// Rings the full scan's reminder from whichever process writes the archive — the window application or
// `kestrum-cli monitor` — so that a desktop without the window open is reminded too. The store decides
// when one is due and marks it taken; this only looks once a minute and sends it.
class FullScanReminderNotifier : public QObject {
public:
    FullScanReminderNotifier(SystemMonitorStore& store, FreedesktopNotificationService& notifications,
                             QObject* parent = nullptr);

    // Looks now (a reminder that fell due while nothing ran fires at once), then every minute.
    void start();

private:
    void check();

    SystemMonitorStore& m_store;
    FreedesktopNotificationService& m_notifications;
    QTimer m_timer;
};

} // namespace kestrum
