#include "LinuxThermalStatsProvider.h"
#include "TestSupport.h"

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
        {85000, laptop, ThermalLevel::fair},      // within 10 °C of the passive trip
        {95000, laptop, ThermalLevel::serious},   // at the passive trip
        {100000, laptop, ThermalLevel::critical}, // within 5 °C of the critical trip
        {70000, {{QStringLiteral("hot"), 70000}}, ThermalLevel::critical},
        {50000, {{QStringLiteral("active"), 40000}}, std::nullopt},    // fan trips alone are no signal
        {50000, {{QStringLiteral("passive"), -273200}}, std::nullopt}, // firmware placeholder
        {50000, {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LinuxThermalStatsProvider::judgeZone(c.temp, c.trips), c.level) << c.temp;
}

TEST(LinuxThermalStatsProvider, RecordedMachines) {
    struct Case {
        const char* machine;
        ThermalLevel level;
    } cases[] = {
        {"intel-laptop", ThermalLevel::nominal},
        {"amd-desktop", ThermalLevel::nominal}, // hwmon temp2 is below its own crit... see below
        {"vm", ThermalLevel::unavailable},
        {"apple-silicon", ThermalLevel::unavailable},
    };
    for (const auto& c : cases) {
        LinuxThermalStatsProvider provider(fixture(QLatin1String(c.machine)) + QStringLiteral("/sys"));
        const ThermalLevel level = provider.sample();
        if (QLatin1String(c.machine) == u"amd-desktop")
            EXPECT_EQ(level, ThermalLevel::nominal) << "101 °C under a 110 °C crit limit is not critical";
        else
            EXPECT_EQ(level, c.level) << c.machine;
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
        {"package near passive", QStringLiteral("/class/thermal/thermal_zone1/temp"), "92000\n",
         ThermalLevel::fair},
        {"crit alarm", QStringLiteral("/class/hwmon/hwmon3/temp1_crit_alarm"), "1\n", ThermalLevel::critical},
    };
    for (const auto& step : steps) {
        test::writeFile(sys + step.file, step.value);
        EXPECT_EQ(provider.sample(), step.level) << step.name;
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
