#pragma once

#include <QFuture>
#include <stop_token>

namespace kestrum {

// The benchmark's compression workload. Every call runs off the calling thread, one at a time, returns
// bytes per second, and ends early with CancellationError once `stop` is requested.
class CPUBenchmarkWorkloadRunning {
public:
    virtual ~CPUBenchmarkWorkloadRunning() = default;
    // One worker; the rate is discarded.
    virtual QFuture<void> warmUp(double duration, std::stop_token stop) = 0;
    virtual QFuture<double> runSingleCoreSample(double duration, std::stop_token stop) = 0;
    virtual QFuture<double> runMultiCoreSample(double duration, int workerCount, std::stop_token stop) = 0;
};

} // namespace kestrum
