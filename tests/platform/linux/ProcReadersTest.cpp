#include "ProcMeminfoMemorySnapshotReader.h"
#include "ProcStatCPUTickReader.h"
#include "StatvfsDiskCapacityReader.h"
#include "SysfsFiles.h"
#include "TestSupport.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <limits>
#include <sys/statvfs.h>

using namespace kestrum;
using test::fixture;

TEST(ProcStatCPUTickReader, ReadsEveryRecordedMachine) {
    struct Case {
        const char* machine;
        size_t cores;
        std::vector<double> load;
    } cases[] = {
        {"intel-laptop", 8, {0.52, 0.61, 0.58}},  {"thinkpad-t480", 8, {0.31, 0.44, 0.40}},
        {"dell-latitude", 8, {1.07, 0.93, 0.88}}, {"intel-mac", 4, {0.66, 0.58, 0.51}},
        {"amd-desktop", 16, {3.10, 2.85, 2.40}},  {"vm", 2, {0.02, 0.10, 0.08}},
        {"apple-silicon", 8, {1.25, 0.90, 0.70}}, {"apple-silicon-mbp", 8, {0.42, 0.51, 0.47}},
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

// Page counts worked out by hand from each tree's meminfo (kB) and zram mm_stat with 4 KiB pages:
// wired = Unevictable + SUnreclaim + KernelStack + PageTables, compressed = zram compressed data + Zswap,
// and active pages + wired + compressed give MemTotal − MemAvailable, what `free` calls used.
TEST(ProcMeminfoMemorySnapshotReader, ReadsEveryRecordedMachine) {
    struct Case {
        const char* machine;
        uint64_t totalKB, usedKB;
        uint64_t wiredPages, compressedPages;
        uint64_t swapUsedKB;
    } cases[] = {
        {"intel-laptop", 16106532, 5871965, 108642, 16384, 262144},
        {"thinkpad-t480", 16239440, 3589440, 43766, 0, 0},
        {"dell-latitude", 16251932, 6451932, 63000, 0, 277212},
        {"intel-mac", 8057084, 2857084, 27250, 0, 0},
        {"amd-desktop", 65790132, 15790132, 107500, 65536, 0},
        {"vm", 24682768, 382768, 0, 0, 0},
        {"apple-silicon", 7900000, 4000000, 50000, 131072, 900000},
        {"apple-silicon-mbp", 15830352, 4630352, 48300, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        const QString root = fixture(QLatin1String(c.machine));
        ProcMeminfoMemorySnapshotReader reader(root + QStringLiteral("/proc"), root + QStringLiteral("/sys"),
                                               4096);
        const auto snapshot = reader.read();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->physicalMemoryBytes, c.totalKB * 1024);
        EXPECT_EQ(snapshot->pageSizeBytes, 4096u);
        EXPECT_EQ(snapshot->wiredPageCount, c.wiredPages);
        EXPECT_EQ(snapshot->compressedPageCount, c.compressedPages);
        EXPECT_EQ(snapshot->swapUsedBytes, c.swapUsedKB * 1024);
        // Each of the three counts is rounded to whole pages on its own.
        const uint64_t pages =
            snapshot->activePageCount + snapshot->wiredPageCount + snapshot->compressedPageCount;
        EXPECT_NEAR(double(pages) * 4096, double(c.usedKB) * 1024, 2 * 4096);
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

// What df shows: Size = Used + Avail, with the blocks reserved for root in neither.
TEST(StatvfsDiskCapacityReader, CapacityIsWhatAUserCanFill) {
    constexpr unsigned long long kMax = std::numeric_limits<unsigned long long>::max();
    struct Case {
        const char* name;
        unsigned long long blocks, freeBlocks, availableBlocks, fragmentSize, blockSize;
        int64_t total, available;
    } cases[] = {
        // 1000 blocks, 200 used, 50 reserved: 200 of 950 usable blocks are used (df: 22 %), not 200 of 1000.
        {"ext4 with 5 % reserved", 1000, 800, 750, 4096, 4096, 950 * 4096, 750 * 4096},
        {"nothing reserved (XFS)", 1000, 800, 800, 4096, 4096, 1000 * 4096, 800 * 4096},
        {"reserve larger than the free space", 1000, 30, 0, 4096, 4096, 970 * 4096, 0},
        {"no fragment size: the block size", 10, 5, 5, 0, 1024, 10 * 1024, 5 * 1024},
        {"free above total from a confused driver", 10, 12, 12, 512, 512, 12 * 512, 12 * 512},
        {"sizes beyond 64 bits saturate", kMax / 2, 0, kMax / 2, 4096, 4096,
         std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::max()},
    };
    for (const auto& c : cases) {
        struct statvfs info {};
        info.f_blocks = c.blocks;
        info.f_bfree = c.freeBlocks;
        info.f_bavail = c.availableBlocks;
        info.f_frsize = c.fragmentSize;
        info.f_bsize = c.blockSize;
        EXPECT_EQ(StatvfsDiskCapacityReader::capacity(info),
                  (DiskCapacitySnapshot{c.total, c.available, c.available}))
            << c.name;
    }
}

// A folder in a recorded tree stands for an attribute whose read fails, with the error named inside it.
TEST(SysfsFiles, ReportsTheErrorARecordedReadGives) {
    const QString root = fixture(QStringLiteral("intel-laptop/sys"));
    struct Case {
        QString path;
        std::optional<QByteArray> bytes;
        int error;
    } cases[] = {
        {root + QStringLiteral("/class/hwmon/hwmon4/temp1_input"), QByteArray("48000\n"), 0},
        {root + QStringLiteral("/class/hwmon/hwmon4/temp2_input"), std::nullopt,
         ENXIO}, // absent thinkpad sensor
        {fixture(QStringLiteral("thinkpad-t480/sys/class/thermal/thermal_zone2/temp")), std::nullopt,
         ENODATA},                                                     // iwlwifi with its firmware stopped
        {root + QStringLiteral("/class/hwmon"), std::nullopt, EISDIR}, // a folder with no error named
        {root + QStringLiteral("/class/hwmon/hwmon9/temp1_input"), std::nullopt, ENOENT},
    };
    for (const auto& c : cases) {
        const sysfs::ReadResult result = sysfs::readAttribute(c.path);
        EXPECT_EQ(result.bytes, c.bytes) << c.path.toStdString();
        EXPECT_EQ(result.error, c.error) << c.path.toStdString();
        EXPECT_EQ(sysfs::readInteger(c.path).has_value(), c.bytes.has_value()) << c.path.toStdString();
    }
}
