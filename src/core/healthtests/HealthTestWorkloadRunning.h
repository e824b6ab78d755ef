#pragma once

#include "HealthTestResult.h"

#include <QFuture>
#include <QString>
#include <optional>
#include <stop_token>

namespace kestrum {

// What the graphics workload gives: a rate, or none with the reason when the platform can say why.
struct GPUThroughput {
    std::optional<double> operationsPerSecond;
    std::optional<QString> unavailableReason;
    bool operator==(const GPUThroughput&) const = default;
};

// One CPU pass: its rate and how many workers ran.
struct CPUPassMeasurement {
    double operationsPerSecond = 0;
    int workerCount = 0;
    bool operator==(const CPUPassMeasurement&) const = default;
};

// The quick test's workloads. Every call runs off the calling thread, one at a time, and ends early with
// CancellationError once `stop` is requested; failures travel in the future as KestrumError.
class QuickHealthTestWorkloadRunning {
public:
    virtual ~QuickHealthTestWorkloadRunning() = default;
    virtual QFuture<double> runCPUPass(std::stop_token stop) = 0;
    virtual QFuture<GPUThroughput> runGPUWorkload(std::stop_token stop) = 0;
    virtual QFuture<HealthTestStorageMeasurement> runStorageWorkload(std::stop_token stop) = 0;
};

// The deep test's workloads, with the sizes and durations it chooses.
class DeepHealthTestWorkloadRunning {
public:
    virtual ~DeepHealthTestWorkloadRunning() = default;
    virtual QFuture<CPUPassMeasurement> runSustainedCPUPass(double duration, int maximumWorkers,
                                                            std::stop_token stop) = 0;
    virtual QFuture<GPUThroughput> runSustainedGPUWorkload(double duration, std::stop_token stop) = 0;
    virtual QFuture<HealthTestStorageMeasurement> runStorageWorkload(uint64_t testBytes,
                                                                     std::stop_token stop) = 0;
    virtual QFuture<HealthTestMemoryMeasurement> runMemoryWorkload(uint64_t testBytes, int passCount,
                                                                   std::stop_token stop) = 0;
};

// The graphics compute workload of the platform. Runs on the calling thread (the runner's own), at least
// `minimumDuration` seconds and at least five timed rounds; the rate is the median round's. Throws
// KestrumError when the platform's compute path exists but fails to build the kernel.
class GPUComputeWorkloadRunning {
public:
    virtual ~GPUComputeWorkloadRunning() = default;
    virtual GPUThroughput measure(double minimumDuration, std::stop_token stop) = 0;
};

// For a build without any compute path: never a rate, always the same reason.
class NoGPUComputeWorkload : public GPUComputeWorkloadRunning {
public:
    GPUThroughput measure(double minimumDuration, std::stop_token stop) override;
};

// The operating system's view of this process.
class ProcessInformationProviding {
public:
    virtual ~ProcessInformationProviding() = default;
    // Processors this process may run on; at least 1.
    virtual int activeProcessorCount() const = 0;
    virtual bool isLowPowerModeEnabled() const = 0;
};

// Portable answers: every online processor, never low-power.
class StandardProcessInformation : public ProcessInformationProviding {
public:
    int activeProcessorCount() const override;
    bool isLowPowerModeEnabled() const override { return false; }
};

} // namespace kestrum
