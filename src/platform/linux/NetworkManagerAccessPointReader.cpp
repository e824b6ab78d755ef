#include "NetworkManagerAccessPointReader.h"

#include "BusProperties.h"

#include <QDBusMessage>
#include <QDBusObjectPath>

namespace kestrum {

namespace {
const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
} // namespace

std::optional<WiFiSecurityEvidence> NetworkManagerAccessPointReader::read(const QString& interfaceName) {
    const QDBusConnection bus = m_bus.value_or(QDBusConnection::systemBus());
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/NetworkManager"), kService,
                                       QStringLiteral("GetDeviceByIpIface"));
    call << interfaceName;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QString device = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    if (device.isEmpty())
        return std::nullopt;
    const auto active =
        busProperty(bus, kService, device, QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
                    QStringLiteral("ActiveAccessPoint"));
    if (!active)
        return std::nullopt;
    const QString accessPoint = active->value<QDBusObjectPath>().path();
    if (accessPoint.isEmpty() || accessPoint == u"/")
        return std::nullopt;
    const QString apInterface = QStringLiteral("org.freedesktop.NetworkManager.AccessPoint");
    const auto flags = busProperty(bus, kService, accessPoint, apInterface, QStringLiteral("Flags"));
    const auto wpa = busProperty(bus, kService, accessPoint, apInterface, QStringLiteral("WpaFlags"));
    const auto rsn = busProperty(bus, kService, accessPoint, apInterface, QStringLiteral("RsnFlags"));
    if (!flags || !wpa || !rsn)
        return std::nullopt;
    return Nl80211Messages::securityFromNetworkManager(flags->toUInt(), wpa->toUInt(), rsn->toUInt());
}

} // namespace kestrum
