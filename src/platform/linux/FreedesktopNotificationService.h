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
    // A message of the application's own (not a health event) with one action button; choosing it is
    // announced on the bus as ActionInvoked with `actionKey`.
    void deliverMessage(const QString& title, const QString& body, const QString& actionKey,
                        const QString& actionLabel);

    static constexpr const char* kEventIdHint = "x-kestrum-event-id";

private:
    QDBusConnection m_bus;
};

} // namespace kestrum
