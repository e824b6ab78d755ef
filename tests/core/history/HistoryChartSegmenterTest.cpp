#include "history/HistoryChartSegmenter.h"

#include "foundation/Uuid.h"
#include "history/HistoryChartDecimator.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000);
constexpr double kDay = 86400;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

HealthSample sampleAged(double age, std::optional<double> cpu = 0.5) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = kNow.addingSeconds(-age);
    s.cpuUsage = cpu;
    return s;
}

struct SegmentCase {
    const char* name;
    std::vector<double> ages; // seconds before now, in the order handed over
    std::vector<std::optional<double>> cpu;
    std::vector<QString> expected; // the series identifiers of the points, oldest first
};

class HistoryChartSegmentation : public testing::TestWithParam<SegmentCase> {};

TEST_P(HistoryChartSegmentation, SplitsWhereTheRecordingHasAGap) {
    const SegmentCase& c = GetParam();
    std::vector<HealthSample> samples;
    for (size_t i = 0; i < c.ages.size(); ++i)
        samples.push_back(sampleAged(c.ages[i], c.cpu.empty() ? std::optional<double>(0.5) : c.cpu[i]));
    const auto points = HistoryChartSegmenter::points(samples, HistoryMetric::cpu, kNow);
    std::vector<QString> identifiers;
    for (const HistoryChartPoint& p : points)
        identifiers.push_back(p.seriesIdentifier);
    EXPECT_EQ(identifiers, c.expected);
    for (size_t i = 1; i < points.size(); ++i)
        EXPECT_LE(points[i - 1].timestamp, points[i].timestamp) << "points come oldest first";
}

const QString c0 = QStringLiteral("cpu-0");
const QString c1 = QStringLiteral("cpu-1");
const QString c2 = QStringLiteral("cpu-2");

INSTANTIATE_TEST_SUITE_P(
    Bands, HistoryChartSegmentation,
    testing::Values(SegmentCase{"MinuteBand120sJoins", {300, 180}, {}, {c0, c0}},
                    SegmentCase{"MinuteBand150sJoins", {400, 250}, {}, {c0, c0}},
                    SegmentCase{"MinuteBand151sSplits", {400, 249}, {}, {c0, c1}},
                    SegmentCase{"MinuteBand200sSplits", {400, 200}, {}, {c0, c1}},
                    SegmentCase{"ThreeDaysOld750sJoins", {3 * kDay + 750, 3 * kDay}, {}, {c0, c0}},
                    SegmentCase{"ThreeDaysOld751sSplits", {3 * kDay + 751, 3 * kDay}, {}, {c0, c1}},
                    SegmentCase{"TenDaysOld2250sJoins", {10 * kDay + 2250, 10 * kDay}, {}, {c0, c0}},
                    SegmentCase{"TenDaysOld2251sSplits", {10 * kDay + 2251, 10 * kDay}, {}, {c0, c1}},
                    // A sample exactly two days old still counts as the minute band, but its predecessor was
                    // recorded at five-minute resolution: the coarser spacing decides.
                    SegmentCase{"AtTwoDaysPreviousCoarser", {2 * kDay + 600, 2 * kDay}, {}, {c0, c0}},
                    SegmentCase{"JustInsideTwoDaysSplits", {2 * kDay - 100, 2 * kDay - 300}, {}, {c0, c1}},
                    // Exactly a week old: the predecessor is fifteen-minute data.
                    SegmentCase{"AtOneWeekPreviousCoarser", {7 * kDay + 2000, 7 * kDay}, {}, {c0, c0}},
                    SegmentCase{"JustInsideOneWeekSplits", {7 * kDay - 100, 7 * kDay - 1100}, {}, {c0, c1}},
                    SegmentCase{"SinglePoint", {30}, {}, {c0}},
                    SegmentCase{"UnsortedInputIsSorted", {60, 180, 120, 0}, {}, {c0, c0, c0, c0}},
                    SegmentCase{"DuplicateTimestampsSplit", {120, 60, 60}, {}, {c0, c0, c1}},
                    SegmentCase{"MissingValueSplits", {180, 120, 60}, {0.2, std::nullopt, 0.3}, {c0, c1}},
                    SegmentCase{"NonFiniteValueSplits", {180, 120, 60}, {0.2, kNaN, 0.3}, {c0, c1}},
                    SegmentCase{"MissingFirstValue", {180, 120, 60}, {std::nullopt, 0.2, 0.3}, {c0, c0}},
                    SegmentCase{"EveryValueMissing", {180, 120}, {std::nullopt, std::nullopt}, {}},
                    SegmentCase{"FutureSamplesFollowTheMinuteBand", {-100, -300, -400}, {}, {c0, c1, c1}},
                    SegmentCase{"SplitsAccumulate", {1000, 700, 400, 340}, {}, {c0, c1, c2, c2}}),
    [](const testing::TestParamInfo<SegmentCase>& info) { return info.param.name; });

TEST(HistoryChartSegmenter, ScalesValuesAndNamesPointsAfterTheSampleAndSeries) {
    HealthSample s = sampleAged(60, 0.42);
    s.downloadBytesPerSecond = 2'500'000;
    s.uploadBytesPerSecond = 125'000;
    s.memoryUsage = 0.5;

    const auto cpu = HistoryChartSegmenter::points({s}, HistoryMetric::cpu, kNow);
    ASSERT_EQ(cpu.size(), 1u);
    EXPECT_DOUBLE_EQ(cpu[0].value, 42);
    EXPECT_EQ(cpu[0].id, uuidText(s.id) + QStringLiteral("-cpu-0"));
    EXPECT_EQ(cpu[0].timestamp, s.timestamp);

    const auto network = HistoryChartSegmenter::points({s}, HistoryMetric::network, kNow);
    ASSERT_EQ(network.size(), 2u);
    EXPECT_EQ(network[0].seriesIdentifier, QStringLiteral("download-0"));
    EXPECT_DOUBLE_EQ(network[0].value, 2.5);
    EXPECT_EQ(network[1].seriesIdentifier, QStringLiteral("upload-0"));
    EXPECT_DOUBLE_EQ(network[1].value, 0.125);

    EXPECT_TRUE(HistoryChartSegmenter::points({s}, HistoryMetric::battery, kNow).empty())
        << "no battery reading is no point, never zero";
}

TEST(HistoryChartSegmenter, AMissingCPUValueLeavesTheMemoryLineWhole) {
    std::vector<HealthSample> samples{sampleAged(180, 0.2), sampleAged(120, std::nullopt),
                                      sampleAged(60, 0.3)};
    for (HealthSample& s : samples)
        s.memoryUsage = 0.6;
    const auto memory = HistoryChartSegmenter::points(samples, HistoryMetric::memory, kNow);
    ASSERT_EQ(memory.size(), 3u);
    for (const auto& p : memory)
        EXPECT_EQ(p.seriesIdentifier, QStringLiteral("memory-0"));
    const auto cpu = HistoryChartSegmenter::points(samples, HistoryMetric::cpu, kNow);
    ASSERT_EQ(cpu.size(), 2u);
    EXPECT_NE(cpu[0].seriesIdentifier, cpu[1].seriesIdentifier);
}

TEST(HistoryRange, KeepsSamplesFromTheRangeStartOnward) {
    const struct {
        HistoryRange range;
        double seconds;
    } cases[] = {{HistoryRange::hour, 3600},
                 {HistoryRange::day, 86400},
                 {HistoryRange::week, 604800},
                 {HistoryRange::month, 2592000}};
    for (const auto& c : cases) {
        EXPECT_EQ(durationSeconds(c.range), c.seconds);
        const std::vector<HealthSample> samples{sampleAged(c.seconds + 1), sampleAged(c.seconds),
                                                sampleAged(10), sampleAged(-10)};
        const auto kept = samplesInRange(samples, c.range, kNow);
        ASSERT_EQ(kept.size(), 3u) << rawValue(c.range).toStdString();
        EXPECT_EQ(kept.front().id, samples[1].id);
    }
}

std::vector<HistoryChartPoint> flatLineWithSpike(int count, int spikeAt, double spike) {
    std::vector<HistoryChartPoint> points;
    for (int i = 0; i < count; ++i) {
        const double value = i == spikeAt ? spike : 10.0 + (i % 3);
        points.push_back({QString::number(i), kNow.addingSeconds(-count * 60.0 + i * 60.0), value,
                          QStringLiteral("cpu-0")});
    }
    return points;
}

TEST(HistoryChartDecimator, KeepsEachBucketsExtremes) {
    const auto points = flatLineWithSpike(43200, 12345, 100); // a month of minutes, one spike
    const Date from = kNow.addingSeconds(-43200 * 60.0);
    for (const int buckets : {1, 7, 80, 500}) {
        const auto thin = HistoryChartDecimator::decimated(points, from, kNow, buckets);
        EXPECT_LE(thin.size(), size_t(2 * buckets));
        double highest = 0, lowest = 1000;
        for (const auto& p : thin) {
            highest = std::max(highest, p.value);
            lowest = std::min(lowest, p.value);
        }
        EXPECT_EQ(highest, 100) << buckets << " buckets";
        EXPECT_EQ(lowest, 10) << buckets << " buckets";
        for (size_t i = 1; i < thin.size(); ++i)
            EXPECT_LT(thin[i - 1].timestamp, thin[i].timestamp);
    }
}

TEST(HistoryChartDecimator, NeverJoinsSegments) {
    std::vector<HistoryChartPoint> points{{"a", kNow.addingSeconds(-100), 1, "cpu-0"},
                                          {"b", kNow.addingSeconds(-90), 5, "cpu-0"},
                                          {"c", kNow.addingSeconds(-80), 9, "cpu-1"}};
    const auto thin = HistoryChartDecimator::decimated(points, kNow.addingSeconds(-100), kNow, 1);
    ASSERT_EQ(thin.size(), 3u);
    EXPECT_EQ(thin[2].seriesIdentifier, QStringLiteral("cpu-1"));
}

TEST(HistoryChartDecimator, ColumnsBridgeInsideASegmentAndLeaveGapsBetween) {
    // Ten columns of 10 s: points at columns 0 and 3 (one segment), then 7 (a new segment).
    const Date from = kNow.addingSeconds(-100);
    const std::vector<HistoryChartPoint> points{{"a", from.addingSeconds(1), 20, "cpu-0"},
                                                {"b", from.addingSeconds(5), 80, "cpu-0"},
                                                {"c", from.addingSeconds(35), 40, "cpu-0"},
                                                {"d", from.addingSeconds(75), 60, "cpu-1"}};
    const auto columns = HistoryChartDecimator::columns(points, from, kNow, 10);
    ASSERT_EQ(columns.size(), 10u);
    using C = HistoryChartDecimator::Column;
    EXPECT_EQ(columns[0], (C{20, 80, true}));
    EXPECT_EQ(columns[1], (C{40, 80, false}));
    EXPECT_EQ(columns[2], (C{40, 80, false}));
    EXPECT_EQ(columns[3], (C{40, 40, true}));
    for (const int gap : {4, 5, 6, 8, 9})
        EXPECT_FALSE(columns[size_t(gap)].has_value()) << gap;
    EXPECT_EQ(columns[7], (C{60, 60, true}));
}

} // namespace
