#include "HealthTestDependencies.h"

#include "DefaultCPUBenchmarkWorkloadRunner.h"
#include "DefaultQuickHealthTestWorkloadRunner.h"
#include "Lz4BlockCompressor.h"
#include "monitor/MonitorCollaborators.h"

#include <QSysInfo>

namespace kestrum {

HealthTestDependencies::HealthTestDependencies(std::shared_ptr<GPUComputeWorkloadRunning> gpu,
                                               std::shared_ptr<const ProcessInformationProviding> information)
    : processInformation(information ? std::move(information)
                                     : std::make_shared<StandardProcessInformation>()) {
    // One runner serves both tests, as one serial object: their workloads never overlap.
    auto runner = std::make_shared<DefaultQuickHealthTestWorkloadRunner>(
        DefaultQuickHealthTestWorkloadRunner::Settings{},
        DefaultQuickHealthTestWorkloadRunner::Collaborators{
            gpu ? std::move(gpu) : std::make_shared<NoGPUComputeWorkload>(), processInformation, {}});
    quickHealthTestWorkloadRunner = runner;
    deepHealthTestWorkloadRunner = runner;
    cpuBenchmarkWorkloadRunner = std::make_shared<DefaultCPUBenchmarkWorkloadRunner>();
    cpuBenchmarkConfigurationProvider = [information = processInformation](CPUBenchmarkMode mode) {
        return CPUBenchmarkConfiguration::forMode(mode, information->activeProcessorCount());
    };
    architecture = QSysInfo::buildCpuArchitecture();
#ifdef NDEBUG
    buildFlavor = CPUBenchmarkBuildFlavor::release;
    // No store receipt exists on this platform: a release build is a local release.
    distributionChannel = CPUBenchmarkDistributionChannel::localRelease;
#else
    buildFlavor = CPUBenchmarkBuildFlavor::debug;
    distributionChannel = CPUBenchmarkDistributionChannel::developer;
#endif
    compressionEncoder = Lz4BlockCompressor::encoderName();
    sleeper = std::make_shared<TimerLoopSleeper>();
    monotonicClock = systemMonotonicClock();
}

} // namespace kestrum
