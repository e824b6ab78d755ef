#include "interpretation/PersonalBaselineEngine.h"

#include "foundation/Uuid.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrum;
using PersonalBaselineEngine::percentile;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000);

HealthSample at(Date when) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = when;
    return s;
}

// `count` samples spread evenly over exactly `days` UTC calendar days, the last one being today.
std::vector<HealthSample> spread(int count, int days) {
    std::vector<HealthSample> out;
    const double todayStart = std::floor(kNow.unixSeconds() / 86400) * 86400;
    const Date first = Date::fromUnixSeconds(todayStart - (days - 1) * 86400.0);
    const double span = kNow.secondsSince(first);
    for (int i = 0; i < count; ++i)
        out.push_back(at(first.addingSeconds(span * (count == 1 ? 0 : double(i) / (count - 1)))));
    return out;
}

HealthSample discharging(Date when, double charge) {
    HealthSample s = at(when);
    s.batteryIsCharging = false;
    s.batteryCharge = charge;
    return s;
}

} // namespace

TEST(PersonalBaselineEngine, PercentileInterpolatesAndIgnoresNonFiniteValues) {
    struct Case {
        std::vector<double> values;
        double p;
        std::optional<double> expected;
    } cases[] = {
        {{10, 20, 30, 40}, 0.9, 37},
        {{40, 10, 30, 20}, 0.5, 25},
        {{7}, 0.9, 7},
        {{}, 0.5, std::nullopt},
        {{NAN, INFINITY}, 0.5, std::nullopt},
        {{10, NAN, 20}, 0.5, 15},
        {{10, 20, 30}, -1, 10},
        {{10, 20, 30}, 2, 30},
    };
    for (const auto& c : cases) {
        const auto value = percentile(c.values, c.p);
        ASSERT_EQ(value.has_value(), c.expected.has_value());
        if (value) {
            EXPECT_NEAR(*value, *c.expected, 1e-12);
        }
    }
}

TEST(PersonalBaselineEngine, ConfidenceFromSamplesAndDays) {
    struct Case {
        int count;
        int days;
        BaselineConfidence confidence;
    } cases[] = {
        {0, 1, BaselineConfidence::learning}, {240, 2, BaselineConfidence::learning},
        {240, 3, BaselineConfidence::early},  {999, 7, BaselineConfidence::early},
        {1000, 6, BaselineConfidence::early}, {1000, 7, BaselineConfidence::established},
    };
    for (const auto& c : cases) {
        const PersonalBaseline b =
            PersonalBaselineEngine::makeBaseline(spread(c.count, c.days), kNow, 604'800, QTimeZone::utc());
        EXPECT_EQ(b.confidence, c.confidence)
            << c.count << " samples over " << c.days << " days (" << b.observedDayCount << " observed)";
        EXPECT_EQ(b.sampleCount, c.count);
    }
    const PersonalBaseline none = PersonalBaselineEngine::makeBaseline({}, kNow, 604'800);
    EXPECT_EQ(none.observedDayCount, 0);
    EXPECT_FALSE(none.medianCPUUsage);
    EXPECT_EQ(none.generatedAt, kNow);
}

TEST(PersonalBaselineEngine, WindowAndLocalDays) {
    // 23:30 and 00:30 UTC: two days in UTC, one day in Istanbul (UTC+3: 02:30 and 03:30).
    const Date base = Date::fromDateTime(QDateTime(QDate(2025, 12, 1), QTime(23, 30), Qt::UTC));
    const std::vector<HealthSample> samples = {at(base), at(base.addingSeconds(3600)),
                                               at(base.addingSeconds(-8 * 86400)), // outside the window
                                               at(base.addingSeconds(7200))};
    const Date now = base.addingSeconds(7200);
    EXPECT_EQ(PersonalBaselineEngine::makeBaseline(samples, now, 604'800, QTimeZone::utc()).observedDayCount,
              2);
    const PersonalBaseline istanbul = PersonalBaselineEngine::makeBaseline(
        samples, now, 604'800, QTimeZone(QByteArrayLiteral("Europe/Istanbul")));
    EXPECT_EQ(istanbul.observedDayCount, 1);
    EXPECT_EQ(istanbul.sampleCount, 3) << "samples after now or before the window are not counted";
}

TEST(PersonalBaselineEngine, MediansAndHighValues) {
    std::vector<HealthSample> samples;
    for (int i = 0; i < 10; ++i) {
        HealthSample s = at(kNow.addingSeconds(-60.0 * i));
        s.cpuUsage = 0.1 * (i + 1);
        if (i % 2 == 0)
            s.wifiRSSI = -50 - i;
        samples.push_back(s);
    }
    const PersonalBaseline b = PersonalBaselineEngine::makeBaseline(samples, kNow, 604'800);
    EXPECT_NEAR(*b.medianCPUUsage, 0.55, 1e-12);
    EXPECT_NEAR(*b.highCPUUsage, 0.91, 1e-12);
    EXPECT_FALSE(b.medianMemoryUsage);
    EXPECT_NEAR(*b.medianWiFiRSSI, -54, 1e-12);
}

TEST(PersonalBaselineEngine, BatteryDrainSessions) {
    const Date t0 = kNow.addingSeconds(-6 * 3600);
    const auto run = [&](std::vector<HealthSample> samples) {
        std::vector<const HealthSample*> sorted;
        for (const auto& s : samples)
            sorted.push_back(&s);
        return PersonalBaselineEngine::batteryDrainRates(sorted);
    };
    const auto minuteSeries = [&](Date start, int minutes, double from, double perMinute) {
        std::vector<HealthSample> out;
        for (int m = 0; m <= minutes; ++m)
            out.push_back(discharging(start.addingSeconds(60.0 * m), from - perMinute * m));
        return out;
    };
    // 30 minutes losing 10 %: 0.2 per hour.
    auto rates = run(minuteSeries(t0, 30, 0.9, 0.1 / 30));
    ASSERT_EQ(rates.size(), 1u);
    EXPECT_NEAR(rates[0], 0.2, 1e-9);

    // 14 minutes 59 seconds is too short.
    EXPECT_TRUE(run({discharging(t0, 0.9), discharging(t0.addingSeconds(899), 0.8)}).empty());
    // A drop below 0.5 % yields nothing.
    EXPECT_TRUE(run({discharging(t0, 0.9), discharging(t0.addingSeconds(600), 0.898),
                     discharging(t0.addingSeconds(1200), 0.8961)})
                    .empty());
    // A gap of more than 600 s splits the session: two halves of 10 minutes each are too short.
    auto gapped = minuteSeries(t0, 10, 0.9, 0.002);
    auto second = minuteSeries(t0.addingSeconds(600 + 601), 10, 0.87, 0.002);
    gapped.insert(gapped.end(), second.begin(), second.end());
    EXPECT_TRUE(run(gapped).empty());
    // A charge rise above 0.5 % between neighbours splits it too.
    auto risen = minuteSeries(t0, 10, 0.9, 0.002);
    auto after = minuteSeries(t0.addingSeconds(660), 10, 0.89, 0.002);
    risen.insert(risen.end(), after.begin(), after.end());
    EXPECT_TRUE(run(risen).empty());
    // Samples on the adapter end a session; absent adapter flags count as on battery.
    auto plugged = minuteSeries(t0, 20, 0.9, 0.002);
    plugged[10].batteryUsesPowerAdapter = true;
    EXPECT_TRUE(run(plugged).empty());
    auto unknownAdapter = minuteSeries(t0, 20, 0.9, 0.002);
    EXPECT_EQ(run(unknownAdapter).size(), 1u);
}
