#include "BusDnsServerReader.h"

#include "BusProperties.h"

#include <QDBusArgument>
#include <QHostAddress>

namespace kestrum {

std::optional<std::vector<QString>> BusDnsServerReader::networkManagerServers() {
    const QDBusConnection bus = m_bus.value_or(QDBusConnection::systemBus());
    const auto value = busProperty(bus, QStringLiteral("org.freedesktop.NetworkManager"),
                                   QStringLiteral("/org/freedesktop/NetworkManager/DnsManager"),
                                   QStringLiteral("org.freedesktop.NetworkManager.DnsManager"),
                                   QStringLiteral("Configuration"));
    if (!value || !value->canConvert<QDBusArgument>())
        return std::nullopt;
    std::vector<QString> servers;
    const QDBusArgument argument = value->value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return std::nullopt;
    argument.beginArray();
    while (!argument.atEnd()) {
        QVariantMap entry;
        argument >> entry;
        const QVariant list = entry.value(QStringLiteral("nameservers"));
        QStringList names = list.toStringList();
        if (names.isEmpty() && list.canConvert<QDBusArgument>())
            list.value<QDBusArgument>() >> names;
        for (const QString& name : names)
            if (!QHostAddress(name.section(u'%', 0, 0)).isNull())
                servers.push_back(name);
    }
    argument.endArray();
    return servers;
}

std::optional<std::vector<QString>> BusDnsServerReader::resolvedServers() {
    const QDBusConnection bus = m_bus.value_or(QDBusConnection::systemBus());
    const auto value = busProperty(bus, QStringLiteral("org.freedesktop.resolve1"),
                                   QStringLiteral("/org/freedesktop/resolve1"),
                                   QStringLiteral("org.freedesktop.resolve1.Manager"), QStringLiteral("DNS"));
    if (!value || !value->canConvert<QDBusArgument>())
        return std::nullopt;
    std::vector<QString> servers;
    const QDBusArgument argument = value->value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return std::nullopt;
    // a(iiay): interface index, address family, address bytes.
    argument.beginArray();
    while (!argument.atEnd()) {
        int interfaceIndex = 0;
        int family = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> interfaceIndex >> family >> bytes;
        argument.endStructure();
        QHostAddress address;
        if (bytes.size() == 4) {
            address.setAddress(quint32(uint8_t(bytes[0])) << 24 | quint32(uint8_t(bytes[1])) << 16 |
                               quint32(uint8_t(bytes[2])) << 8 | quint32(uint8_t(bytes[3])));
        } else if (bytes.size() == 16) {
            address.setAddress(reinterpret_cast<const quint8*>(bytes.constData()));
        }
        if (!address.isNull() && !servers.empty() &&
            std::find(servers.begin(), servers.end(), address.toString()) != servers.end())
            continue;
        if (!address.isNull())
            servers.push_back(address.toString());
    }
    argument.endArray();
    return servers;
}

} // namespace kestrum
