#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "healthtests/DefaultCPUBenchmarkWorkloadRunner.h"
#include "healthtests/DefaultQuickHealthTestWorkloadRunner.h"
#include "healthtests/Lz4BlockCompressor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <lz4.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;
using namespace std::chrono_literals;

namespace {

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({DefaultQuickHealthTestWorkloadRunner::temporaryFilePrefix() + u'*'},
                                  QDir::Files | QDir::Hidden);
}

// Requests a stop after `delay` from another thread, the way Ctrl-C reaches a running workload.
struct DelayedStop {
    std::stop_source source;
    std::jthread thread;
    explicit DelayedStop(std::chrono::milliseconds delay) {
        thread = std::jthread([this, delay] {
            std::this_thread::sleep_for(delay);
            source.request_stop();
        });
    }
};

class FixedProcessors : public ProcessInformationProviding {
public:
    explicit FixedProcessors(int count) : m_count(count) {}
    int activeProcessorCount() const override { return m_count; }
    bool isLowPowerModeEnabled() const override { return false; }

private:
    int m_count;
};

template <class T> T waitFor(QFuture<T> future) {
    future.waitForFinished();
    return future.result();
}

} // namespace

TEST(HealthTestWorkloads, ProcessorPassCountsEveryWorkersBatches) {
    // Long enough that a busy machine still gives every pass at least one batch.
    const auto one = DefaultQuickHealthTestWorkloadRunner::cpuThroughput(0.5, 1, {});
    const auto two = DefaultQuickHealthTestWorkloadRunner::cpuThroughput(0.5, 2, {});
    EXPECT_EQ(one.workerCount, 1);
    EXPECT_EQ(two.workerCount, 2);
    EXPECT_GT(one.operationsPerSecond, 0);
    EXPECT_GT(two.operationsPerSecond, 0);

    // Workers = active processors, capped by the runner's limit and by what the deep test asks for.
    struct Case {
        int active, limit, asked, workers;
    } cases[] = {{16, 8, 6, 6}, {2, 8, 6, 2}, {0, 8, 6, 1}, {4, 8, 0, 1}};
    for (const Case& c : cases) {
        DefaultQuickHealthTestWorkloadRunner runner(
            {0.05, c.limit, 1 << 20}, {nullptr, std::make_shared<FixedProcessors>(c.active), {}});
        EXPECT_EQ(waitFor(runner.runSustainedCPUPass(0.05, c.asked, {})).workerCount, c.workers);
    }
}

TEST(HealthTestWorkloads, CancellingStopsEveryWorkloadQuickly) {
    QTemporaryDir folder;
    struct Case {
        const char* name;
        std::function<void(std::stop_token)> run;
    } cases[] = {
        {"processor",
         [](std::stop_token s) { DefaultQuickHealthTestWorkloadRunner::cpuThroughput(30, 2, s); }},
        {"storage",
         [&](std::stop_token s) {
             DefaultQuickHealthTestWorkloadRunner::storageThroughput(folder.path(), 8ull << 30, s);
         }},
        {"memory",
         [](std::stop_token s) {
             DefaultQuickHealthTestWorkloadRunner::memoryThroughput(512u << 20, 16, s);
         }},
        {"benchmark",
         [](std::stop_token s) { DefaultCPUBenchmarkWorkloadRunner(1 << 16).throughput(30, 2, s); }},
    };
    for (const Case& c : cases) {
        DelayedStop stop(100ms);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_THROW(c.run(stop.source.get_token()), CancellationError) << c.name;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        // Uncancelled, each would run far longer (30 s, 8 GiB, 16 × 512 MiB): ending with the cancellation
        // well before that shows the token is looked at during the work, not only at its end.
        EXPECT_LT(elapsed, 10s) << c.name;
        EXPECT_TRUE(leftovers(folder.path()).isEmpty()) << c.name;
    }
    std::stop_source already;
    already.request_stop();
    EXPECT_THROW(DefaultQuickHealthTestWorkloadRunner::cpuThroughput(1, 1, already.get_token()),
                 CancellationError);
}

TEST(HealthTestWorkloads, StorageWritesSyncsAndReadsBackWithoutLeavingAFile) {
    QTemporaryDir parent;
    const QString folder = parent.path() + QStringLiteral("/not-yet-created");
    DefaultQuickHealthTestWorkloadRunner runner({0.05, 2, 3'000'000},
                                                {nullptr, nullptr, [&] { return folder; }});
    const HealthTestStorageMeasurement measurement = waitFor(runner.runStorageWorkload({}));
    EXPECT_EQ(measurement.testedBytes, 3'000'000u);
    EXPECT_GT(measurement.writeBytesPerSecond, 0);
    EXPECT_GT(measurement.readBytesPerSecond, 0);
    EXPECT_TRUE(leftovers(folder).isEmpty());
    EXPECT_EQ(waitFor(runner.runStorageWorkload(1'000, {})).testedBytes, 1'000u);
}

TEST(HealthTestWorkloads, UnwritableFolderGivesTheStorageWriteError) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    QTemporaryDir folder;
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0500), 0);
    try {
        DefaultQuickHealthTestWorkloadRunner::storageThroughput(folder.path(), 1 << 20, {});
        ADD_FAILURE() << "wrote into a read-only folder";
    } catch (const KestrumError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Depolama yazma ölçümü geçerli bir sonuç üretmedi."));
    }
    ::chmod(QFile::encodeName(folder.path()).constData(), 0700);
}

TEST(HealthTestWorkloads, StorageFolderThatCannotHoldAFileGivesTheStorageWriteError) {
    // Works for root too: a path below a regular file cannot be created by anyone.
    QTemporaryDir parent;
    const QString file = parent.path() + QStringLiteral("/plain-file");
    test::writeFile(file, "x");
    try {
        DefaultQuickHealthTestWorkloadRunner::storageThroughput(file + QStringLiteral("/data"), 1 << 20, {});
        ADD_FAILURE() << "wrote below a regular file";
    } catch (const KestrumError& e) {
        EXPECT_EQ(e.code(), QStringLiteral("invalidWorkloadResult"));
        EXPECT_EQ(e.description(), QStringLiteral("Depolama yazma ölçümü geçerli bir sonuç üretmedi."));
    }
}

TEST(HealthTestWorkloads, FullFileSystemEndsWithAWriteErrorAndNoFile) {
    // A file size limit refuses writes beyond it the way a full disk does.
    QTemporaryDir folder;
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 1 << 20;
    ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
        DefaultQuickHealthTestWorkloadRunner::storageThroughput(folder.path(), 4 << 20, {});
        ADD_FAILURE() << "wrote past the limit";
    } catch (const KestrumError& e) {
        EXPECT_EQ(e.code(), QStringLiteral("storageWrite"));
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("Geçici test dosyası yazılamadı: ")));
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, SIG_DFL);
    EXPECT_TRUE(leftovers(folder.path()).isEmpty());
}

TEST(HealthTestWorkloads, MemoryCopyClampsItsSizeAndPasses) {
    struct Case {
        uint64_t bytes;
        int passes;
        uint64_t testedBytes;
        int testedPasses;
    } cases[] = {{1, 0, 1'048'576, 1}, {1'048'576, 1, 1'048'576, 1}, {3'000'000, 40, 3'000'000, 16}};
    for (const Case& c : cases) {
        const auto m = DefaultQuickHealthTestWorkloadRunner::memoryThroughput(c.bytes, c.passes, {});
        EXPECT_EQ(m.testedBytes, c.testedBytes);
        EXPECT_EQ(m.passCount, c.testedPasses);
        EXPECT_GT(m.copyBytesPerSecond, 0);
    }
}

TEST(HealthTestWorkloads, NoComputePathGivesNoGraphicsRateWithItsReason) {
    DefaultQuickHealthTestWorkloadRunner runner({0.05, 1, 1 << 20}, {});
    const GPUThroughput gpu = waitFor(runner.runGPUWorkload({}));
    EXPECT_EQ(gpu.operationsPerSecond, std::nullopt);
    EXPECT_TRUE(gpu.unavailableReason);
}

TEST(CPUBenchmarkWorkloads, InputBlockFollowsItsRuleAndCompressesLosslessly) {
    const auto block = DefaultCPUBenchmarkWorkloadRunner::makeInputBlock(1 << 20);
    ASSERT_EQ(block.size(), 1u << 20);
    // The first bytes follow the rule: random low bytes at multiples of four, a pattern between them.
    uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (size_t i = 0; i < 4096; ++i) {
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        x *= 0x2545F4914F6CDD1DULL;
        const unsigned char expected = i % 4 == 0 ? (x & 0xFF) : ((i % 29 + (i >> 6)) & 0xFF);
        ASSERT_EQ(block[i], expected) << i;
    }
    std::vector<unsigned char> compressed(block.size() * 2);
    const size_t size =
        Lz4BlockCompressor::compress(block.data(), block.size(), compressed.data(), compressed.size());
    ASSERT_GT(size, 0u);
    // Every fourth byte is random, so few 4-byte matches exist: LZ4 stores most of it as literals.
    EXPECT_LT(size, block.size());
    std::vector<char> restored(block.size());
    ASSERT_EQ(LZ4_decompress_safe(reinterpret_cast<const char*>(compressed.data()), restored.data(),
                                  int(size), int(restored.size())),
              int(block.size()));
    EXPECT_EQ(0, std::memcmp(restored.data(), block.data(), block.size()));
    EXPECT_EQ(Lz4BlockCompressor::compress(block.data(), block.size(), compressed.data(), 16), 0u);
}

TEST(CPUBenchmarkWorkloads, SamplesRunTheCompressionWorkers) {
    // Small blocks and whole-second samples: a busy machine still completes some blocks in each.
    DefaultCPUBenchmarkWorkloadRunner runner(1 << 16);
    waitFor(runner.warmUp(0.05, {}).then([] { return 0; }));
    const double single = waitFor(runner.runSingleCoreSample(1.0, {}));
    const double multi = waitFor(runner.runMultiCoreSample(1.0, 2, {}));
    EXPECT_GT(single, 0);
    EXPECT_GT(multi, 0);
}
