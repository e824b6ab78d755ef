#include "NetworkManagerClient.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace kestrum {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int kTimeoutMs = 800;

std::optional<QVariant> property(const QDBusConnection& bus, const QString& path, const QString& interface,
                                 const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant();
}

std::vector<QString> objectPaths(const QVariant& value) {
    std::vector<QString> paths;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusObjectPath path;
            argument >> path;
            paths.push_back(path.path());
        }
        argument.endArray();
    }
    return paths;
}

} // namespace

std::optional<NetworkManagerState> NetworkManagerClient::read() {
    // Without a bus of its own, the system bus is connected at the first read, on the reading thread.
    const QDBusConnection bus = m_bus ? *m_bus : QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService).value())
        return std::nullopt;
    const QString root = QStringLiteral("/org/freedesktop/NetworkManager");
    const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
    const auto state = property(bus, root, managerInterface, QStringLiteral("State"));
    if (!state)
        return std::nullopt;
    NetworkManagerState out;
    out.state = state->toUInt();
    out.metered = property(bus, root, managerInterface, QStringLiteral("Metered")).value_or(0).toUInt();
    const auto primary = property(bus, root, managerInterface, QStringLiteral("PrimaryConnection"));
    if (!primary)
        return out;
    const QString primaryPath = primary->value<QDBusObjectPath>().path();
    if (primaryPath.isEmpty() || primaryPath == u"/")
        return out;
    const auto devices =
        property(bus, primaryPath, QStringLiteral("org.freedesktop.NetworkManager.Connection.Active"),
                 QStringLiteral("Devices"));
    if (!devices)
        return out;
    const QString deviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
    for (const QString& path : objectPaths(*devices)) {
        NetworkManagerState::Device device;
        device.type = property(bus, path, deviceInterface, QStringLiteral("DeviceType")).value_or(0).toUInt();
        device.ipInterface = property(bus, path, deviceInterface, QStringLiteral("IpInterface"))
                                 .value_or(QString())
                                 .toString();
        out.primaryDevices.push_back(device);
    }
    return out;
}

} // namespace kestrum
