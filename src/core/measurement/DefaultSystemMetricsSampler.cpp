#include "DefaultSystemMetricsSampler.h"

#include "foundation/Uuid.h"

#include <QtConcurrent/QtConcurrentRun>

namespace kestrum {

DefaultSystemMetricsSampler::DefaultSystemMetricsSampler(SamplerProviders providers, IdProvider idProvider,
                                                         DateProvider dateProvider)
    : m_providers(std::move(providers)),
      m_idProvider(idProvider ? std::move(idProvider) : IdProvider([] { return newUuid(); })),
      m_dateProvider(dateProvider ? std::move(dateProvider) : systemDateProvider()) {
    m_executor.setMaxThreadCount(1);
    m_executor.setExpiryTimeout(-1); // one long-lived thread instead of a new one every few seconds
}

DefaultSystemMetricsSampler::~DefaultSystemMetricsSampler() {
    m_executor.waitForDone();
}

QFuture<SystemSnapshot> DefaultSystemMetricsSampler::sample() {
    return QtConcurrent::run(&m_executor, [this] { return sampleNow(); });
}

SystemSnapshot DefaultSystemMetricsSampler::sampleNow() {
    std::lock_guard lock(m_mutex);
    SystemSnapshot snapshot;
    snapshot.cpu = m_providers.cpu->sample();
    snapshot.network = m_providers.network->sample();

    snapshot.battery = m_providers.battery->sample();
    if (snapshot.battery.isPresent) {
        // Supplemental values only fill gaps; the public description is never replaced.
        const SupplementalBatteryReading extra = m_providers.advancedBatteryTelemetry->sample();
        BatteryStats& battery = snapshot.battery;
        if (!battery.temperatureCelsius && extra.temperatureCelsius) {
            battery.temperatureCelsius = extra.temperatureCelsius;
            battery.temperatureSource = BatteryTemperatureSource::supplementalSensor;
        }
        if (!battery.voltageVolts && extra.voltageVolts) {
            battery.voltageVolts = extra.voltageVolts;
            battery.voltageSource = BatteryElectricalSource::supplementalSensor;
        }
        if (!battery.amperageAmps && extra.amperageAmps) {
            battery.amperageAmps = extra.amperageAmps;
            battery.amperageSource = BatteryElectricalSource::supplementalSensor;
        }
    }

    snapshot.gpu = m_providers.gpu->sample();
    if (!snapshot.gpu.systemUtilizationFraction) {
        if (const auto utilization = m_providers.advancedGPUUtilization->sample()) {
            snapshot.gpu.systemUtilizationFraction = utilization;
            snapshot.gpu.systemUtilizationAvailability = MetricAvailability::available();
        }
    }

    snapshot.id = m_idProvider();
    snapshot.timestamp = m_dateProvider();
    snapshot.memory = m_providers.memory->sample();
    snapshot.disk = m_providers.disk->sample();
    snapshot.thermal = m_providers.thermal->sample();
    snapshot.fan = m_providers.advancedFanStats->sample();
    snapshot.componentTemperatures = m_providers.advancedComponentTemperature->sample();
    return snapshot;
}

} // namespace kestrum
