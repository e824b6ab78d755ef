#include "SysfsPowerSupplyBatteryStatsProvider.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;

namespace {
BatteryStats sampleOf(const QString& root) {
    return SysfsPowerSupplyBatteryStatsProvider(root + QStringLiteral("/sys")).sample();
}
} // namespace

TEST(SysfsPowerSupplyBatteryStatsProvider, IntelLaptopDischarging) {
    const BatteryStats s = sampleOf(fixture(QStringLiteral("intel-laptop")));
    ASSERT_TRUE(s.availability.isAvailable());
    EXPECT_TRUE(s.isPresent);
    EXPECT_DOUBLE_EQ(*s.chargeFraction, 0.64);
    EXPECT_FALSE(s.isCharging);
    // No time_to_empty_now: estimated from energy ÷ power, as upower does (36.48 Wh ÷ 8.71 W).
    EXPECT_EQ(s.timeRemainingMinutes, int(36480000.0 / 8710000.0 * 60));
    // No health file: 57.00 ÷ 57.02 Wh of design is well above 80 %.
    EXPECT_EQ(s.healthCondition, QStringLiteral("Good"));
    EXPECT_DOUBLE_EQ(*s.voltageVolts, 11.875);
    // The driver reports a positive current while discharging: the sign comes from the status.
    EXPECT_DOUBLE_EQ(*s.amperageAmps, -0.733);
    EXPECT_FALSE(s.temperatureCelsius) << "no temp file";
    EXPECT_EQ(s.isConnectedToPowerAdapter, false);
}

TEST(SysfsPowerSupplyBatteryStatsProvider, AppleSiliconChargingWithZeroTimes) {
    const BatteryStats s = sampleOf(fixture(QStringLiteral("apple-silicon")));
    EXPECT_TRUE(s.isPresent);
    EXPECT_TRUE(s.isCharging);
    EXPECT_EQ(s.isConnectedToPowerAdapter, true);
    // time_to_full_now 0 means "unknown" there; the estimate uses charge (µAh) and current (µA):
    // (4.92 − 3.98) Ah ÷ 1.85 A.
    EXPECT_EQ(s.timeRemainingMinutes, int((4920000.0 - 3980000.0) / 1850000.0 * 60));
    // Full charge above design capacity reads as good health (charge_* preferred over computed energy_*).
    EXPECT_EQ(s.healthCondition, QStringLiteral("Good"));
    EXPECT_DOUBLE_EQ(*s.temperatureCelsius, 31.2);
    // A negative current_now while charging is made positive.
    EXPECT_DOUBLE_EQ(*s.amperageAmps, 1.85);
}

TEST(SysfsPowerSupplyBatteryStatsProvider, DesktopsAndMissingSupplies) {
    for (const char* machine : {"amd-desktop", "vm"}) {
        const BatteryStats s = sampleOf(fixture(QLatin1String(machine)));
        EXPECT_EQ(s, BatteryStats::notPresent(MetricAvailability::available()))
            << machine << ": a peripheral's battery is not the machine's";
    }
    const BatteryStats missing = sampleOf(QStringLiteral("/nonexistent"));
    EXPECT_FALSE(missing.isPresent);
    EXPECT_EQ(missing.availability,
              MetricAvailability::unavailable(QStringLiteral("Batarya bilgisi okunamadı.")));
}

TEST(SysfsPowerSupplyBatteryStatsProvider, HealthAndTimeTraps) {
    auto tree = test::copyFixture(QStringLiteral("intel-laptop"));
    const QString bat = tree->path() + QStringLiteral("/sys/class/power_supply/BAT0/");
    struct Step {
        const char* name;
        std::function<void()> change;
        std::function<void(const BatteryStats&)> check;
    } steps[] = {
        {"worn battery", [&] { test::writeFile(bat + QStringLiteral("energy_full"), "40000000\n"); },
         [](const BatteryStats& s) { EXPECT_EQ(s.healthCondition, QStringLiteral("Service Recommended")); }},
        {"a real verdict wins", [&] { test::writeFile(bat + QStringLiteral("health"), "Overheat\n"); },
         [](const BatteryStats& s) { EXPECT_EQ(s.healthCondition, QStringLiteral("Overheat")); }},
        {"Unknown is not a verdict", [&] { test::writeFile(bat + QStringLiteral("health"), "Unknown\n"); },
         [](const BatteryStats& s) { EXPECT_EQ(s.healthCondition, QStringLiteral("Service Recommended")); }},
        {"driver time wins over the estimate",
         [&] { test::writeFile(bat + QStringLiteral("time_to_empty_now"), "7200\n"); },
         [](const BatteryStats& s) { EXPECT_EQ(s.timeRemainingMinutes, 120); }},
        {"no power figure: still estimating",
         [&] {
             QFile::remove(bat + QStringLiteral("time_to_empty_now"));
             test::writeFile(bat + QStringLiteral("power_now"), "0\n");
         },
         [](const BatteryStats& s) { EXPECT_FALSE(s.timeRemainingMinutes); }},
        {"unreadable capacity falls back to energy",
         [&] {
             QFile::remove(bat + QStringLiteral("capacity"));
             QDir().mkpath(bat + QStringLiteral("capacity")); // a read that fails like EIO
         },
         [](const BatteryStats& s) { EXPECT_NEAR(*s.chargeFraction, 36480000.0 / 40000000.0, 1e-9); }},
        {"not present", [&] { test::writeFile(bat + QStringLiteral("present"), "0\n"); },
         [](const BatteryStats& s) {
             EXPECT_EQ(s, BatteryStats::notPresent(MetricAvailability::available()));
         }},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        step.check(sampleOf(tree->path()));
    }
}
