#include "RecordedTrees.h"
#include "SysfsPowerSupplyBatteryStatsProvider.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;

namespace {

BatteryStats sampleOf(const QString& root) {
    return SysfsPowerSupplyBatteryStatsProvider(root + QStringLiteral("/sys")).sample();
}

// The supplies of an x86 laptop (under the ACPI devices) or an Apple-silicon Mac (under the SMC).
std::unique_ptr<QTemporaryDir> copySupplies(const char* machine) {
    const bool apple = QLatin1String(machine).startsWith(u"apple-silicon");
    return test::copyParts(QLatin1String(machine), {QStringLiteral("sys/class/power_supply"),
                                                    apple ? QStringLiteral("sys/devices/platform/soc")
                                                          : QStringLiteral("sys/devices/LNXSYSTM:00")});
}

void expectNear(std::optional<double> actual, std::optional<double> expected, double tolerance,
                const char* what) {
    ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
    if (expected) {
        EXPECT_NEAR(*actual, *expected, tolerance) << what;
    }
}

} // namespace

// Expected figures are worked out by hand from each tree's files (see tests/fixtures/README.md).
TEST(SysfsPowerSupplyBatteryStatsProvider, EveryRecordedMachine) {
    struct Case {
        const char* machine;
        bool present;
        std::optional<double> charge;
        bool charging;
        bool full;
        std::optional<int> minutes;
        std::optional<QString> health;
        std::optional<double> volts;
        std::optional<double> amps;
        std::optional<double> celsius;
        std::optional<bool> onAdapter;
    } cases[] = {
        // Energy-mode ACPI battery: no current_now, so 8.71 W ÷ 11.875 V, negative while discharging;
        // 36.48 Wh ÷ 8.71 W = 251.3 min; 57.00 of 57.02 Wh is good.
        {"intel-laptop", true, 0.64, false, false, 251, QStringLiteral("Good"), 11.875, -0.733474,
         std::nullopt, false},
        // BAT0 (full, idle) and BAT1 (discharging) as one: (21.95 + 32.905) ÷ (21.95 + 65.81) Wh charged,
        // 54.855 Wh ÷ 7.45 W = 441.8 min, 87.76 of 95.47 Wh of design; the loaded pack's voltage.
        {"thinkpad-t480", true, 0.625057, false, false, 441, QStringLiteral("Good"), 11.42, -0.652364,
         std::nullopt, false},
        // Charge-mode ACPI battery charging: (7.120 − 4.272) Ah ÷ 2.35 A = 72.7 min; 7120 of 7894 mAh.
        {"dell-latitude", true, 0.60, true, false, 72, QStringLiteral("Good"), 8.15, 2.35, std::nullopt,
         true},
        // Full on the adapter: no time, no current; 5210 of 6330 mAh after 812 cycles is still above 80 %.
        {"intel-mac", true, 1.0, false, true, std::nullopt, QStringLiteral("Good"), 12.56, 0.0, std::nullopt,
         true},
        // time_to_full_now 0 means unknown: (3.887 − 3.148) Ah ÷ 1.85 A = 23.97 min from the charge figures.
        {"apple-silicon", true, 0.81, true, false, 23, QStringLiteral("Good"), 12.65, 1.85, 31.2, true},
        // health says "Good", but 3470 of 5103 mAh is 68 % of design.
        {"apple-silicon-mbp", true, 0.66, false, false, 122, QStringLiteral("Service Recommended"), 11.18,
         -1.12, 29.8, false},
        // A mouse's battery (scope Device) is not the machine's.
        {"amd-desktop", false, std::nullopt, false, false, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt, std::nullopt},
        {"vm", false, std::nullopt, false, false, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
         std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        const BatteryStats s = sampleOf(fixture(QLatin1String(c.machine)));
        ASSERT_TRUE(s.availability.isAvailable());
        if (!c.present) {
            EXPECT_EQ(s, BatteryStats::notPresent(MetricAvailability::available()));
            continue;
        }
        EXPECT_TRUE(s.isPresent);
        expectNear(s.chargeFraction, c.charge, 1e-6, "charge");
        EXPECT_EQ(s.isCharging, c.charging);
        EXPECT_EQ(s.isFullyCharged, c.full);
        EXPECT_EQ(s.timeRemainingMinutes, c.minutes);
        EXPECT_EQ(s.healthCondition, c.health);
        expectNear(s.voltageVolts, c.volts, 1e-9, "voltage");
        expectNear(s.amperageAmps, c.amps, 1e-6, "amperage");
        expectNear(s.temperatureCelsius, c.celsius, 1e-9, "temperature");
        EXPECT_EQ(s.isConnectedToPowerAdapter, c.onAdapter);
    }
}

TEST(SysfsPowerSupplyBatteryStatsProvider, MissingSupplyFolderIsUnreadable) {
    const BatteryStats missing = sampleOf(QStringLiteral("/nonexistent"));
    EXPECT_FALSE(missing.isPresent);
    EXPECT_EQ(missing.availability,
              MetricAvailability::unavailable(QStringLiteral("Batarya bilgisi okunamadı.")));
}

TEST(SysfsPowerSupplyBatteryStatsProvider, HealthAndTimeTraps) {
    auto tree = copySupplies("intel-laptop");
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
        {"no voltage: no current either",
         [&] {
             test::writeFile(bat + QStringLiteral("power_now"), "8710000\n");
             QFile::remove(bat + QStringLiteral("voltage_now"));
         },
         [](const BatteryStats& s) {
             EXPECT_FALSE(s.amperageAmps);
             EXPECT_EQ(s.timeRemainingMinutes, 251) << "the estimate needs no voltage";
         }},
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

// macsmc-battery's health reads "Good" unless the "bad battery" flag is set: only another value is a verdict.
TEST(SysfsPowerSupplyBatteryStatsProvider, AppleSiliconHealthIsAVerdictOnlyWhenNotGood) {
    struct Case {
        const char* name;
        QByteArray health;
        QByteArray chargeFull; // of 4382000 µAh design
        std::optional<QString> expected;
    } cases[] = {
        {"good and little worn", "Good\n", "3887000\n", QStringLiteral("Good")},
        {"good, worn to 66 %", "Good\n", "2900000\n", QStringLiteral("Service Recommended")},
        {"the bad-battery flag", "Dead\n", "3887000\n", QStringLiteral("Dead")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tree = copySupplies("apple-silicon");
        const QString bat = tree->path() + QStringLiteral("/sys/class/power_supply/macsmc-battery/");
        test::writeFile(bat + QStringLiteral("health"), c.health);
        test::writeFile(bat + QStringLiteral("charge_full"), c.chargeFull);
        EXPECT_EQ(sampleOf(tree->path()).healthCondition, c.expected);
    }
    // Another driver's "Good" is its verdict, whatever the capacities say.
    auto tree = copySupplies("dell-latitude");
    const QString bat = tree->path() + QStringLiteral("/sys/class/power_supply/BAT0/");
    test::writeFile(bat + QStringLiteral("health"), "Good\n");
    test::writeFile(bat + QStringLiteral("charge_full"), "3000000\n");
    EXPECT_EQ(sampleOf(tree->path()).healthCondition, QStringLiteral("Good"));
}

TEST(SysfsPowerSupplyBatteryStatsProvider, TwoBatteriesReadAsOne) {
    struct Case {
        const char* name;
        std::function<void(const QString& supplies)> change;
        std::optional<double> charge;
        bool charging;
        std::optional<int> minutes;
        std::optional<QString> health;
        std::optional<bool> onAdapter;
    } cases[] = {
        {"on the adapter, the external pack charging at 30 W",
         [](const QString& p) {
             test::writeFile(p + QStringLiteral("/AC/online"), "1\n");
             test::writeFile(p + QStringLiteral("/BAT1/status"), "Charging\n");
             test::writeFile(p + QStringLiteral("/BAT1/power_now"), "30000000\n");
         },
         // (87.76 − 54.855) Wh ÷ 30 W = 65.8 min to full
         0.625057, true, 65, QStringLiteral("Good"), true},
        {"charging with no adapter node at all",
         [](const QString& p) {
             QDir(p + QStringLiteral("/AC")).removeRecursively();
             test::writeFile(p + QStringLiteral("/BAT1/status"), "Charging\n");
         },
         // (87.76 − 54.855) Wh ÷ 7.45 W = 265.0 min to full
         0.625057, true, 265, QStringLiteral("Good"), true},
        {"discharging with no adapter node",
         [](const QString& p) { QDir(p + QStringLiteral("/AC")).removeRecursively(); }, 0.625057, false, 441,
         QStringLiteral("Good"), false},
        {"idle with no adapter node: the power source is not known",
         [](const QString& p) {
             QDir(p + QStringLiteral("/AC")).removeRecursively();
             test::writeFile(p + QStringLiteral("/BAT1/status"), "Not charging\n");
             test::writeFile(p + QStringLiteral("/BAT1/power_now"), "0\n");
         },
         0.625057, false, std::nullopt, QStringLiteral("Good"), std::nullopt},
        {"the external pack worn: (21.95 + 30.0) of 95.47 Wh of design",
         [](const QString& p) {
             test::writeFile(p + QStringLiteral("/BAT1/energy_full"), "30000000\n");
             test::writeFile(p + QStringLiteral("/BAT1/energy_now"), "15000000\n");
         },
         // (21.95 + 15.0) ÷ 51.95 Wh charged; 36.95 Wh ÷ 7.45 W = 297.6 min
         0.711261, false, 297, QStringLiteral("Service Recommended"), false},
        {"the external pack removed",
         [](const QString& p) { test::writeFile(p + QStringLiteral("/BAT1/present"), "0\n"); }, 1.0, false,
         std::nullopt, QStringLiteral("Good"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tree = copySupplies("thinkpad-t480");
        c.change(tree->path() + QStringLiteral("/sys/class/power_supply"));
        const BatteryStats s = sampleOf(tree->path());
        EXPECT_TRUE(s.isPresent);
        expectNear(s.chargeFraction, c.charge, 1e-6, "charge");
        EXPECT_EQ(s.isCharging, c.charging);
        EXPECT_EQ(s.timeRemainingMinutes, c.minutes);
        EXPECT_EQ(s.healthCondition, c.health);
        EXPECT_EQ(s.isConnectedToPowerAdapter, c.onAdapter);
    }
}
