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
        std::map<QString, Families> addresses;
        NetworkInterfaceKind kind;
        std::set<QString> names;
        bool ipv4, ipv6;
    } cases[] = {
        {"intel-laptop",
         {{QStringLiteral("wlp0s20f3"), {true, true}}},
         NetworkInterfaceKind::wifi,
         {QStringLiteral("wlp0s20f3")},
         true,
         false},
        {"amd-desktop",
         {{QStringLiteral("enp5s0"), {true, true}}},
         NetworkInterfaceKind::ethernet,
         {QStringLiteral("enp5s0")},
         true,
         true},
        {"vm",
         {{QStringLiteral("eth0"), {true, false}}},
         NetworkInterfaceKind::ethernet,
         {QStringLiteral("eth0")},
         true,
         false},
        {"apple-silicon",
         {{QStringLiteral("wlan0"), {true, false}}},
         NetworkInterfaceKind::wifi,
         {QStringLiteral("wlan0")},
         true,
         false},
    };
    for (const auto& c : cases) {
        const NetworkPathSnapshot path = pathOf(QLatin1String(c.machine), c.addresses);
        EXPECT_TRUE(path.availability.isAvailable()) << c.machine;
        EXPECT_TRUE(path.isConnected) << c.machine;
        EXPECT_EQ(path.interfaceKind, c.kind) << c.machine;
        EXPECT_EQ(path.interfaceNames, c.names) << c.machine;
        EXPECT_EQ(path.supportsIPv4, c.ipv4) << c.machine;
        EXPECT_EQ(path.supportsIPv6, c.ipv6) << c.machine;
        EXPECT_TRUE(path.supportsDNS) << c.machine;
        EXPECT_FALSE(path.isExpensive) << c.machine;
    }
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
