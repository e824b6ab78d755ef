#pragma once

#include "HealthTestWorkloadRunning.h"

#include <QThreadPool>
#include <functional>
#include <memory>

namespace kestrum {

// The workloads of the quick and deep health tests: processor, graphics, storage and memory. Serial: one
// workload at a time on the runner's own thread (never the GUI thread, never Qt's global pool); the
// processor workload fans out to worker threads of its own.
class DefaultQuickHealthTestWorkloadRunner : public QuickHealthTestWorkloadRunning,
                                             public DeepHealthTestWorkloadRunning {
public:
    struct Settings {
        double cpuPassDuration = 4.0;
        int maximumCPUWorkers = 8;
        uint64_t storageTestBytes = 67'108'864; // 64 MiB
    };
    struct Collaborators {
        std::shared_ptr<GPUComputeWorkloadRunning> gpu = std::make_shared<NoGPUComputeWorkload>();
        std::shared_ptr<const ProcessInformationProviding> processInformation =
            std::make_shared<StandardProcessInformation>();
        // The folder whose file system the storage workload measures (the data folder).
        std::function<QString()> storageFolder;
    };

    DefaultQuickHealthTestWorkloadRunner(Settings settings, Collaborators collaborators);
    ~DefaultQuickHealthTestWorkloadRunner() override;

    QFuture<double> runCPUPass(std::stop_token stop) override;
    QFuture<GPUThroughput> runGPUWorkload(std::stop_token stop) override;
    QFuture<HealthTestStorageMeasurement> runStorageWorkload(std::stop_token stop) override;

    QFuture<CPUPassMeasurement> runSustainedCPUPass(double duration, int maximumWorkers,
                                                    std::stop_token stop) override;
    QFuture<GPUThroughput> runSustainedGPUWorkload(double duration, std::stop_token stop) override;
    QFuture<HealthTestStorageMeasurement> runStorageWorkload(uint64_t testBytes,
                                                             std::stop_token stop) override;
    QFuture<HealthTestMemoryMeasurement> runMemoryWorkload(uint64_t testBytes, int passCount,
                                                           std::stop_token stop) override;

    const Settings& settings() const { return m_settings; }

    // The workloads themselves, on the calling thread.
    // xorshift64* steps on `workers` threads until `duration` has passed.
    static CPUPassMeasurement cpuThroughput(double duration, int workers, std::stop_token stop);
    // Writes `bytes` to a new file in `folder`, syncs it, drops it from the page cache and reads it back.
    static HealthTestStorageMeasurement storageThroughput(const QString& folder, uint64_t bytes,
                                                          std::stop_token stop);
    static HealthTestMemoryMeasurement memoryThroughput(uint64_t bytes, int passCount, std::stop_token stop);
    // The name every storage workload file starts with.
    static QString temporaryFilePrefix();

private:
    Settings m_settings;
    Collaborators m_collaborators;
    QThreadPool m_executor;
};

} // namespace kestrum
