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
    if (!m_bus.isConnected())
        return;
    const HealthNotificationContent content = HealthNotificationContent::make(event);
    QVariantMap hints;
    hints.insert(QLatin1String(kEventIdHint), uuidText(event.id));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("app.kestrum.Kestrum"));
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(event.level == HealthLevel::critical ? 2 : 1));
    hints.insert(QStringLiteral("category"), QStringLiteral("device"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Kestrum") << 0u << QStringLiteral("app.kestrum.Kestrum") << content.title
         << content.body << QStringList() << hints << -1;
    // Fire and forget: delivery errors are ignored.
    const QDBusPendingCall pending = m_bus.asyncCall(call, 5000);
    Q_UNUSED(pending);
    qCDebug(lcNotifications) << "notification sent for event" << uuidText(event.id);
}

void FreedesktopNotificationService::deliverReminder(const QString& title, const QString& body) {
    if (!m_bus.isConnected())
        return;
    QVariantMap hints;
    hints.insert(QStringLiteral("x-kestrum-request-id"), FullSystemScanReminderSchedule::kRequestIdentifier);
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("app.kestrum.Kestrum"));
    hints.insert(QStringLiteral("suppress-sound"), true);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Kestrum") << 0u << QStringLiteral("app.kestrum.Kestrum") << title << body
         << QStringList() << hints << -1;
    // Fire and forget: delivery errors are ignored.
    const QDBusPendingCall pending = m_bus.asyncCall(call, 5000);
    Q_UNUSED(pending);
    qCDebug(lcNotifications) << "full scan reminder sent";
}

} // namespace kestrum
