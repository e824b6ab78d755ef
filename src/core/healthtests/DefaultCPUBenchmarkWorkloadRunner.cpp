#include "DefaultCPUBenchmarkWorkloadRunner.h"

#include "HealthTestErrors.h"
#include "Lz4BlockCompressor.h"

#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace kestrum {

namespace {

using Clock = std::chrono::steady_clock;

struct WorkerOutcome {
    uint64_t processedBytes = 0;
    uint64_t checksum = 0;
    bool failed = false;
};

// Compresses the whole block again and again until the deadline; the output buffer is the worker's own and
// allocated once, so the loop does one compression call per block and nothing else of weight.
WorkerOutcome compressionThroughput(const std::vector<unsigned char>& source, Clock::time_point deadline,
                                    const std::stop_token& stop, std::atomic<bool>& abandon) {
    WorkerOutcome outcome;
    std::vector<unsigned char> output(source.size() * 2 + 64);
    while (Clock::now() < deadline) {
        const size_t compressed =
            Lz4BlockCompressor::compress(source.data(), source.size(), output.data(), output.size());
        if (compressed == 0) {
            outcome.failed = true;
            abandon.store(true, std::memory_order_relaxed);
            break;
        }
        outcome.processedBytes += source.size();
        outcome.checksum = compressed + outcome.checksum * 0x9E3779B185EBCA87ULL + output[0];
        if (stop.stop_requested() || abandon.load(std::memory_order_relaxed))
            break;
    }
    return outcome;
}

} // namespace

std::vector<unsigned char> DefaultCPUBenchmarkWorkloadRunner::makeInputBlock(size_t blockBytes) {
    std::vector<unsigned char> block(blockBytes);
    uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (size_t i = 0; i < blockBytes; ++i) {
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        x *= 0x2545F4914F6CDD1DULL;
        block[i] = static_cast<unsigned char>(i % 4 == 0 ? (x & 0xFF) : ((i % 29 + (i >> 6)) & 0xFF));
    }
    return block;
}

DefaultCPUBenchmarkWorkloadRunner::DefaultCPUBenchmarkWorkloadRunner(size_t blockBytes)
    : m_source(makeInputBlock(std::max<size_t>(blockBytes, 1))) {
    m_executor.setMaxThreadCount(1);
    m_executor.setObjectName(QStringLiteral("kestrum-benchmark"));
}

DefaultCPUBenchmarkWorkloadRunner::~DefaultCPUBenchmarkWorkloadRunner() {
    m_executor.waitForDone();
}

double DefaultCPUBenchmarkWorkloadRunner::throughput(double duration, int workerCount,
                                                     std::stop_token stop) const {
    if (stop.stop_requested())
        throw CancellationError();
    workerCount = std::clamp(workerCount, 1, kMaximumWorkers);
    std::vector<WorkerOutcome> outcomes(static_cast<size_t>(workerCount));
    std::atomic<bool> abandon{false};
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        start + std::chrono::nanoseconds(static_cast<int64_t>(std::max(duration, 0.0) * 1e9));
    if (workerCount == 1) {
        outcomes[0] = compressionThroughput(m_source, deadline, stop, abandon);
    } else {
        std::vector<std::jthread> workers;
        workers.reserve(outcomes.size());
        for (size_t i = 0; i < outcomes.size(); ++i)
            workers.emplace_back(
                [&, i] { outcomes[i] = compressionThroughput(m_source, deadline, stop, abandon); });
    }
    const Clock::time_point end = Clock::now();
    if (stop.stop_requested())
        throw CancellationError();
    uint64_t processed = 0;
    uint64_t checksum = 0;
    for (const WorkerOutcome& outcome : outcomes) {
        if (outcome.failed)
            throw CPUBenchmarkError::invalidWorkloadResult();
        processed += outcome.processedBytes;
        checksum ^= outcome.checksum;
    }
    [[maybe_unused]] volatile uint64_t sink = checksum;
    const double seconds =
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()) / 1e9;
    const double rate = static_cast<double>(processed) / seconds;
    if (!std::isfinite(rate) || rate <= 0)
        throw CPUBenchmarkError::invalidWorkloadResult();
    return rate;
}

QFuture<void> DefaultCPUBenchmarkWorkloadRunner::warmUp(double duration, std::stop_token stop) {
    return QtConcurrent::run(&m_executor, [this, duration, stop] { throughput(duration, 1, stop); });
}

QFuture<double> DefaultCPUBenchmarkWorkloadRunner::runSingleCoreSample(double duration,
                                                                       std::stop_token stop) {
    return QtConcurrent::run(&m_executor, [this, duration, stop] { return throughput(duration, 1, stop); });
}

QFuture<double> DefaultCPUBenchmarkWorkloadRunner::runMultiCoreSample(double duration, int workerCount,
                                                                      std::stop_token stop) {
    return QtConcurrent::run(
        &m_executor, [this, duration, workerCount, stop] { return throughput(duration, workerCount, stop); });
}

} // namespace kestrum
