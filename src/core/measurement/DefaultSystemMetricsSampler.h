#pragma once

#include "StatsProviding.h"
#include "SystemMetricsSampling.h"
#include "foundation/Clocks.h"

#include <QThreadPool>
#include <functional>
#include <memory>
#include <mutex>

namespace kestrum {

// Every provider the sampler reads, in one bundle.
struct SamplerProviders {
    std::unique_ptr<CPUStatsProviding> cpu;
    std::unique_ptr<MemoryStatsProviding> memory;
    std::unique_ptr<BatteryStatsProviding> battery;
    std::unique_ptr<DiskStatsProviding> disk;
    std::unique_ptr<ThermalStatsProviding> thermal;
    std::unique_ptr<NetworkStatsProviding> network;
    std::unique_ptr<GPUStatsProviding> gpu;
    std::unique_ptr<AdvancedBatteryTelemetryProviding> advancedBatteryTelemetry;
    std::unique_ptr<AdvancedGPUUtilizationProviding> advancedGPUUtilization;
    std::unique_ptr<AdvancedFanStatsProviding> advancedFanStats;
    std::unique_ptr<AdvancedComponentTemperatureProviding> advancedComponentTemperature;
};

// Reads the providers one after the other in a fixed order, merges the supplemental sensor readings into
// the public ones and stamps the result. It is serial: `sample()` runs on the sampler's own thread and
// concurrent calls queue behind each other.
class DefaultSystemMetricsSampler : public SystemMetricsSampling {
public:
    using IdProvider = std::function<QUuid()>;

    explicit DefaultSystemMetricsSampler(SamplerProviders providers, IdProvider idProvider = {},
                                         DateProvider dateProvider = {});
    ~DefaultSystemMetricsSampler() override;

    QFuture<SystemSnapshot> sample() override;

    // The same work on the calling thread. Callers must not overlap it with `sample()`.
    SystemSnapshot sampleNow();

private:
    std::mutex m_mutex; // the actor's serialisation, also for direct sampleNow() callers
    SamplerProviders m_providers;
    IdProvider m_idProvider;
    DateProvider m_dateProvider;
    QThreadPool m_executor;
};

} // namespace kestrum
