// The benchmark must measure the processor, not Kestrum's overhead. This program measures, in one run and
// on the same input block:
//   1. the benchmark worker's single-core LZ4 rate against `lz4 -b1` (the reference implementation's own
//      benchmark of the same level), alternating the two so that both see the same machine;
//   2. the multi-core rate ÷ (single-core rate × workers);
//   3. the quick test's processor workload with and without the real sampler taking a sample every
//      2 seconds beside it (the monitoring cost while a test runs).
// Usage: cpu_benchmark_bench [ROUNDS] [SECONDS]   (defaults 5 and 2)

#include "LinuxProcessInformation.h"
#include "LinuxServices.h"
#include "healthtests/DefaultCPUBenchmarkWorkloadRunner.h"
#include "healthtests/DefaultQuickHealthTestWorkloadRunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using namespace kestrum;

namespace {

double threadCPUSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The compression speed `lz4 -b1` reports for the file, in bytes per second (its MB is 10^6 bytes).
std::optional<double> lz4CommandRate(const QString& file, double seconds) {
    QProcess lz4;
    lz4.setProcessChannelMode(QProcess::MergedChannels);
    lz4.start(QStringLiteral("lz4"),
              {QStringLiteral("-b1"), QStringLiteral("-i%1").arg(std::max(1, int(seconds))), file});
    if (!lz4.waitForFinished(120'000))
        return std::nullopt;
    const QString output = QString::fromUtf8(lz4.readAll()).replace(u'\r', u'\n');
    static const QRegularExpression speed(QStringLiteral("\\),\\s*([0-9.]+) MB/s"));
    std::optional<double> last;
    auto matches = speed.globalMatch(output);
    while (matches.hasNext())
        last = matches.next().captured(1).toDouble() * 1e6;
    return last;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const double seconds = argc > 2 ? std::max(0.5, atof(argv[2])) : 2.0;

    DefaultCPUBenchmarkWorkloadRunner runner;
    QTemporaryDir folder;
    const QString blockFile = folder.path() + QStringLiteral("/input-block.bin");
    {
        QFile file(blockFile);
        file.open(QIODevice::WriteOnly);
        const auto& block = runner.compressionSource();
        file.write(reinterpret_cast<const char*>(block.data()), qint64(block.size()));
    }

    // 1. Single core, alternating with the reference command.
    runner.throughput(1.0, 1, {}); // warm-up
    // The worker's rate per second of processor time it got: on a busy machine the wall-clock rate also
    // counts the time the scheduler gave to others, which `lz4 -b` hides by keeping its fastest loop.
    std::vector<double> worker, workerPerCPUSecond, command;
    for (int i = 0; i < rounds; ++i) {
        const double cpuBefore = threadCPUSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        const double rate = runner.throughput(seconds, 1, {});
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        worker.push_back(rate);
        workerPerCPUSecond.push_back(rate * wall / (threadCPUSeconds() - cpuBefore));
        if (const auto rate = lz4CommandRate(blockFile, seconds))
            command.push_back(*rate);
    }
    std::printf("input block: %zu bytes (lz4 -b1 reads the same bytes from %s)\n",
                runner.compressionSource().size(), qPrintable(blockFile));
    std::printf("single-core worker:  median %.1f MB/s wall-clock, %.1f MB/s per processor-second, over %d × "
                "%.1f s\n",
                median(worker) / 1e6, median(workerPerCPUSecond) / 1e6, rounds, seconds);
    if (!command.empty()) {
        std::printf("lz4 -b1:             median %.1f MB/s\n", median(command) / 1e6);
        std::printf("worker ÷ lz4 -b1:    %.3f wall-clock, %.3f per processor-second\n",
                    median(worker) / median(command), median(workerPerCPUSecond) / median(command));
    } else {
        std::printf("lz4 -b1:             not available (install the lz4 package)\n");
    }

    // 2. Multi-core scaling.
    const int workers = std::clamp(LinuxProcessInformation::affinityProcessorCount(), 1, 24);
    std::vector<double> single, multi;
    for (int i = 0; i < rounds; ++i) {
        single.push_back(runner.throughput(seconds, 1, {}));
        multi.push_back(runner.throughput(seconds, workers, {}));
    }
    std::printf("multi-core (%d workers): median %.1f MB/s; ÷ (single %.1f MB/s × %d) = %.3f\n", workers,
                median(multi) / 1e6, median(single) / 1e6, workers,
                median(multi) / (median(single) * workers));

    // 3. The quick test's processor workload, alone and beside the real sampler at the default interval.
    auto sampler = LinuxServices::makeSampler();
    sampler->sampleNow();
    // On a shared machine the two rates differ by whatever else runs; the processor time the sampling
    // itself took, against the processor time the pass had, is the cost that does not depend on that.
    std::vector<double> alone, monitored, samplingShare;
    for (int i = 0; i < rounds; ++i) {
        alone.push_back(
            DefaultQuickHealthTestWorkloadRunner::cpuThroughput(4.0, workers, {}).operationsPerSecond);
        std::atomic<bool> done{false};
        double samplingCPU = 0;
        std::thread monitor([&] {
            const double before = threadCPUSeconds();
            while (!done.load()) {
                sampler->sampleNow();
                for (int t = 0; t < 20 && !done.load(); ++t)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            samplingCPU = threadCPUSeconds() - before;
        });
        monitored.push_back(
            DefaultQuickHealthTestWorkloadRunner::cpuThroughput(4.0, workers, {}).operationsPerSecond);
        done = true;
        monitor.join();
        samplingShare.push_back(samplingCPU / (4.0 * workers) * 100);
    }
    std::printf("quick-test processor pass, %d workers: alone %.4g ops/s, with sampling every 2 s %.4g ops/s "
                "(%.2f %%); sampling used %.4f %% of the pass's processor time\n",
                workers, median(alone), median(monitored), (median(monitored) / median(alone) - 1) * 100,
                median(samplingShare));
    return 0;
}
