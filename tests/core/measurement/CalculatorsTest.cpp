#include "measurement/CPUUsageCalculator.h"
#include "measurement/DiskStatsCalculator.h"
#include "measurement/MemoryStatsCalculator.h"
#include "measurement/NetworkRateCalculator.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrum;

namespace {

CPUTickSnapshot ticks(std::vector<CPUTicks> cores, std::vector<double> load = {1.0, 0.5, 0.25}) {
    return CPUTickSnapshot{std::move(cores), std::move(load)};
}

const QString kBaselineText = QStringLiteral("CPU kullanımı için başlangıç ölçümü alındı.");

} // namespace

TEST(CPUUsageCalculator, WithoutComparablePreviousSnapshotReportsTheBaseline) {
    const auto current = ticks({{10, 10, 10, 10}, {5, 5, 5, 5}});
    struct Case {
        const char* name;
        CPUTickSnapshot current;
        std::optional<CPUTickSnapshot> previous;
    } cases[] = {
        {"first sample", current, std::nullopt},
        {"core taken offline", current, ticks({{1, 1, 1, 1}})},
        {"no cores", ticks({}), ticks({})},
    };
    for (const auto& c : cases) {
        const CPUStats stats = CPUUsageCalculator::stats(c.current, c.previous);
        EXPECT_EQ(stats.availability, MetricAvailability::unavailable(kBaselineText)) << c.name;
        EXPECT_EQ(stats.totalUsage, 0) << c.name;
        EXPECT_TRUE(stats.perCoreUsage.empty()) << c.name;
        // Load averages are not part of the baseline: they are shown at once.
        EXPECT_EQ(stats.loadAverage, c.current.loadAverage) << c.name;
    }
}

TEST(CPUUsageCalculator, UsageOverTheIntervalPerCoreAndInTotal) {
    // Core 0: 30 busy of 40; core 1: 0 busy of 60 (all idle); total 30 of 100.
    const auto previous = ticks({{100, 50, 1000, 5}, {200, 100, 2000, 0}});
    const auto current = ticks({{120, 55, 1010, 10}, {200, 100, 2060, 0}}, {2.0});
    const CPUStats stats = CPUUsageCalculator::stats(current, previous);
    ASSERT_TRUE(stats.availability.isAvailable());
    ASSERT_EQ(stats.perCoreUsage.size(), 2u);
    EXPECT_DOUBLE_EQ(stats.perCoreUsage[0], 30.0 / 40.0);
    EXPECT_DOUBLE_EQ(stats.perCoreUsage[1], 0.0);
    EXPECT_DOUBLE_EQ(stats.totalUsage, 30.0 / 100.0);
    EXPECT_EQ(stats.loadAverage, std::vector<double>{2.0});
}

TEST(CPUUsageCalculator, CounterThatWentBackwardsContributesItsWholeValue) {
    // user went from 1000 to 40 (reset): its delta is 40, not 0 and not a huge wrapped number.
    const auto previous = ticks({{1000, 0, 100, 0}});
    const auto current = ticks({{40, 0, 160, 0}});
    const CPUStats stats = CPUUsageCalculator::stats(current, previous);
    EXPECT_DOUBLE_EQ(stats.perCoreUsage[0], 40.0 / 100.0);
}

TEST(CPUUsageCalculator, IntervalWithoutTicksIsZeroNotAnError) {
    const auto same = ticks({{7, 7, 7, 7}, {9, 9, 9, 9}});
    const CPUStats stats = CPUUsageCalculator::stats(same, same);
    EXPECT_TRUE(stats.availability.isAvailable());
    EXPECT_EQ(stats.totalUsage, 0);
    EXPECT_EQ(stats.perCoreUsage, (std::vector<double>{0, 0}));
}

TEST(MemoryStatsCalculator, UsedIsActiveWiredCompressedNeverMoreThanPhysical) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    struct Case {
        const char* name;
        MachMemorySnapshot input;
        uint64_t used;
        uint64_t compressed;
    } cases[] = {
        {"plain", {16'000, 4, 1000, 500, 250, 77}, 7000, 1000},
        {"sum above physical is clamped", {8000, 4, 1000, 1000, 1000, 0}, 8000, 4000},
        {"page product overflows", {8000, 1ull << 32, 1ull << 33, 0, 0, 0}, 8000, 0},
        {"sum of saturated products overflows", {8000, 2, kMax / 2 + 1, kMax / 2 + 1, 0, 0}, 8000, 0},
    };
    for (const auto& c : cases) {
        const MemoryStats stats = MemoryStatsCalculator::stats(c.input);
        EXPECT_TRUE(stats.availability.isAvailable()) << c.name;
        EXPECT_EQ(stats.usedBytes, c.used) << c.name;
        EXPECT_EQ(stats.totalBytes, c.input.physicalMemoryBytes) << c.name;
        EXPECT_EQ(stats.compressedBytes, c.compressed) << c.name;
        EXPECT_EQ(stats.swapUsedBytes, c.input.swapUsedBytes) << c.name;
    }
}

TEST(MemoryStatsCalculator, ZeroPhysicalMemoryOrPageSizeIsUnreadable) {
    for (const MachMemorySnapshot input :
         {MachMemorySnapshot{0, 4096, 1, 1, 1, 0}, MachMemorySnapshot{8192, 0, 1, 1, 1, 0}}) {
        const MemoryStats stats = MemoryStatsCalculator::stats(input);
        EXPECT_EQ(stats, MemoryStats::unreadable());
        EXPECT_EQ(stats.availability.reason, QStringLiteral("Bellek kullanımı okunamadı."));
    }
}

TEST(DiskStatsCalculator, AvailableFigureChoiceAndClamping) {
    struct Case {
        const char* name;
        std::optional<int64_t> total, important, fallback;
        bool available;
        uint64_t availableBytes;
    } cases[] = {
        {"important preferred", 1000, 600, 400, true, 600},
        {"negative important falls back", 1000, -1, 400, true, 400},
        {"absent important falls back", 1000, std::nullopt, 400, true, 400},
        {"negative fallback is unreadable", 1000, -5, -1, false, 0},
        {"no available figure", 1000, std::nullopt, std::nullopt, false, 0},
        {"no total", std::nullopt, 10, 10, false, 0},
        {"total below one", 0, 10, 10, false, 0},
        {"available never exceeds total", 1000, 5000, 0, true, 1000},
        {"zero available is a real value", 1000, 0, 500, true, 0},
    };
    for (const auto& c : cases) {
        const DiskStats stats = DiskStatsCalculator::stats(c.total, c.important, c.fallback);
        EXPECT_EQ(stats.availability.isAvailable(), c.available) << c.name;
        EXPECT_EQ(stats.availableBytes, c.availableBytes) << c.name;
        if (!c.available) {
            EXPECT_EQ(stats, DiskStats::unreadable()) << c.name;
        } else {
            EXPECT_EQ(stats.totalBytes, uint64_t(*c.total)) << c.name;
        }
    }
}

TEST(NetworkRateCalculator, RatesPerDirectionAndBadIntervals) {
    const NetworkByteCounter previous{1000, 5000};
    struct Case {
        const char* name;
        NetworkByteCounter current;
        double elapsed;
        double download, upload;
    } cases[] = {
        {"both forward", {3000, 6000}, 2.0, 1000, 500},
        {"received went backwards", {10, 7000}, 2.0, 0, 1000},
        {"sent went backwards", {2000, 4999}, 1.0, 1000, 0},
        {"zero elapsed", {3000, 6000}, 0.0, 0, 0},
        {"negative elapsed", {3000, 6000}, -1.0, 0, 0},
        {"not a number", {3000, 6000}, std::nan(""), 0, 0},
        {"infinite", {3000, 6000}, std::numeric_limits<double>::infinity(), 0, 0},
    };
    for (const auto& c : cases) {
        const auto [download, upload] = NetworkRateCalculator::bytesPerSecond(c.current, previous, c.elapsed);
        EXPECT_DOUBLE_EQ(download, c.download) << c.name;
        EXPECT_DOUBLE_EQ(upload, c.upload) << c.name;
    }
}
