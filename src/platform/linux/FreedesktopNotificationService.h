#pragma once

#include "monitor/MonitorCollaborators.h"

#include <QDBusConnection>

namespace kestrum {

// Health alerts through org.freedesktop.Notifications on the session bus. A missing service is not an
// error: authorization is refused and deliveries are dropped.
class FreedesktopNotificationService : public HealthNotificationDelivering {
public:
    explicit FreedesktopNotificationService(QDBusConnection bus = QDBusConnection::sessionBus());

    QCoro::Task<bool> requestAuthorization() override;
    void deliver(const HealthEvent& event) override;
    // The full scan reminder (texts shown as they are): one fixed request, no sound; replaces the previous
    // one while the desktop still shows it.
    void deliverReminder(const QString& title, const QString& body);

    static constexpr const char* kEventIdHint = "x-kestrum-event-id";

private:
    QDBusConnection m_bus;
};

} // namespace kestrum
