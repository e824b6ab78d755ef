#include "LinuxConnectionDetailsProvider.h"

#include "SysfsFiles.h"

#include <QHostAddress>
#include <algorithm>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace kestrum {

namespace {

constexpr unsigned kRouteFlagUp = 0x0001;
constexpr unsigned kRouteFlagReject = 0x0200;
const QString kResolvedStub = QStringLiteral("127.0.0.53");

template <class F> void forEachLine(QByteArrayView text, F&& f) {
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        f(text.sliced(pos, end - pos));
        pos = end + 1;
    }
}

QList<QByteArray> fields(QByteArrayView line) {
    return line.toByteArray().simplified().split(' ');
}

// /proc/net/route writes addresses as the host's 32-bit word in hex: little-endian bytes.
std::optional<QString> ipv4FromRouteHex(const QByteArray& hex) {
    bool ok = false;
    const uint32_t word = hex.toUInt(&ok, 16);
    if (!ok || hex.size() != 8 || word == 0)
        return std::nullopt;
    return QStringLiteral("%1.%2.%3.%4")
        .arg(word & 0xff)
        .arg((word >> 8) & 0xff)
        .arg((word >> 16) & 0xff)
        .arg((word >> 24) & 0xff);
}

std::optional<QString> ipv6FromRouteHex(const QByteArray& hex) {
    if (hex.size() != 32 || hex == QByteArray(32, '0'))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (bytes.size() != 16)
        return std::nullopt;
    Q_IPV6ADDR address;
    std::copy(bytes.begin(), bytes.end(), address.c);
    return QHostAddress(address).toString();
}

const LinuxConnectionDetailsProvider::DefaultRoute*
lowestMetric(const std::vector<LinuxConnectionDetailsProvider::DefaultRoute>& routes,
             const QString& interfaceName = {}) {
    const LinuxConnectionDetailsProvider::DefaultRoute* best = nullptr;
    for (const auto& route : routes) {
        if (!interfaceName.isEmpty() && route.interfaceName != interfaceName)
            continue;
        if (!best || route.metric < best->metric)
            best = &route;
    }
    return best;
}

} // namespace

LinuxConnectionDetailsProvider::LinuxConnectionDetailsProvider(Roots roots, AddressLister addresses,
                                                               std::unique_ptr<DnsServerReading> dnsServers)
    : m_roots(std::move(roots)),
      m_addresses(addresses ? std::move(addresses) : AddressLister(&systemAddresses)),
      m_dnsServers(std::move(dnsServers)) {}

std::vector<LinuxConnectionDetailsProvider::DefaultRoute>
LinuxConnectionDetailsProvider::defaultRoutesV4(QByteArrayView routeText) {
    std::vector<DefaultRoute> routes;
    bool header = true;
    forEachLine(routeText, [&](QByteArrayView line) {
        if (header) {
            header = false;
            return;
        }
        // Iface Destination Gateway Flags RefCnt Use Metric Mask …
        const auto f = fields(line);
        if (f.size() < 8 || f[1] != "00000000" || f[7] != "00000000")
            return;
        bool ok = false;
        const unsigned flags = f[3].toUInt(&ok, 16);
        if (!ok || !(flags & kRouteFlagUp) || (flags & kRouteFlagReject))
            return;
        bool metricOk = false;
        const uint32_t metric = f[6].toUInt(&metricOk, 10);
        routes.push_back({QString::fromLatin1(f[0]), ipv4FromRouteHex(f[2]), metricOk ? metric : UINT32_MAX});
    });
    return routes;
}

std::vector<LinuxConnectionDetailsProvider::DefaultRoute>
LinuxConnectionDetailsProvider::defaultRoutesV6(QByteArrayView routeText) {
    std::vector<DefaultRoute> routes;
    forEachLine(routeText, [&](QByteArrayView line) {
        // dest plen src splen nexthop metric refcnt use flags iface
        const auto f = fields(line);
        if (f.size() < 10 || f[0] != QByteArray(32, '0') || f[1] != "00" || f[9] == "lo")
            return;
        bool ok = false;
        const unsigned flags = f[8].toUInt(&ok, 16);
        if (!ok || !(flags & kRouteFlagUp) || (flags & kRouteFlagReject))
            return;
        bool metricOk = false;
        const uint32_t metric = f[5].toUInt(&metricOk, 16);
        routes.push_back({QString::fromLatin1(f[9]), ipv6FromRouteHex(f[4]), metricOk ? metric : UINT32_MAX});
    });
    return routes;
}

std::vector<QString> LinuxConnectionDetailsProvider::nameservers(QByteArrayView resolvConf) {
    std::vector<QString> servers;
    forEachLine(resolvConf, [&](QByteArrayView line) {
        const auto f = fields(line);
        if (f.size() >= 2 && f[0] == "nameserver") {
            // A scoped link-local server is written "fe80::1%eth0"; the address alone is what we show.
            const QString text = QString::fromLatin1(f[1]);
            if (!QHostAddress(text.section(u'%', 0, 0)).isNull())
                servers.push_back(text);
        }
    });
    return servers;
}

std::vector<LinuxConnectionDetailsProvider::InterfaceAddress>
LinuxConnectionDetailsProvider::systemAddresses() {
    std::vector<InterfaceAddress> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !entry->ifa_name)
            continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        char host[1025] = {};
        const socklen_t length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (::getnameinfo(entry->ifa_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        out.push_back({QString::fromLocal8Bit(entry->ifa_name), family, QString::fromLatin1(host)});
    }
    ::freeifaddrs(list);
    return out;
}

NetworkConnectionDetails LinuxConnectionDetailsProvider::build(const Inputs& inputs,
                                                               const std::set<QString>& interfaceNames) {
    NetworkConnectionDetails details;
    const DefaultRoute* v4 = lowestMetric(inputs.routesV4);
    const DefaultRoute* v6 = lowestMetric(inputs.routesV6);
    if (v4)
        details.primaryInterfaceName = v4->interfaceName;
    else if (v6)
        details.primaryInterfaceName = v6->interfaceName;
    else if (!interfaceNames.empty())
        details.primaryInterfaceName = *interfaceNames.begin();

    if (details.primaryInterfaceName) {
        const QString& primary = *details.primaryInterfaceName;
        std::optional<QString> linkLocal;
        for (const auto& address : inputs.addresses) {
            if (address.interfaceName != primary)
                continue;
            if (address.family == AF_INET && !details.localIPv4Address) {
                details.localIPv4Address = address.address;
            } else if (address.family == AF_INET6 && !details.localIPv6Address) {
                if (address.address.startsWith(QStringLiteral("fe80:"), Qt::CaseInsensitive)) {
                    if (!linkLocal)
                        linkLocal = address.address;
                } else {
                    details.localIPv6Address = address.address;
                }
            }
        }
        if (!details.localIPv6Address)
            details.localIPv6Address = linkLocal;
        // The primary interface's own routers when it has them, else the best ones of the machine.
        const DefaultRoute* router6 = lowestMetric(inputs.routesV6, primary);
        if (!router6)
            router6 = v6;
        if (v4)
            details.routerIPv4Address = v4->gateway;
        if (router6)
            details.routerIPv6Address = router6->gateway;
    }

    // The local resolver stub is reported only when it is all there is anywhere.
    bool sawStub = false;
    for (const auto& candidate : inputs.dnsCandidates) {
        std::vector<QString> servers;
        for (const QString& server : candidate) {
            if (server == kResolvedStub)
                sawStub = true;
            else if (std::find(servers.begin(), servers.end(), server) == servers.end())
                servers.push_back(server);
        }
        if (!servers.empty()) {
            details.dnsServerAddresses = servers;
            break;
        }
    }
    if (details.dnsServerAddresses.empty() && sawStub)
        details.dnsServerAddresses = {kResolvedStub};
    return details;
}

NetworkConnectionDetails LinuxConnectionDetailsProvider::read(const std::set<QString>& interfaceNames) {
    Inputs inputs;
    if (const auto text = sysfs::readFile(m_roots.proc + QStringLiteral("/net/route"), 1024 * 1024))
        inputs.routesV4 = defaultRoutesV4(*text);
    if (const auto text = sysfs::readFile(m_roots.proc + QStringLiteral("/net/ipv6_route"), 1024 * 1024))
        inputs.routesV6 = defaultRoutesV6(*text);
    inputs.addresses = m_addresses();
    if (m_dnsServers) {
        if (const auto servers = m_dnsServers->networkManagerServers())
            inputs.dnsCandidates.push_back(*servers);
        if (const auto servers = m_dnsServers->resolvedServers())
            inputs.dnsCandidates.push_back(*servers);
    }
    for (const QString& path : {m_roots.run + QStringLiteral("/systemd/resolve/resolv.conf"),
                                m_roots.etc + QStringLiteral("/resolv.conf")})
        if (const auto text = sysfs::readFile(path))
            inputs.dnsCandidates.push_back(nameservers(*text));
    return build(inputs, interfaceNames);
}

} // namespace kestrum
