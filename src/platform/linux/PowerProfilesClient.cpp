#include "PowerProfilesClient.h"

#include "foundation/Clocks.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace kestrum {

namespace {

constexpr double kCacheSeconds = 30;

std::optional<QString> readProperty(const QDBusConnection& bus, const QString& service, const QString& path,
                                    const QString& interface, const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant().toString();
}

} // namespace

void PowerProfilesClient::refreshIfStale() {
    const double now = systemMonotonicClock()();
    if (m_cache.readAt >= 0 && now - m_cache.readAt < kCacheSeconds && now >= m_cache.readAt)
        return;
    m_cache = Cached{now, std::nullopt, std::nullopt};
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface())
        return;
    // The daemon moved to the freedesktop name; older releases only own the hadess one.
    const std::pair<const char*, const char*> names[] = {
        {"org.freedesktop.UPower.PowerProfiles", "/org/freedesktop/UPower/PowerProfiles"},
        {"net.hadess.PowerProfiles", "/net/hadess/PowerProfiles"},
    };
    for (const auto& [service, path] : names) {
        const QString serviceName = QLatin1String(service);
        if (!bus.interface()->isServiceRegistered(serviceName).value())
            continue;
        m_cache.degraded = readProperty(bus, serviceName, QLatin1String(path), serviceName,
                                        QStringLiteral("PerformanceDegraded"));
        m_cache.profile =
            readProperty(bus, serviceName, QLatin1String(path), serviceName, QStringLiteral("ActiveProfile"));
        return;
    }
}

std::optional<QString> PowerProfilesClient::performanceDegraded() {
    std::lock_guard lock(m_mutex);
    refreshIfStale();
    return m_cache.degraded;
}

std::optional<QString> PowerProfilesClient::activeProfile() {
    std::lock_guard lock(m_mutex);
    refreshIfStale();
    return m_cache.profile;
}

} // namespace kestrum
