#pragma once

#include "CPUBenchmarkWorkloadRunning.h"

#include <QThreadPool>
#include <cstdint>
#include <vector>

namespace kestrum {

// Compression throughput over one immutable input block, with one worker or many. Serial: one sample at a
// time on the runner's own thread; the workers of a sample are threads of their own.
class DefaultCPUBenchmarkWorkloadRunner : public CPUBenchmarkWorkloadRunning {
public:
    static constexpr size_t kApplicationBlockBytes = 1'048'576;
    static constexpr int kMaximumWorkers = 24;

    explicit DefaultCPUBenchmarkWorkloadRunner(size_t blockBytes = kApplicationBlockBytes);
    ~DefaultCPUBenchmarkWorkloadRunner() override;

    QFuture<void> warmUp(double duration, std::stop_token stop) override;
    QFuture<double> runSingleCoreSample(double duration, std::stop_token stop) override;
    QFuture<double> runMultiCoreSample(double duration, int workerCount, std::stop_token stop) override;

    const std::vector<unsigned char>& compressionSource() const { return m_source; }
    // Bytes per second of `workerCount` workers compressing the block until `duration` has passed, on the
    // calling thread.
    double throughput(double duration, int workerCount, std::stop_token stop) const;

    // Partly random, partly patterned, so that it compresses to a predictable, non-trivial degree.
    static std::vector<unsigned char> makeInputBlock(size_t blockBytes);

private:
    std::vector<unsigned char> m_source;
    QThreadPool m_executor;
};

} // namespace kestrum
