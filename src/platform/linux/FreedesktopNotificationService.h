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
    // The full scan reminder (texts shown as they are): no sound, marked with the reminder's request.
    void deliverReminder(const QString& title, const QString& body);

    static constexpr const char* kEventIdHint = "x-kestrum-event-id";

private:
    // Sends one notification; false without a session bus.
    bool notify(const QString& title, const QString& body, const QStringList& actions, QVariantMap hints);

    QDBusConnection m_bus;
};

} // namespace kestrum
