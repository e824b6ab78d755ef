#include "FreedesktopNotificationService.h"

#include "foundation/Logging.h"
#include "foundation/Uuid.h"
#include "fullscan/FullSystemScanReminderSchedule.h"
#include "interpretation/HealthAlerts.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <qcoro/qcorodbuspendingcall.h>

namespace kestrum {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

FreedesktopNotificationService::FreedesktopNotificationService(QDBusConnection bus) : m_bus(std::move(bus)) {}

QCoro::Task<bool> FreedesktopNotificationService::requestAuthorization() {
    if (!m_bus.isConnected())
        co_return false;
    // Desktop notification servers grant everyone; the question is whether one is there.
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    const QDBusMessage reply = co_await m_bus.asyncCall(call, 3000);
    co_return reply.type() == QDBusMessage::ReplyMessage;
}

void FreedesktopNotificationService::deliver(const HealthEvent& event) {
    const HealthNotificationContent content = HealthNotificationContent::make(event);
    QVariantMap hints;
    hints.insert(QLatin1String(kEventIdHint), uuidText(event.id));
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(event.level == HealthLevel::critical ? 2 : 1));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    if (notify(content.title, content.body, {}, std::move(hints)))
        qCDebug(lcNotifications) << "notification sent for event" << uuidText(event.id);
}

void FreedesktopNotificationService::deliverMessage(const QString& title, const QString& body,
                                                    const QString& actionKey, const QString& actionLabel) {
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(0));
    notify(title, body, {actionKey, actionLabel}, std::move(hints));
}

void FreedesktopNotificationService::deliverReminder(const QString& title, const QString& body) {
    QVariantMap hints;
    hints.insert(QStringLiteral("x-kestrum-request-id"), FullSystemScanReminderSchedule::kRequestIdentifier);
    hints.insert(QStringLiteral("suppress-sound"), true);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
    if (notify(title, body, {}, std::move(hints)))
        qCDebug(lcNotifications) << "full scan reminder sent";
}

bool FreedesktopNotificationService::notify(const QString& title, const QString& body,
                                            const QStringList& actions, QVariantMap hints) {
    if (!m_bus.isConnected())
        return false;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("app.kestrum.Kestrum"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Kestrum") << 0u << QStringLiteral("app.kestrum.Kestrum") << title << body
         << actions << hints << -1;
    // Fire and forget: delivery errors are ignored.
    const QDBusPendingCall pending = m_bus.asyncCall(call, 5000);
    Q_UNUSED(pending);
    return true;
}

} // namespace kestrum
