#include "LinuxThermalStatsProvider.h"
#include "RecordedTrees.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;
using Trip = LinuxThermalStatsProvider::TripPoint;

TEST(LinuxThermalStatsProvider, JudgesAZoneAgainstItsTrips) {
    const std::vector<Trip> laptop = {{QStringLiteral("passive"), 95000},
                                      {QStringLiteral("critical"), 105000}};
    struct Case {
        int64_t temp;
        std::vector<Trip> trips;
        std::optional<ThermalLevel> level;
    } cases[] = {
        {60000, laptop, ThermalLevel::nominal},
        {84999, laptop, ThermalLevel::nominal},
        {85000, laptop, ThermalLevel::fair},      // within 10 °C of the passive trip
        {95000, laptop, ThermalLevel::serious},   // at the passive trip
        {100000, laptop, ThermalLevel::critical}, // within 5 °C of the critical trip
        {70000, {{QStringLiteral("hot"), 70000}}, ThermalLevel::critical},
        {61000, {{QStringLiteral("hot"), 70000}}, ThermalLevel::fair},
        {50000, {{QStringLiteral("active"), 40000}}, std::nullopt},    // fan trips alone are no signal
        {50000, {{QStringLiteral("passive"), -273200}}, std::nullopt}, // ACPI's 0 dK placeholder
        {50000, {{QStringLiteral("passive"), -274000}}, std::nullopt}, // unset trip on recent kernels
        {50000, std::vector<Trip>(8, {QStringLiteral("passive"), -32768000}), std::nullopt}, // iwlwifi, 6.1
        {50000, {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinuxThermalStatsProvider::judgeZone(c.temp, c.trips), c.level) << c.temp;
}

TEST(LinuxThermalStatsProvider, EveryRecordedMachine) {
    struct Case {
        const char* machine;
        ThermalLevel level;
    } cases[] = {
        {"intel-laptop", ThermalLevel::nominal},
        {"thinkpad-t480", ThermalLevel::nominal},
        // Its fan turns at state 1 of 2: that is normal.
        {"dell-latitude", ThermalLevel::nominal},
        {"intel-mac", ThermalLevel::nominal},
        // The GPU junction at 101 °C is under its own 110 °C limit.
        {"amd-desktop", ThermalLevel::nominal},
        // Two ACPI processors with max_state 0 are no signal at all.
        {"vm", ThermalLevel::unavailable},
        {"apple-silicon", ThermalLevel::unavailable},
        {"apple-silicon-mbp", ThermalLevel::unavailable},
    };
    for (const auto& c : cases) {
        LinuxThermalStatsProvider provider(fixture(QLatin1String(c.machine)) + QStringLiteral("/sys"));
        EXPECT_EQ(provider.sample(), c.level) << c.machine;
    }
}

TEST(LinuxThermalStatsProvider, SignalsRaiseTheLevel) {
    auto tree = test::copyFixture(QStringLiteral("intel-laptop"));
    const QString sys = tree->path() + QStringLiteral("/sys");
    LinuxThermalStatsProvider provider(sys);
    EXPECT_EQ(provider.sample(), ThermalLevel::nominal);

    struct Step {
        const char* name;
        QString file;
        QByteArray value;
        ThermalLevel level;
    } steps[] = {
        {"a throttle counter rose",
         QStringLiteral("/devices/system/cpu/cpu3/thermal_throttle/core_throttle_count"), "9\n",
         ThermalLevel::serious},
        {"counter unchanged since",
         QStringLiteral("/devices/system/cpu/cpu3/thermal_throttle/core_throttle_count"), "9\n",
         ThermalLevel::nominal},
        {"passive cooling engaged", QStringLiteral("/class/thermal/cooling_device0/cur_state"), "3\n",
         ThermalLevel::serious},
        {"released again", QStringLiteral("/class/thermal/cooling_device0/cur_state"), "0\n",
         ThermalLevel::nominal},
        {"powerclamp injecting idle", QStringLiteral("/class/thermal/cooling_device8/cur_state"), "20\n",
         ThermalLevel::serious},
        {"powerclamp idle again (kernels before 6.3 say -1)",
         QStringLiteral("/class/thermal/cooling_device8/cur_state"), "-1\n", ThermalLevel::nominal},
        {"a TCC offset is configuration, not an event",
         QStringLiteral("/class/thermal/cooling_device9/cur_state"), "10\n", ThermalLevel::nominal},
        {"ACPI zone within 5 °C of its critical trip", QStringLiteral("/class/thermal/thermal_zone0/temp"),
         "123000\n", ThermalLevel::critical},
        {"cooled down", QStringLiteral("/class/thermal/thermal_zone0/temp"), "48000\n",
         ThermalLevel::nominal},
        {"coretemp core at its crit limit", QStringLiteral("/class/hwmon/hwmon3/temp4_input"), "100000\n",
         ThermalLevel::critical},
        {"below it again", QStringLiteral("/class/hwmon/hwmon3/temp4_input"), "61000\n",
         ThermalLevel::nominal},
        {"crit alarm", QStringLiteral("/class/hwmon/hwmon3/temp1_crit_alarm"), "1\n", ThermalLevel::critical},
    };
    for (const auto& step : steps) {
        test::writeFile(sys + step.file, step.value);
        EXPECT_EQ(provider.sample(), step.level) << step.name;
    }
}

// Fans turn at idle on many machines: only a fan driven to its last state counts, and a device without
// states to offer is no signal.
TEST(LinuxThermalStatsProvider, CoolingDevicesByKindAndState) {
    struct Case {
        const char* name;
        const char* machine;
        const char* device;
        const char* type;
        QByteArray maxState, curState;
        ThermalLevel level;
    } cases[] = {
        {"dell-smm fan at state 1 of 2", "dell-latitude", "cooling_device10", "dell-smm-fan1", "2\n", "1\n",
         ThermalLevel::nominal},
        {"dell-smm fan at its last state", "dell-latitude", "cooling_device10", "dell-smm-fan1", "2\n", "2\n",
         ThermalLevel::fair},
        {"ACPI fan at 2 of 4", "intel-mac", "cooling_device4", "Fan", "4\n", "2\n", ThermalLevel::nominal},
        {"ACPI fan at full speed", "intel-mac", "cooling_device4", "Fan", "4\n", "4\n", ThermalLevel::fair},
        // An on/off fan that is on says nothing about how hard the machine works.
        {"ACPI on/off fan running", "intel-mac", "cooling_device4", "Fan", "1\n", "1\n",
         ThermalLevel::nominal},
        {"VM processor with no states, nothing else", "vm", "cooling_device0", "Processor", "0\n", "0\n",
         ThermalLevel::unavailable},
        {"processor that can be throttled", "vm", "cooling_device0", "Processor", "3\n", "0\n",
         ThermalLevel::nominal},
        {"processor throttled", "vm", "cooling_device0", "Processor", "3\n", "1\n", ThermalLevel::serious},
        {"unreadable max_state", "vm", "cooling_device0", "Processor", QByteArray(), "1\n",
         ThermalLevel::unavailable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tree =
            test::copyParts(QLatin1String(c.machine), {QStringLiteral("sys/class/thermal"),
                                                       QStringLiteral("sys/devices/virtual/thermal")});
        const QString device =
            tree->path() + QStringLiteral("/sys/class/thermal/") + QLatin1String(c.device) + u'/';
        test::writeFile(device + QStringLiteral("type"), QByteArray(c.type) + '\n');
        if (c.maxState.isEmpty())
            QFile::remove(device + QStringLiteral("max_state"));
        else
            test::writeFile(device + QStringLiteral("max_state"), c.maxState);
        test::writeFile(device + QStringLiteral("cur_state"), c.curState);
        LinuxThermalStatsProvider provider(tree->path() + QStringLiteral("/sys"));
        EXPECT_EQ(provider.sample(), c.level);
    }
}

TEST(LinuxThermalStatsProvider, HwmonAtItsCritLimitAndPowerProfilesDegradation) {
    auto tree = test::copyFixture(QStringLiteral("amd-desktop"));
    const QString sys = tree->path() + QStringLiteral("/sys");
    std::optional<QString> degraded = QString();
    LinuxThermalStatsProvider provider(sys, [&] { return degraded; });
    EXPECT_EQ(provider.sample(), ThermalLevel::nominal);
    degraded = QStringLiteral("high-operating-temperature");
    EXPECT_EQ(provider.sample(), ThermalLevel::serious);
    test::writeFile(sys + QStringLiteral("/class/hwmon/hwmon4/temp2_input"), "110000\n");
    EXPECT_EQ(provider.sample(), ThermalLevel::critical);

    // A machine whose only signal is power-profiles-daemon is still judged.
    LinuxThermalStatsProvider onlyDaemon(fixture(QStringLiteral("vm")) + QStringLiteral("/sys"),
                                         [] { return QString(); });
    EXPECT_EQ(onlyDaemon.sample(), ThermalLevel::nominal);
}
