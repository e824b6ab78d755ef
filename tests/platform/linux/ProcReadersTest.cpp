#include "ProcMeminfoMemorySnapshotReader.h"
#include "ProcStatCPUTickReader.h"
#include "StatvfsDiskCapacityReader.h"
#include "TestSupport.h"
#include "measurement/MemoryStatsCalculator.h"

#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;

TEST(ProcStatCPUTickReader, ReadsEveryRecordedMachine) {
    struct Case {
        const char* machine;
        size_t cores;
        std::vector<double> load;
    } cases[] = {
        {"intel-laptop", 8, {0.52, 0.61, 0.58}},
        {"amd-desktop", 16, {3.10, 2.85, 2.40}},
        {"vm", 2, {0.02, 0.10, 0.08}},
        {"apple-silicon", 8, {1.25, 0.90, 0.70}},
    };
    for (const auto& c : cases) {
        ProcStatCPUTickReader reader(fixture(QLatin1String(c.machine)) + QStringLiteral("/proc"));
        const auto snapshot = reader.read();
        ASSERT_TRUE(snapshot) << c.machine;
        EXPECT_EQ(snapshot->cores.size(), c.cores) << c.machine;
        EXPECT_EQ(snapshot->loadAverage, c.load) << c.machine;
    }
}

TEST(ProcStatCPUTickReader, FoldsLinuxCountersIntoTheFourTicks) {
    // user nice system idle iowait irq softirq steal guest guest_nice
    const auto cores =
        ProcStatCPUTickReader::parseStat("cpu  9 9 9 9 9 9 9 9 9 9\ncpu0 100 7 20 1000 30 4 5 6 50 0\ncpu1 1 "
                                         "2 3 4\ncpu2 1 x 3 4\ncpu3 1 2 3\nintr 1 2\n");
    ASSERT_EQ(cores.size(), 2u) << "the malformed cpu2 and cpu3 lines are skipped, the old 4-field form read";
    EXPECT_EQ(cores[0], (CPUTicks{100, 20 + 4 + 5 + 6, 1000 + 30, 7}));
    EXPECT_EQ(cores[1], (CPUTicks{1, 3, 4, 2}));
}

TEST(ProcStatCPUTickReader, MissingOrEmptyFilesGiveNothing) {
    EXPECT_FALSE(ProcStatCPUTickReader(QStringLiteral("/nonexistent")).read());
    EXPECT_TRUE(ProcStatCPUTickReader::parseStat("cpu  1 2 3 4\nintr 5\n").empty());
    EXPECT_EQ(ProcStatCPUTickReader::parseLoadAverage("0.5 bad 3"), std::vector<double>{0.5});
    EXPECT_TRUE(ProcStatCPUTickReader::parseLoadAverage("").empty());
}

TEST(ProcMeminfoMemorySnapshotReader, UsedIsWhatFreeShowsAndCompressedComesFromZramOrZswap) {
    struct Case {
        const char* machine;
        uint64_t totalKB, availableKB;
        uint64_t compressedBytes;
        uint64_t swapUsedBytes;
    } cases[] = {
        {"intel-laptop", 16106532, 10234567, 65536ull * 1024, (8388604ull - 8126460ull) * 1024},
        {"amd-desktop", 65790132, 50000000, 268435456, 0},
        {"vm", 24682768, 24300000, 0, 0},
        {"apple-silicon", 7900000, 3900000, 536870912, 900000ull * 1024},
    };
    for (const auto& c : cases) {
        const QString root = fixture(QLatin1String(c.machine));
        ProcMeminfoMemorySnapshotReader reader(root + QStringLiteral("/proc"), root + QStringLiteral("/sys"),
                                               4096);
        const auto snapshot = reader.read();
        ASSERT_TRUE(snapshot) << c.machine;
        const MemoryStats stats = MemoryStatsCalculator::stats(*snapshot);
        const double expectedUsed = double(c.totalKB - c.availableKB) * 1024;
        EXPECT_NEAR(double(stats.usedBytes), std::max(expectedUsed, double(stats.compressedBytes)), 3 * 4096)
            << c.machine;
        EXPECT_EQ(stats.totalBytes, c.totalKB * 1024) << c.machine;
        EXPECT_NEAR(double(stats.compressedBytes), double(c.compressedBytes), 4096) << c.machine;
        EXPECT_EQ(stats.swapUsedBytes, c.swapUsedBytes) << c.machine;
    }
}

TEST(ProcMeminfoMemorySnapshotReader, OldKernelsAndBrokenFiles) {
    // Without MemAvailable the estimate is free + reclaimable caches − shared memory.
    const auto old = ProcMeminfoMemorySnapshotReader::snapshot(
        ProcMeminfoMemorySnapshotReader::parseMeminfo(
            "MemTotal: 1000 kB\nMemFree: 200 kB\nBuffers: 100 kB\nCached: 300 kB\nShmem: 50 kB\n"),
        0, 1024);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->activePageCount, 1000u - 550u);

    EXPECT_FALSE(ProcMeminfoMemorySnapshotReader::snapshot(
        ProcMeminfoMemorySnapshotReader::parseMeminfo("MemFree: 1 kB\n"), 0, 4096));
    EXPECT_FALSE(ProcMeminfoMemorySnapshotReader::snapshot(
        ProcMeminfoMemorySnapshotReader::parseMeminfo("MemTotal: x kB\n"), 0, 4096));
    EXPECT_FALSE(
        ProcMeminfoMemorySnapshotReader(QStringLiteral("/nonexistent"), QStringLiteral("/nonexistent"), 4096)
            .read());
    EXPECT_FALSE(ProcMeminfoMemorySnapshotReader::parseZramCompressedBytes("12"));
    EXPECT_EQ(ProcMeminfoMemorySnapshotReader::parseZramCompressedBytes("  10 20 30"), 20u);
}

TEST(StatvfsDiskCapacityReader, ReadsAVolumeAndFailsQuietly) {
    QTemporaryDir dir;
    const auto capacity = StatvfsDiskCapacityReader(dir.path()).read();
    ASSERT_TRUE(capacity);
    EXPECT_GT(*capacity->totalBytes, 0);
    EXPECT_LE(*capacity->importantAvailableBytes, *capacity->totalBytes);
    EXPECT_EQ(capacity->importantAvailableBytes, capacity->fallbackAvailableBytes);
    EXPECT_FALSE(StatvfsDiskCapacityReader(QStringLiteral("/nonexistent/volume")).read());
}
