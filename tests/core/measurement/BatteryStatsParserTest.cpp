#include "measurement/BatteryStatsParser.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

PowerSourceDescription laptop() {
    return PowerSourceDescription{
        {QStringLiteral("Type"), QStringLiteral("InternalBattery")},
        {QStringLiteral("Current Capacity"), 64},
        {QStringLiteral("Max Capacity"), 100},
        {QStringLiteral("Is Charging"), false},
        {QStringLiteral("Is Charged"), false},
        {QStringLiteral("Time to Empty"), 251},
        {QStringLiteral("Time to Full Charge"), -1},
        {QStringLiteral("BatteryHealth"), QStringLiteral("Good")},
        {QStringLiteral("Temperature"), 31.2},
        {QStringLiteral("Voltage"), 11875.0},
        {QStringLiteral("Current"), -733.0},
        {QStringLiteral("Power Source State"), QStringLiteral("Battery Power")},
    };
}

PowerSourceDescription with(PowerSourceDescription d, const char* key, QVariant value) {
    if (value.isValid())
        d.insert(QLatin1String(key), value);
    else
        d.remove(QLatin1String(key));
    return d;
}

} // namespace

TEST(BatteryStatsParser, ReadsAWellFormedDescription) {
    const BatteryStats stats = BatteryStatsParser::stats(laptop());
    EXPECT_TRUE(stats.isPresent);
    EXPECT_DOUBLE_EQ(*stats.chargeFraction, 0.64);
    EXPECT_FALSE(stats.isCharging);
    EXPECT_EQ(stats.timeRemainingMinutes, 251);
    EXPECT_EQ(stats.healthCondition, QStringLiteral("Good"));
    EXPECT_DOUBLE_EQ(*stats.temperatureCelsius, 31.2);
    EXPECT_EQ(stats.temperatureSource, BatteryTemperatureSource::publicPowerSource);
    EXPECT_DOUBLE_EQ(*stats.voltageVolts, 11.875);
    EXPECT_DOUBLE_EQ(*stats.amperageAmps, -0.733);
    EXPECT_EQ(stats.amperageSource, BatteryElectricalSource::publicPowerSource);
    EXPECT_EQ(stats.isConnectedToPowerAdapter, false);
    EXPECT_TRUE(stats.availability.isAvailable());
}

TEST(BatteryStatsParser, OddValuesBecomeAbsentNotZero) {
    struct Case {
        const char* name;
        PowerSourceDescription description;
        std::function<void(const BatteryStats&)> check;
    } cases[] = {
        {"Is Present false", with(laptop(), "Is Present", false),
         [](const BatteryStats& s) {
             EXPECT_EQ(s, BatteryStats::notPresent(MetricAvailability::available()));
         }},
        {"Is Present as number 0", with(laptop(), "Is Present", 0),
         [](const BatteryStats& s) { EXPECT_FALSE(s.isPresent); }},
        {"Is Present missing counts as present", with(laptop(), "Is Present", {}),
         [](const BatteryStats& s) { EXPECT_TRUE(s.isPresent); }},
        {"Is Present as text is unreadable, counts as present",
         with(laptop(), "Is Present", QStringLiteral("no")),
         [](const BatteryStats& s) { EXPECT_TRUE(s.isPresent); }},
        {"Time to Empty -1 is still estimating", with(laptop(), "Time to Empty", -1),
         [](const BatteryStats& s) { EXPECT_FALSE(s.timeRemainingMinutes); }},
        {"Time to Empty 0 is zero minutes", with(laptop(), "Time to Empty", 0),
         [](const BatteryStats& s) { EXPECT_EQ(s.timeRemainingMinutes, 0); }},
        {"charging reads Time to Full Charge",
         with(with(laptop(), "Is Charging", true), "Time to Full Charge", 42),
         [](const BatteryStats& s) { EXPECT_EQ(s.timeRemainingMinutes, 42); }},
        {"max capacity 0", with(laptop(), "Max Capacity", 0),
         [](const BatteryStats& s) { EXPECT_FALSE(s.chargeFraction); }},
        {"capacity above max is clamped", with(laptop(), "Current Capacity", 130),
         [](const BatteryStats& s) { EXPECT_EQ(s.chargeFraction, 1.0); }},
        {"capacity as text", with(laptop(), "Current Capacity", QStringLiteral("64")),
         [](const BatteryStats& s) { EXPECT_FALSE(s.chargeFraction); }},
        {"temperature 150 dropped", with(laptop(), "Temperature", 150),
         [](const BatteryStats& s) {
             EXPECT_FALSE(s.temperatureCelsius);
             EXPECT_EQ(s.temperatureSource, BatteryTemperatureSource::unavailable);
         }},
        {"temperature -20 kept", with(laptop(), "Temperature", -20),
         [](const BatteryStats& s) { EXPECT_EQ(s.temperatureCelsius, -20.0); }},
        {"temperature NaN dropped", with(laptop(), "Temperature", std::nan("")),
         [](const BatteryStats& s) { EXPECT_FALSE(s.temperatureCelsius); }},
        {"voltage 3 V dropped", with(laptop(), "Voltage", 3000),
         [](const BatteryStats& s) {
             EXPECT_FALSE(s.voltageVolts);
             EXPECT_EQ(s.voltageSource, BatteryElectricalSource::unavailable);
         }},
        {"current above 30 A dropped", with(laptop(), "Current", -31000),
         [](const BatteryStats& s) { EXPECT_FALSE(s.amperageAmps); }},
        {"UPS Power is an unknown adapter state",
         with(laptop(), "Power Source State", QStringLiteral("UPS Power")),
         [](const BatteryStats& s) { EXPECT_FALSE(s.isConnectedToPowerAdapter); }},
        {"AC Power", with(laptop(), "Power Source State", QStringLiteral("AC Power")),
         [](const BatteryStats& s) { EXPECT_EQ(s.isConnectedToPowerAdapter, true); }},
        {"blank health condition falls back to BatteryHealth",
         with(laptop(), "BatteryHealthCondition", QStringLiteral("   ")),
         [](const BatteryStats& s) { EXPECT_EQ(s.healthCondition, QStringLiteral("Good")); }},
        {"health condition wins and is trimmed",
         with(laptop(), "BatteryHealthCondition", QStringLiteral(" Check Battery\n")),
         [](const BatteryStats& s) { EXPECT_EQ(s.healthCondition, QStringLiteral("Check Battery")); }},
        {"empty dictionary is a present battery without values", PowerSourceDescription{},
         [](const BatteryStats& s) {
             EXPECT_TRUE(s.isPresent);
             EXPECT_FALSE(s.chargeFraction);
             EXPECT_FALSE(s.isCharging);
             EXPECT_TRUE(s.availability.isAvailable());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.check(BatteryStatsParser::stats(c.description));
    }
}
