#include "MonitorMetrics.h"

#include "foundation/EnumTraits.h"

namespace kestrum {

namespace {

using Type = MetricsPage::Type;

std::optional<double> ifAvailable(const MetricAvailability& availability, double value) {
    return availability.isAvailable() ? std::optional(value) : std::nullopt;
}

std::optional<double> numeric(const std::optional<int>& value) {
    return value ? std::optional<double>(*value) : std::nullopt;
}

void addProcessor(MetricsPage& page, const CPUStats& cpu) {
    const bool available = cpu.availability.isAvailable();
    page.family("kestrum_cpu_usage_ratio", Type::gauge, "Share of all processor time in use (0-1).", "ratio");
    page.sample(ifAvailable(cpu.availability, cpu.totalUsage));
    page.family("kestrum_cpu_core_usage_ratio", Type::gauge, "Share of one logical core's time in use (0-1).",
                "ratio");
    for (size_t core = 0; available && core < cpu.perCoreUsage.size(); ++core)
        page.sample(cpu.perCoreUsage[core], {{QStringLiteral("core"), QString::number(core)}});
    page.family("kestrum_cpu_load_average", Type::gauge, "Run-queue load average over the window.");
    static const char* const windows[] = {"1m", "5m", "15m"};
    for (size_t i = 0; available && i < cpu.loadAverage.size() && i < 3; ++i)
        page.sample(cpu.loadAverage[i], {{QStringLiteral("window"), QLatin1String(windows[i])}});
}

void addMemoryAndDisk(MetricsPage& page, const MemoryStats& memory, const DiskStats& disk) {
    const auto mem = [&](uint64_t bytes) { return ifAvailable(memory.availability, double(bytes)); };
    page.family("kestrum_memory_used_bytes", Type::gauge, "Memory in use.", "bytes");
    page.sample(mem(memory.usedBytes));
    page.family("kestrum_memory_total_bytes", Type::gauge, "Physical memory.", "bytes");
    page.sample(mem(memory.totalBytes));
    page.family("kestrum_memory_compressed_bytes", Type::gauge, "Memory held compressed (zram, zswap).",
                "bytes");
    page.sample(mem(memory.compressedBytes));
    page.family("kestrum_memory_swap_used_bytes", Type::gauge, "Swap in use.", "bytes");
    page.sample(mem(memory.swapUsedBytes));
    const auto dsk = [&](uint64_t bytes) { return ifAvailable(disk.availability, double(bytes)); };
    page.family("kestrum_disk_size_bytes", Type::gauge,
                "Capacity of the start-up file system a user can fill.", "bytes");
    page.sample(dsk(disk.totalBytes));
    page.family("kestrum_disk_available_bytes", Type::gauge, "Free capacity of the start-up file system.",
                "bytes");
    page.sample(dsk(disk.availableBytes));
}

void addBattery(MetricsPage& page, const BatteryStats& battery) {
    if (!battery.availability.isAvailable())
        return;
    page.family("kestrum_battery_present", Type::gauge, "1 when an internal battery is installed.");
    page.sample(battery.isPresent ? 1 : 0);
    if (battery.isConnectedToPowerAdapter) {
        page.family("kestrum_power_adapter_connected", Type::gauge, "1 while on the power adapter.");
        page.sample(*battery.isConnectedToPowerAdapter ? 1 : 0);
    }
    if (!battery.isPresent)
        return;
    page.family("kestrum_battery_charge_ratio", Type::gauge, "Battery charge (0-1).", "ratio");
    page.sample(battery.chargeFraction);
    page.family("kestrum_battery_charging", Type::gauge, "1 while the battery charges.");
    page.sample(battery.isCharging ? 1 : 0);
    page.family("kestrum_battery_time_remaining_seconds", Type::gauge,
                "Time to full while charging, to empty otherwise.", "seconds");
    if (battery.timeRemainingMinutes && *battery.timeRemainingMinutes >= 0)
        page.sample(*battery.timeRemainingMinutes * 60.0);
    page.family("kestrum_battery_temperature_celsius", Type::gauge, "Battery temperature.", "celsius");
    page.sample(battery.temperatureCelsius);
    page.family("kestrum_battery_voltage_volts", Type::gauge, "Battery voltage.", "volts");
    page.sample(battery.voltageVolts);
    page.family("kestrum_battery_current_amperes", Type::gauge,
                "Battery current, negative while discharging.", "amperes");
    page.sample(battery.amperageAmps);
}

void addNetwork(MetricsPage& page, const NetworkStats& network) {
    if (network.pathAvailability.isAvailable()) {
        page.family("kestrum_network_connected", Type::gauge, "1 while a network path is up.");
        page.sample(network.isConnected ? 1 : 0);
    }
    page.family("kestrum_network_receive_bytes_per_second", Type::gauge,
                "Download rate over the counted interfaces.", "bytes_per_second");
    page.sample(ifAvailable(network.trafficAvailability, network.downloadBytesPerSecond));
    page.family("kestrum_network_transmit_bytes_per_second", Type::gauge,
                "Upload rate over the counted interfaces.", "bytes_per_second");
    page.sample(ifAvailable(network.trafficAvailability, network.uploadBytesPerSecond));
    page.family("kestrum_wifi_signal_dbm", Type::gauge, "Wi-Fi signal strength (RSSI).", "dbm");
    page.sample(numeric(network.wifiRSSI));
    page.family("kestrum_wifi_noise_dbm", Type::gauge, "Wi-Fi noise level.", "dbm");
    page.sample(numeric(network.wifiNoise));
    page.family("kestrum_wifi_transmit_rate_bits_per_second", Type::gauge, "Wi-Fi transmit rate.",
                "bits_per_second");
    if (network.wifiTransmitRateMbps)
        page.sample(*network.wifiTransmitRateMbps * 1e6);
}

void addGraphicsAndSensors(MetricsPage& page, const SystemSnapshot& s) {
    if (s.gpu.name) {
        page.family("kestrum_gpu_info", Type::gauge, "The graphics device, by name.");
        page.sample(1, {{QStringLiteral("name"), *s.gpu.name}});
    }
    page.family("kestrum_gpu_utilization_ratio", Type::gauge, "Graphics device busy share (0-1).", "ratio");
    if (s.gpu.systemUtilizationAvailability.isAvailable())
        page.sample(s.gpu.systemUtilizationFraction);
    page.family("kestrum_gpu_memory_allocated_bytes", Type::gauge,
                "Memory the graphics device has allocated.", "bytes");
    if (s.gpu.currentMetalResourceBytes)
        page.sample(double(*s.gpu.currentMetalResourceBytes));

    const bool fans = s.fan.availability.isAvailable();
    const auto perFan = [&](const char* name, const char* help, std::optional<double> FanReading::*field) {
        page.family(name, Type::gauge, help, "rpm");
        for (size_t i = 0; fans && i < s.fan.readings.size(); ++i)
            page.sample(s.fan.readings[i].*field,
                        {{QStringLiteral("fan"), QString::number(s.fan.readings[i].index)}});
    };
    page.family("kestrum_fan_speed_rpm", Type::gauge, "Fan speed.", "rpm");
    for (size_t i = 0; fans && i < s.fan.readings.size(); ++i)
        page.sample(s.fan.readings[i].actualRPM,
                    {{QStringLiteral("fan"), QString::number(s.fan.readings[i].index)}});
    perFan("kestrum_fan_target_rpm", "Fan target speed.", &FanReading::targetRPM);
    perFan("kestrum_fan_minimum_rpm", "Fan minimum speed.", &FanReading::minimumRPM);
    perFan("kestrum_fan_maximum_rpm", "Fan maximum speed.", &FanReading::maximumRPM);

    const ComponentTemperatureStats& t = s.componentTemperatures;
    if (!t.availability.isAvailable())
        return;
    page.family("kestrum_component_temperature_celsius", Type::gauge,
                "Processor and graphics die temperatures.", "celsius");
    const auto temperature = [&](const std::optional<double>& value, const char* component,
                                 const char* statistic) {
        page.sample(value, {{QStringLiteral("component"), QLatin1String(component)},
                            {QStringLiteral("statistic"), QLatin1String(statistic)}});
    };
    temperature(t.cpuHotspotCelsius, "cpu", "hotspot");
    temperature(t.cpuAverageCelsius, "cpu", "average");
    temperature(t.gpuHotspotCelsius, "gpu", "hotspot");
    temperature(t.gpuAverageCelsius, "gpu", "average");
}

// Levels as numbers in their severity order; unavailable is absent.
std::optional<double> levelNumber(ThermalLevel level) {
    return level == ThermalLevel::unavailable ? std::nullopt : std::optional<double>(declarationIndex(level));
}
std::optional<double> levelNumber(HealthLevel level) {
    return level == HealthLevel::unavailable ? std::nullopt : std::optional<double>(declarationIndex(level));
}

void addJudgement(MetricsPage& page, const MonitorMetricsInput& input) {
    if (input.assessment) {
        page.family("kestrum_health_level", Type::gauge,
                    "Health verdict: 0 normal, 1 attention, 2 critical.");
        page.sample(levelNumber(input.assessment->level));
    }
    page.family("kestrum_insight_active", Type::gauge, "1 for each insight of the latest sample.");
    for (const HealthInsight& insight : input.insights)
        page.sample(1, {{QStringLiteral("kind"), rawValue(insight.kind)},
                        {QStringLiteral("severity"), rawValue(insight.level)},
                        {QStringLiteral("signature"), insight.signature}});
    page.family("kestrum_health_events", Type::counter,
                "Lasting health events recorded, by kind and severity.");
    for (const auto& [key, count] : input.eventTotals)
        page.sample(double(count), {{QStringLiteral("kind"), rawValue(key.first)},
                                    {QStringLiteral("severity"), rawValue(key.second)}});

    if (const auto& b = input.baseline) {
        page.family("kestrum_baseline_samples", Type::gauge,
                    "Persisted samples the personal baseline learned from.");
        page.sample(b->sampleCount);
        page.family("kestrum_baseline_state", Type::gauge, "1 for the baseline's learning state.");
        page.sample(1, {{QStringLiteral("state"), rawValue(b->confidence)}});
        page.family("kestrum_baseline_cpu_usage_ratio", Type::gauge,
                    "Personal processor use over seven days.", "ratio");
        page.sample(b->medianCPUUsage, {{QStringLiteral("quantile"), QStringLiteral("0.5")}});
        page.sample(b->highCPUUsage, {{QStringLiteral("quantile"), QStringLiteral("0.9")}});
        page.family("kestrum_baseline_memory_usage_ratio", Type::gauge,
                    "Personal memory use over seven days.", "ratio");
        page.sample(b->medianMemoryUsage, {{QStringLiteral("quantile"), QStringLiteral("0.5")}});
        page.sample(b->highMemoryUsage, {{QStringLiteral("quantile"), QStringLiteral("0.9")}});
        page.family("kestrum_baseline_wifi_signal_dbm", Type::gauge, "Median Wi-Fi signal over seven days.",
                    "dbm");
        page.sample(b->medianWiFiRSSI);
        page.family("kestrum_baseline_battery_drain_ratio_per_hour", Type::gauge,
                    "Median battery drain, share of a full charge per hour.");
        page.sample(b->medianBatteryDrainPerHour);
    }
    page.family("kestrum_test_score", Type::gauge, "Score of the latest stored result of each test (0-100).");
    for (const TestScoreMetric& result : input.latestResults)
        page.sample(result.score, {{QStringLiteral("test"), result.test}});
    page.family("kestrum_test_timestamp_seconds", Type::gauge,
                "When the latest stored result of each test ended.", "seconds");
    for (const TestScoreMetric& result : input.latestResults)
        page.sample(result.endedAt.unixSeconds(), {{QStringLiteral("test"), result.test}});
}

} // namespace

MetricsPage monitorMetricsPage(const MonitorMetricsInput& input) {
    MetricsPage page;
    if (const auto& s = input.snapshot) {
        addProcessor(page, s->cpu);
        addMemoryAndDisk(page, s->memory, s->disk);
        addBattery(page, s->battery);
        page.family("kestrum_thermal_level", Type::gauge,
                    "Thermal pressure: 0 nominal, 1 fair, 2 serious, 3 critical.");
        page.sample(levelNumber(s->thermal));
        addNetwork(page, s->network);
        addGraphicsAndSensors(page, *s);
        page.family("kestrum_sample_timestamp_seconds", Type::gauge, "When the latest sample was taken.",
                    "seconds");
        page.sample(s->timestamp.unixSeconds());
    }
    addJudgement(page, input);
    return page;
}

} // namespace kestrum
