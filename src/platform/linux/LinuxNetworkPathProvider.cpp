#include "LinuxNetworkPathProvider.h"

#include "SysfsFiles.h"
#include "foundation/Logging.h"

#include <QFile>
#include <cerrno>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrum {

namespace {

constexpr int kResyncEveryMs = 30'000;
constexpr int kQuietPeriodMs = 250;
constexpr unsigned kRouteFlagUp = 0x0001;
constexpr unsigned kRouteFlagReject = 0x0200;
constexpr int64_t kIffUp = 0x1;
constexpr int64_t kIffLoopback = 0x8;

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

} // namespace

std::set<QString> LinuxNetworkPathProvider::defaultRouteInterfacesV4(QByteArrayView routeText) {
    std::set<QString> names;
    bool header = true;
    forEachLine(routeText, [&](QByteArrayView line) {
        if (header) {
            header = false;
            return;
        }
        const auto f = fields(line);
        // Iface Destination Gateway Flags RefCnt Use Metric Mask …
        if (f.size() < 8)
            return;
        bool ok = false;
        const unsigned flags = f[3].toUInt(&ok, 16);
        if (!ok || !(flags & kRouteFlagUp) || (flags & kRouteFlagReject))
            return;
        if (f[1] == "00000000" && f[7] == "00000000")
            names.insert(QString::fromLatin1(f[0]));
    });
    return names;
}

std::set<QString> LinuxNetworkPathProvider::defaultRouteInterfacesV6(QByteArrayView routeText) {
    std::set<QString> names;
    forEachLine(routeText, [&](QByteArrayView line) {
        const auto f = fields(line);
        // dest plen src splen nexthop metric refcnt use flags iface
        if (f.size() < 10)
            return;
        if (f[0] != QByteArray(32, '0') || f[1] != "00")
            return;
        bool ok = false;
        const unsigned flags = f[8].toUInt(&ok, 16);
        if (!ok || !(flags & kRouteFlagUp) || (flags & kRouteFlagReject) || f[9] == "lo")
            return;
        names.insert(QString::fromLatin1(f[9]));
    });
    return names;
}

int LinuxNetworkPathProvider::nameserverCount(QByteArrayView resolvConf) {
    int count = 0;
    forEachLine(resolvConf, [&](QByteArrayView line) {
        const auto f = fields(line);
        if (f.size() >= 2 && f[0] == "nameserver")
            ++count;
    });
    return count;
}

std::map<QString, LinuxNetworkPathProvider::AddressFamilies> LinuxNetworkPathProvider::systemAddresses() {
    std::map<QString, AddressFamilies> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return out;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !entry->ifa_name)
            continue;
        auto& families = out[QString::fromLocal8Bit(entry->ifa_name)];
        if (entry->ifa_addr->sa_family == AF_INET) {
            families.ipv4 = true;
        } else if (entry->ifa_addr->sa_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr);
            if (!IN6_IS_ADDR_LINKLOCAL(&address->sin6_addr) && !IN6_IS_ADDR_LOOPBACK(&address->sin6_addr))
                families.globalIPv6 = true;
        }
    }
    ::freeifaddrs(list);
    return out;
}

NetworkPathInputs LinuxNetworkPathProvider::gather(const Roots& roots, const AddressLister& addresses) {
    NetworkPathInputs inputs;
    const QString net = roots.sys + QStringLiteral("/class/net");
    const auto families = addresses ? addresses() : std::map<QString, AddressFamilies>{};
    for (const QString& name : sysfs::listDirectory(net)) {
        const QString base = net + u'/' + name;
        NetworkPathInputs::Interface interface;
        const int64_t flags = sysfs::readHexOrDecimal(base + QStringLiteral("/flags")).value_or(0);
        const QString operstate = sysfs::readText(base + QStringLiteral("/operstate")).value_or(QString());
        interface.isLoopback = flags & kIffLoopback;
        interface.isUp = (flags & kIffUp) && (operstate == u"up" || operstate == u"unknown");
        const QString uevent = sysfs::readText(base + QStringLiteral("/uevent")).value_or(QString());
        interface.isWiFi = uevent.contains(QStringLiteral("DEVTYPE=wlan")) ||
                           sysfs::exists(base + QStringLiteral("/phy80211"));
        interface.isEthernet = !interface.isWiFi && sysfs::readInteger(base + QStringLiteral("/type")) == 1 &&
                               sysfs::exists(base + QStringLiteral("/device"));
        if (const auto it = families.find(name); it != families.end()) {
            interface.hasIPv4Address = it->second.ipv4;
            interface.hasGlobalIPv6Address = it->second.globalIPv6;
        }
        inputs.interfaces.emplace(name, interface);
    }
    if (const auto routes = sysfs::readFile(roots.proc + QStringLiteral("/net/route"), 1024 * 1024))
        inputs.ipv4DefaultRouteInterfaces = defaultRouteInterfacesV4(*routes);
    if (const auto routes = sysfs::readFile(roots.proc + QStringLiteral("/net/ipv6_route"), 1024 * 1024))
        inputs.ipv6DefaultRouteInterfaces = defaultRouteInterfacesV6(*routes);
    // systemd-resolved's upstream list first (the stub file names only 127.0.0.53), then the usual file.
    for (const QString& path : {roots.run + QStringLiteral("/systemd/resolve/resolv.conf"),
                                roots.etc + QStringLiteral("/resolv.conf")}) {
        if (const auto text = sysfs::readFile(path)) {
            inputs.dnsServerCount = nameserverCount(*text);
            if (inputs.dnsServerCount > 0)
                break;
        }
    }
    return inputs;
}

NetworkPathSnapshot LinuxNetworkPathProvider::build(const NetworkPathInputs& inputs) {
    const auto usable = [&](const QString& name) {
        const auto it = inputs.interfaces.find(name);
        return it != inputs.interfaces.end() && it->second.isUp && !it->second.isLoopback;
    };
    std::set<QString> v4;
    std::set<QString> v6;
    for (const QString& name : inputs.ipv4DefaultRouteInterfaces)
        if (usable(name))
            v4.insert(name);
    for (const QString& name : inputs.ipv6DefaultRouteInterfaces)
        if (usable(name))
            v6.insert(name);
    std::set<QString> names;
    names.insert(v4.begin(), v4.end());
    names.insert(v6.begin(), v6.end());

    // Local connectivity only: a Wi-Fi or Ethernet link that is up and addressed but has no default route
    // (a network without a gateway, a direct cable). That is connected, without internet.
    std::set<QString> local;
    for (const auto& [name, interface] : inputs.interfaces) {
        if (interface.isUp && !interface.isLoopback && (interface.isWiFi || interface.isEthernet) &&
            (interface.hasIPv4Address || interface.hasGlobalIPv6Address))
            local.insert(name);
    }

    NetworkPathSnapshot path;
    path.availability = MetricAvailability::available();
    bool localOnly = names.empty();
    std::optional<NetworkInterfaceKind> kindFromManager;
    if (inputs.networkManager) {
        const NetworkManagerState& nm = *inputs.networkManager;
        if (nm.state < 50)
            return NetworkPathSnapshot::disconnected();
        localOnly = nm.state < 60;
        std::set<QString> managed;
        bool wifi = false;
        bool ethernet = false;
        for (const auto& device : nm.primaryDevices) {
            if (!device.ipInterface.isEmpty())
                managed.insert(device.ipInterface);
            wifi = wifi || device.type == 2;
            ethernet = ethernet || device.type == 1;
        }
        if (!managed.empty())
            names = managed;
        else if (localOnly)
            names = local;
        if (!nm.primaryDevices.empty())
            kindFromManager = wifi       ? NetworkInterfaceKind::wifi
                              : ethernet ? NetworkInterfaceKind::ethernet
                                         : NetworkInterfaceKind::other;
        path.isExpensive = nm.metered == 1 || nm.metered == 3;
    } else if (localOnly) {
        names = local;
    }
    if (names.empty())
        return NetworkPathSnapshot::disconnected();

    path.isConnected = true;
    path.interfaceNames = names;
    if (kindFromManager) {
        path.interfaceKind = *kindFromManager;
    } else {
        bool wifi = false;
        bool ethernet = false;
        for (const QString& name : names) {
            const auto it = inputs.interfaces.find(name);
            if (it == inputs.interfaces.end())
                continue;
            wifi = wifi || it->second.isWiFi;
            ethernet = ethernet || it->second.isEthernet;
        }
        path.interfaceKind = wifi       ? NetworkInterfaceKind::wifi
                             : ethernet ? NetworkInterfaceKind::ethernet
                                        : NetworkInterfaceKind::other;
    }
    // Without a default route neither family reaches beyond the local network.
    for (const QString& name : names) {
        const auto it = inputs.interfaces.find(name);
        if (localOnly || it == inputs.interfaces.end())
            continue;
        path.supportsIPv4 = path.supportsIPv4 || (v4.count(name) && it->second.hasIPv4Address);
        path.supportsIPv6 = path.supportsIPv6 || (v6.count(name) && it->second.hasGlobalIPv6Address);
    }
    path.supportsDNS = inputs.dnsServerCount > 0;
    path.isConstrained = false; // no Linux meaning
    return path;
}

LinuxNetworkPathProvider::LinuxNetworkPathProvider(Roots roots,
                                                   std::unique_ptr<NetworkManagerReading> networkManager,
                                                   AddressLister addresses, bool watch)
    : m_roots(std::move(roots)), m_networkManager(std::move(networkManager)),
      m_addresses(addresses ? std::move(addresses) : AddressLister(&systemAddresses)),
      m_latest(NetworkPathSnapshot::unavailable()) {
    if (watch) {
        m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        m_thread = std::jthread([this](std::stop_token stop) { watchLoop(stop); });
    }
}

LinuxNetworkPathProvider::~LinuxNetworkPathProvider() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        wake();
        m_thread.join();
    }
    // The client's change announcements write to the wake-up descriptor: end them before closing it.
    m_networkManager.reset();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void LinuxNetworkPathProvider::wake() {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
    }
}

NetworkPathSnapshot LinuxNetworkPathProvider::latestSnapshot() const {
    std::lock_guard lock(m_mutex);
    return m_latest;
}

void LinuxNetworkPathProvider::refresh() {
    std::lock_guard refreshLock(m_refreshMutex);
    NetworkPathInputs inputs = gather(m_roots, m_addresses);
    if (m_networkManager)
        inputs.networkManager = m_networkManager->read();
    NetworkPathSnapshot snapshot = build(inputs);
    {
        std::lock_guard lock(m_mutex);
        m_latest = std::move(snapshot);
        m_hasUpdate = true;
    }
    m_updated.notify_all();
}

bool LinuxNetworkPathProvider::waitForFirstUpdate(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_updated.wait_for(lock, timeout, [this] { return m_hasUpdate; });
}

void LinuxNetworkPathProvider::watchLoop(std::stop_token stop) {
    int socketFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (socketFd >= 0) {
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups =
            RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
        if (::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(socketFd);
            socketFd = -1;
        }
    }
    if (socketFd < 0)
        qCInfo(lcPlatform) << "rtnetlink unavailable; re-reading the network path periodically";
    // NetworkManager's own announcements (state, metered flag) wake the loop like a link change does.
    if (m_networkManager)
        m_networkManager->watch([this] { wake(); });
    refresh();
    char buffer[16384];
    bool pending = false;
    while (!stop.stop_requested()) {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {socketFd, POLLIN, 0}};
        const int timeout = pending ? kQuietPeriodMs : (socketFd >= 0 ? kResyncEveryMs : 5000);
        const int ready = ::poll(fds, socketFd >= 0 ? 2 : 1, timeout);
        if (stop.stop_requested())
            break;
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0) {
            // Quiet after a burst of changes, or the periodic resync.
            pending = false;
            refresh();
            continue;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t value = 0;
            [[maybe_unused]] const auto n = ::read(m_wakeFd, &value, sizeof value);
            pending = true; // not a stop: a change was announced
        }
        if (socketFd >= 0 && (fds[1].revents & POLLIN)) {
            // Drain; ENOBUFS means messages were lost, which a full re-read covers anyway.
            for (;;) {
                errno = 0;
                const ssize_t n = ::recv(socketFd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0 || (n < 0 && (errno == ENOBUFS || errno == EINTR)))
                    continue;
                break;
            }
            pending = true;
        }
    }
    if (socketFd >= 0)
        ::close(socketFd);
}

} // namespace kestrum
