#include "LinuxNetworkPathProvider.h"
#include "SysfsNetworkByteCounterReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;
using Families = LinuxNetworkPathProvider::AddressFamilies;

namespace {

LinuxNetworkPathProvider::Roots rootsOf(const QString& machine) {
    const QString root = fixture(machine);
    return {root + QStringLiteral("/proc"), root + QStringLiteral("/sys"), root + QStringLiteral("/run"),
            root + QStringLiteral("/etc")};
}

NetworkPathSnapshot pathOf(const QString& machine, std::map<QString, Families> addresses,
                           std::optional<NetworkManagerState> nm = std::nullopt) {
    NetworkPathInputs inputs = LinuxNetworkPathProvider::gather(rootsOf(machine), [&] { return addresses; });
    inputs.networkManager = nm;
    return LinuxNetworkPathProvider::build(inputs);
}

} // namespace

TEST(LinuxNetworkPathProvider, RecordedMachinesWithoutNetworkManager) {
    struct Case {
        const char* machine;
        const char* interface; // the one with the default route, given both address families
        NetworkInterfaceKind kind;
        bool ipv6; // a default IPv6 route exists as well
    } cases[] = {
        {"intel-laptop", "wlp0s20f3", NetworkInterfaceKind::wifi, false},
        {"thinkpad-t480", "enp0s31f6", NetworkInterfaceKind::ethernet, false},
        {"dell-latitude", "wlp2s0", NetworkInterfaceKind::wifi, true},
        {"intel-mac", "wlp3s0", NetworkInterfaceKind::wifi, false},
        {"amd-desktop", "enp5s0", NetworkInterfaceKind::ethernet, true},
        {"vm", "eth0", NetworkInterfaceKind::ethernet, true},
        {"apple-silicon", "wlan0", NetworkInterfaceKind::wifi, false},
        {"apple-silicon-mbp", "wlan0", NetworkInterfaceKind::wifi, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        const QString name = QLatin1String(c.interface);
        const NetworkPathSnapshot path = pathOf(QLatin1String(c.machine), {{name, {true, true}}});
        EXPECT_TRUE(path.availability.isAvailable());
        EXPECT_TRUE(path.isConnected);
        EXPECT_EQ(path.interfaceKind, c.kind);
        EXPECT_EQ(path.interfaceNames, std::set<QString>{name});
        EXPECT_TRUE(path.supportsIPv4);
        EXPECT_EQ(path.supportsIPv6, c.ipv6);
        EXPECT_TRUE(path.supportsDNS);
        EXPECT_FALSE(path.isExpensive);
    }
}

// NetworkManager's "local connectivity only" (state 50) and a link without a default route read the same:
// connected, without internet.
TEST(LinuxNetworkPathProvider, LocalConnectivityOnlyReadsTheSameWithAndWithoutNetworkManager) {
    auto tree = test::copyFixture(QStringLiteral("intel-laptop"));
    test::writeFile(tree->path() + QStringLiteral("/proc/net/route"),
                    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                    "wlp0s20f3\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n");
    test::writeFile(tree->path() + QStringLiteral("/sys/class/net/docker0/flags"), "0x1003\n");
    test::writeFile(tree->path() + QStringLiteral("/sys/class/net/docker0/operstate"), "up\n");
    test::writeFile(tree->path() + QStringLiteral("/sys/class/net/docker0/type"), "1\n");
    test::writeFile(tree->path() + QStringLiteral("/sys/class/net/docker0/uevent"), "DEVTYPE=bridge\n");
    const LinuxNetworkPathProvider::Roots roots{
        tree->path() + QStringLiteral("/proc"), tree->path() + QStringLiteral("/sys"),
        tree->path() + QStringLiteral("/run"), tree->path() + QStringLiteral("/etc")};
    const auto path = [&](std::map<QString, Families> addresses, std::optional<NetworkManagerState> nm) {
        NetworkPathInputs inputs = LinuxNetworkPathProvider::gather(roots, [&] { return addresses; });
        inputs.networkManager = nm;
        return LinuxNetworkPathProvider::build(inputs);
    };
    const auto state = [](unsigned value, std::vector<NetworkManagerState::Device> devices) {
        NetworkManagerState nm;
        nm.state = value;
        nm.primaryDevices = std::move(devices);
        return nm;
    };
    const QString wifi = QStringLiteral("wlp0s20f3");
    const QString bridge = QStringLiteral("docker0");

    NetworkPathSnapshot local;
    local.isConnected = true;
    local.interfaceKind = NetworkInterfaceKind::wifi;
    local.interfaceNames = {wifi};
    local.supportsDNS = true;
    local.availability = MetricAvailability::available();

    struct Case {
        const char* name;
        std::map<QString, Families> addresses;
        std::optional<NetworkManagerState> nm;
        NetworkPathSnapshot expected;
    } cases[] = {
        {"addressed Wi-Fi without a gateway", {{wifi, {true, false}}}, std::nullopt, local},
        {"NetworkManager: local, with its device", {{wifi, {true, false}}}, state(50, {{2, wifi}}), local},
        {"NetworkManager: local, no primary connection", {{wifi, {true, false}}}, state(50, {}), local},
        {"a link with no address", {}, std::nullopt, NetworkPathSnapshot::disconnected()},
        {"a bridge is not a network link",
         {{bridge, {true, false}}},
         std::nullopt,
         NetworkPathSnapshot::disconnected()},
        {"NetworkManager: connecting",
         {{wifi, {true, false}}},
         state(40, {{2, wifi}}),
         NetworkPathSnapshot::disconnected()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(path(c.addresses, c.nm), c.expected) << c.name;

    // Site connectivity (a default route, the internet check failing) keeps the route's families.
    const NetworkPathSnapshot site =
        pathOf(QStringLiteral("intel-laptop"), {{wifi, {true, false}}}, state(60, {{2, wifi}}));
    EXPECT_TRUE(site.isConnected);
    EXPECT_TRUE(site.supportsIPv4);
}

TEST(LinuxNetworkPathProvider, RouteParsingSkipsLoopbackRejectAndNonDefaultRoutes) {
    const QByteArray v6 = test::readFile(fixture(QStringLiteral("vm/proc/net/ipv6_route")));
    EXPECT_EQ(LinuxNetworkPathProvider::defaultRouteInterfacesV6(v6),
              std::set<QString>{QStringLiteral("eth0")});
    const QByteArray v4 = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                          "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\n" // not up
                          "eth1\t00000000\t0101A8C0\t0201\t0\t0\t0\t00000000\n" // reject
                          "wg0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\n"; // point-to-point default
    EXPECT_EQ(LinuxNetworkPathProvider::defaultRouteInterfacesV4(v4),
              std::set<QString>{QStringLiteral("wg0")});
    EXPECT_EQ(LinuxNetworkPathProvider::nameserverCount("# c\nnameserver 1.1.1.1\nsearch x\nnameserver\n"),
              1);
}

TEST(LinuxNetworkPathProvider, DownInterfacesAndNetworkManagerDecide) {
    auto tree = test::copyFixture(QStringLiteral("vm"));
    test::writeFile(tree->path() + QStringLiteral("/sys/class/net/eth0/operstate"), "down\n");
    NetworkPathInputs inputs = LinuxNetworkPathProvider::gather(
        {tree->path() + QStringLiteral("/proc"), tree->path() + QStringLiteral("/sys"),
         tree->path() + QStringLiteral("/run"), tree->path() + QStringLiteral("/etc")},
        {});
    EXPECT_EQ(LinuxNetworkPathProvider::build(inputs), NetworkPathSnapshot::disconnected())
        << "a route over a down link";

    const std::map<QString, Families> addresses = {{QStringLiteral("wlp0s20f3"), {true, false}}};
    NetworkManagerState nm;
    nm.state = 20;
    EXPECT_EQ(pathOf(QStringLiteral("intel-laptop"), addresses, nm), NetworkPathSnapshot::disconnected());
    nm.state = 70;
    nm.metered = 3; // guess yes
    nm.primaryDevices = {{1, QStringLiteral("enx001122")}};
    const NetworkPathSnapshot tethered = pathOf(QStringLiteral("intel-laptop"), addresses, nm);
    EXPECT_TRUE(tethered.isConnected);
    EXPECT_TRUE(tethered.isExpensive);
    EXPECT_EQ(tethered.interfaceKind, NetworkInterfaceKind::ethernet);
    EXPECT_EQ(tethered.interfaceNames, std::set<QString>{QStringLiteral("enx001122")});
}

TEST(LinuxNetworkPathProvider, StartsUnavailableUntilTheFirstReading) {
    LinuxNetworkPathProvider provider(
        rootsOf(QStringLiteral("vm")), nullptr, [] { return std::map<QString, Families>{}; }, false);
    EXPECT_EQ(provider.latestSnapshot(), NetworkPathSnapshot::unavailable());
    EXPECT_FALSE(provider.waitForFirstUpdate(std::chrono::milliseconds(1)));
    provider.refresh();
    EXPECT_TRUE(provider.waitForFirstUpdate(std::chrono::milliseconds(1)));
    EXPECT_TRUE(provider.latestSnapshot().isConnected);
}

TEST(SysfsNetworkByteCounterReader, CountsOnlyUpNonLoopbackInterfaces) {
    SysfsNetworkByteCounterReader reader(fixture(QStringLiteral("intel-laptop")) + QStringLiteral("/sys"));
    EXPECT_EQ(reader.read({QStringLiteral("wlp0s20f3"), QStringLiteral("lo"), QStringLiteral("enp0s31f6")}),
              (NetworkByteCounter{9876543210ull, 1234567890ull}))
        << "64-bit counters, loopback and down links left out";
    EXPECT_FALSE(reader.read({QStringLiteral("lo")}));
    EXPECT_FALSE(reader.read({}));
    EXPECT_FALSE(reader.read({QStringLiteral("../../etc")}));
    EXPECT_FALSE(reader.read({QStringLiteral("nonexistent0")}));
}
