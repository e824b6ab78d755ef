// The whole sampler as the composition root wires it, over each recorded machine: every reader gets
// its own part of the tree, and what a machine lacks is reported unavailable, never as zero.

#include "LinuxNetworkPathProvider.h"
#include "LinuxServices.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <string_view>

using namespace kestrum;

namespace {

SystemSnapshot settledSample(const QString& machine, const QString& addressedInterface) {
    LinuxServices::Roots roots =
        LinuxServices::Roots::recordedTree(QStringLiteral(KESTRUM_FIXTURES_DIR "/") + machine);
    roots.addresses = [addressedInterface] {
        return std::map<QString, std::pair<bool, bool>>{{addressedInterface, {true, false}}};
    };
    std::shared_ptr<LinuxNetworkPathProvider> path;
    auto sampler = LinuxServices::makeSampler(roots, &path);
    path->waitForFirstUpdate(std::chrono::seconds(2));
    sampler->sampleNow(); // the first sample takes the baselines of the usage figures
    return sampler->sampleNow();
}

struct Machine {
    const char* machine;
    const char* interface; // the one given an IPv4 address
    size_t cores;
    bool battery;
    ThermalLevel thermal;
    bool gpuNamed;
    NetworkInterfaceKind network;
};

const Machine kMachines[] = {
    {"intel-laptop", "wlp0s20f3", 8, true, ThermalLevel::nominal, true, NetworkInterfaceKind::wifi},
    {"thinkpad-t480", "enp0s31f6", 8, true, ThermalLevel::nominal, true, NetworkInterfaceKind::ethernet},
    {"dell-latitude", "wlp2s0", 8, true, ThermalLevel::nominal, true, NetworkInterfaceKind::wifi},
    {"intel-mac", "wlp3s0", 4, true, ThermalLevel::nominal, true, NetworkInterfaceKind::wifi},
    {"amd-desktop", "enp5s0", 16, false, ThermalLevel::nominal, true, NetworkInterfaceKind::ethernet},
    {"vm", "eth0", 2, false, ThermalLevel::unavailable, false, NetworkInterfaceKind::ethernet},
    {"apple-silicon", "wlan0", 8, true, ThermalLevel::unavailable, true, NetworkInterfaceKind::wifi},
    {"apple-silicon-mbp", "wlan0", 8, true, ThermalLevel::unavailable, true, NetworkInterfaceKind::wifi},
};

} // namespace

TEST(RecordedMachines, EveryTreeIsInTheTables) {
    // A recorded machine is a tree with its own /proc; other folders hold single readers' inputs.
    const QDir fixtures(QStringLiteral(KESTRUM_FIXTURES_DIR));
    QStringList trees;
    for (const QString& entry : fixtures.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo(fixtures.filePath(entry + QStringLiteral("/proc"))).isDir())
            trees << entry;
    }
    QStringList listed;
    for (const Machine& m : kMachines)
        listed << QString::fromLatin1(m.machine);
    listed.sort();
    EXPECT_EQ(listed, trees) << "a recorded machine without expectations is a machine no test reads";
}

TEST(RecordedMachines, EveryGroupComesFromItsOwnReader) {
    for (const Machine& c : kMachines) {
        SCOPED_TRACE(c.machine);
        const SystemSnapshot s =
            settledSample(QString::fromLatin1(c.machine), QString::fromLatin1(c.interface));
        // A recorded tree does not move: usage between two reads of it is honestly zero, but readable.
        EXPECT_TRUE(s.cpu.availability.isAvailable());
        EXPECT_EQ(s.cpu.perCoreUsage.size(), c.cores);
        EXPECT_TRUE(s.memory.availability.isAvailable());
        EXPECT_GT(s.memory.totalBytes, 0u);
        EXPECT_EQ(s.battery.isPresent, c.battery);
        EXPECT_EQ(s.battery.chargeFraction.has_value(), c.battery) << "no battery is no charge, not 0 %";
        EXPECT_EQ(s.thermal, c.thermal);
        EXPECT_EQ(s.gpu.name.has_value(), c.gpuNamed);
        EXPECT_EQ(s.network.interfaceKind, c.network);
        EXPECT_TRUE(s.network.isConnected);
        EXPECT_TRUE(s.network.supportsIPv4) << "the addresses reach the path provider";
        // Every recorded machine but the virtual one has a fan driver that a record verifies (the fanless
        // Apple-silicon Air reports an empty, readable list).
        EXPECT_EQ(s.fan.availability.isAvailable(), std::string_view(c.machine) != "vm");
    }
}
