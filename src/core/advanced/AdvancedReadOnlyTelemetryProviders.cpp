#include "AdvancedReadOnlyTelemetryProviders.h"

#include "foundation/Translatable.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kestrum {

namespace {

QString fanNotVerified() {
    return trText("Fan telemetrisi bu model, macOS sürümü ve sistem derlemesi için doğrulanmadı.");
}
QString fanNoConnection() {
    return trText("Fan sensörüne salt okunur bağlantı kurulamadı.");
}
QString fanCounterInvalid() {
    return trText("Fan sayacı geçerli bir değer sunmadı.");
}
QString fanCountMismatch() {
    return trText("Fan sayısı doğrulanmış donanım kaydıyla eşleşmedi.");
}
QString fanModeNotVerified() {
    return trText("Fan yönetim modu salt okunur olarak doğrulanamadı.");
}
QString fanTestMode() {
    return trText("Beklenmeyen fan test modu algılandı.");
}
QString fanValueInvalid() {
    return trText("Fan sensörü geçerli bir değer sunmadı.");
}
QString fanOutOfRange() {
    return trText("Fan sensörü güvenli değer aralığının dışında.");
}

QString temperaturesNotVerified() {
    return trText("CPU/GPU sıcaklıkları bu model, macOS sürümü ve sistem derlemesi için doğrulanmadı.");
}
QString temperaturesNoConnection() {
    return trText("CPU/GPU sıcaklık sensörlerine salt okunur bağlantı kurulamadı.");
}
QString temperaturesMismatch() {
    return trText("CPU/GPU sıcaklık sensörleri doğrulanmış kayıtla eşleşmedi.");
}

FanStats unavailableFans(QString reason) {
    return FanStats{{}, MetricAvailability::unavailable(std::move(reason))};
}

ComponentTemperatureStats unavailableTemperatures(QString reason) {
    ComponentTemperatureStats stats;
    stats.availability = MetricAvailability::unavailable(std::move(reason));
    return stats;
}

std::shared_ptr<AdvancedHwmonReading> connectWhenNeeded(bool needed,
                                                        const AdvancedHwmonConnector& connector) {
    return needed && connector ? connector() : nullptr;
}

// A failure that may mean the devices were renumbered, removed or reloaded: resolve again next time.
bool suggestsChangedDevices(AdvancedHwmonFailure failure) {
    return failure == AdvancedHwmonFailure::vanished || failure == AdvancedHwmonFailure::labelChanged;
}

} // namespace

// MARK: fans

AdvancedReadOnlyFanStatsProvider::AdvancedReadOnlyFanStatsProvider(
    const std::optional<AdvancedTelemetrySystemIdentity>& identity, const AdvancedHwmonConnector& connector)
    : m_records(matchingRecords(AdvancedFanTelemetryCompatibilityCatalog::records(), identity)),
      m_connection(connectWhenNeeded(!m_records.empty(), connector)) {}

FanStats AdvancedReadOnlyFanStatsProvider::sample() {
    std::lock_guard lock(m_mutex);
    if (m_records.empty())
        return unavailableFans(fanNotVerified());
    if (!m_connection)
        return unavailableFans(fanNoConnection());

    if (!m_resolved) {
        std::vector<std::vector<AdvancedResolvedDevice>> resolved;
        for (const AdvancedFanTelemetryCompatibilityRecord& record : m_records) {
            const auto devices = m_connection->devices(record.key.modelIdentifier);
            if (devices.empty())
                return unavailableFans(fanNoConnection());
            std::vector<AdvancedResolvedDevice>& perDevice = resolved.emplace_back();
            for (const AdvancedHwmonDevice& device : devices) {
                const AdvancedHwmonResolution resolution =
                    resolveChannels(*m_connection, device, record.fanChannels);
                if (resolution.failure == AdvancedHwmonFailure::countMismatch)
                    return unavailableFans(fanCountMismatch());
                if (!resolution.succeeded())
                    return unavailableFans(fanCounterInvalid());
                if (!record.expectedFanCount.contains(int(resolution.channels.size())))
                    return unavailableFans(fanCountMismatch());
                perDevice.push_back({device, resolution.channels});
            }
        }
        m_resolved = std::move(resolved);
    }

    // Any failure below ends the sample; one that hints at changed devices also drops the resolution.
    const auto fail = [this](QString reason, AdvancedHwmonFailure failure) {
        if (suggestsChangedDevices(failure))
            m_resolved.reset();
        return unavailableFans(std::move(reason));
    };

    FanStats stats;
    for (size_t r = 0; r < m_records.size(); ++r) {
        const AdvancedFanTelemetryCompatibilityRecord& record = m_records[r];
        for (const AdvancedResolvedDevice& resolved : (*m_resolved)[r]) {
            const AdvancedHwmonDevice& device = resolved.device;
            if (!record.expectedModeAttributeFormat.isEmpty() && !resolved.channels.empty()) {
                const QString attribute =
                    channelAttribute(record.expectedModeAttributeFormat, resolved.channels.front().number);
                const AdvancedHwmonValue mode = readIntegerAttribute(*m_connection, device, attribute);
                if (!mode.raw)
                    return fail(fanModeNotVerified(), mode.failure);
            }
            for (const AdvancedHwmonChannel& channel : resolved.channels) {
                FanReading reading;
                reading.index = int(stats.readings.size());
                if (!record.expectedModeAttributeFormat.isEmpty()) {
                    const AdvancedHwmonValue mode = readIntegerAttribute(
                        *m_connection, device,
                        channelAttribute(record.expectedModeAttributeFormat, channel.number));
                    if (!mode.raw)
                        return fail(fanValueInvalid(), mode.failure);
                    if (record.forcedModeValues.contains(*mode.raw))
                        return fail(fanTestMode(), AdvancedHwmonFailure::none);
                    if (!record.manualModeValues.contains(*mode.raw) &&
                        !record.automaticModeValues.contains(*mode.raw))
                        return fail(fanValueInvalid(), AdvancedHwmonFailure::none);
                    reading.isManual = record.manualModeValues.contains(*mode.raw);
                }
                const AdvancedHwmonValue actual = readChannel(*m_connection, device, channel);
                if (!actual.raw)
                    return fail(fanValueInvalid(), actual.failure);
                reading.actualRPM = double(*actual.raw) / unitDivisor(record.expectedRPMDataType);
                const auto optionalSpeed =
                    [&](const QString& format,
                        std::optional<double>& into) -> std::optional<AdvancedHwmonFailure> {
                    if (format.isEmpty())
                        return std::nullopt;
                    const AdvancedHwmonValue value =
                        readIntegerAttribute(*m_connection, device, channelAttribute(format, channel.number));
                    if (!value.raw)
                        return value.failure;
                    into = double(*value.raw) / unitDivisor(record.expectedRPMDataType);
                    return std::nullopt;
                };
                for (const auto& [format, into] :
                     {std::pair{record.targetAttributeFormat, &reading.targetRPM},
                      std::pair{record.minimumAttributeFormat, &reading.minimumRPM},
                      std::pair{record.maximumAttributeFormat, &reading.maximumRPM}}) {
                    if (const auto failure = optionalSpeed(format, *into))
                        return fail(fanValueInvalid(), *failure);
                }
                stats.readings.push_back(reading);
            }
        }
    }

    // Range checks once every fan is read.
    size_t next = 0;
    for (const AdvancedFanTelemetryCompatibilityRecord& record : m_records) {
        size_t fans = 0;
        for (const AdvancedResolvedDevice& resolved : (*m_resolved)[size_t(&record - m_records.data())])
            fans += resolved.channels.size();
        for (size_t i = next; i < next + fans; ++i) {
            const FanReading& fan = stats.readings[i];
            if (record.expectedMinimumRPM &&
                (!fan.minimumRPM || !record.expectedMinimumRPM->contains(*fan.minimumRPM)))
                return unavailableFans(fanOutOfRange());
            if (record.expectedMaximumRPM &&
                (!fan.maximumRPM || !record.expectedMaximumRPM->contains(*fan.maximumRPM)))
                return unavailableFans(fanOutOfRange());
            if (fan.minimumRPM && fan.maximumRPM && !(*fan.maximumRPM > *fan.minimumRPM))
                return unavailableFans(fanOutOfRange());
            const ClosedRange<double> speeds = fan.maximumRPM ? ClosedRange<double>{0, *fan.maximumRPM * 1.25}
                                                              : record.safeRPMWithoutMaximum;
            if (!speeds.contains(fan.actualRPM) || (fan.targetRPM && !speeds.contains(*fan.targetRPM)))
                return unavailableFans(fanOutOfRange());
        }
        next += fans;
    }
    stats.availability = MetricAvailability::available();
    return stats;
}

// MARK: component temperatures

AdvancedReadOnlyComponentTemperatureProvider::AdvancedReadOnlyComponentTemperatureProvider(
    const std::optional<AdvancedTelemetrySystemIdentity>& identity, const AdvancedHwmonConnector& connector)
    : m_records(matchingRecords(AdvancedComponentTemperatureCompatibilityCatalog::records(), identity)),
      m_connection(connectWhenNeeded(!m_records.empty(), connector)) {}

ComponentTemperatureStats AdvancedReadOnlyComponentTemperatureProvider::sample() {
    std::lock_guard lock(m_mutex);
    if (m_records.empty())
        return unavailableTemperatures(temperaturesNotVerified());
    if (!m_connection)
        return unavailableTemperatures(temperaturesNoConnection());

    if (!m_resolved) {
        std::vector<Resolved> resolved;
        for (const AdvancedComponentTemperatureCompatibilityRecord& record : m_records) {
            const auto devices = m_connection->devices(record.key.modelIdentifier);
            if (devices.empty())
                return unavailableTemperatures(temperaturesNoConnection());
            Resolved& entry = resolved.emplace_back();
            for (const AdvancedHwmonDevice& device : devices) {
                for (auto [rules, into, failed] :
                     {std::tuple{&record.cpuChannels, &entry.cpu, &entry.cpuFailed},
                      std::tuple{&record.gpuChannels, &entry.gpu, &entry.gpuFailed}}) {
                    if (rules->empty())
                        continue;
                    const AdvancedHwmonResolution resolution = resolveChannels(*m_connection, device, *rules);
                    if (!resolution.succeeded())
                        *failed = true;
                    into->push_back({device, resolution.channels});
                }
            }
        }
        m_resolved = std::move(resolved);
    }

    // One failed channel fails its whole list: never a partial average.
    bool cpuFailed = false;
    bool gpuFailed = false;
    bool changed = false;
    std::vector<double> cpu;
    std::vector<double> gpu;
    for (size_t r = 0; r < m_records.size(); ++r) {
        const AdvancedComponentTemperatureCompatibilityRecord& record = m_records[r];
        const Resolved& entry = (*m_resolved)[r];
        cpuFailed = cpuFailed || entry.cpuFailed;
        gpuFailed = gpuFailed || entry.gpuFailed;
        for (auto [devices, values, failed] :
             {std::tuple{&entry.cpu, &cpu, &cpuFailed}, std::tuple{&entry.gpu, &gpu, &gpuFailed}}) {
            for (const AdvancedResolvedDevice& resolved : *devices) {
                for (const AdvancedHwmonChannel& channel : resolved.channels) {
                    if (*failed)
                        break;
                    const AdvancedHwmonValue value = readChannel(*m_connection, resolved.device, channel);
                    changed = changed || suggestsChangedDevices(value.failure);
                    const double celsius =
                        value.raw ? double(*value.raw) / unitDivisor(record.expectedDataType) : std::nan("");
                    if (!value.raw || !std::isfinite(celsius) ||
                        !record.validRangeCelsius.contains(celsius)) {
                        *failed = true;
                        break;
                    }
                    values->push_back(celsius);
                }
            }
        }
    }
    if (changed)
        m_resolved.reset();
    if (cpuFailed || gpuFailed)
        return unavailableTemperatures(temperaturesMismatch());

    ComponentTemperatureStats stats;
    if (!cpu.empty()) {
        stats.cpuHotspotCelsius = *std::max_element(cpu.begin(), cpu.end());
        stats.cpuAverageCelsius = std::accumulate(cpu.begin(), cpu.end(), 0.0) / double(cpu.size());
    }
    stats.cpuSensorCount = int(cpu.size());
    if (!gpu.empty()) {
        stats.gpuHotspotCelsius = *std::max_element(gpu.begin(), gpu.end());
        stats.gpuAverageCelsius = std::accumulate(gpu.begin(), gpu.end(), 0.0) / double(gpu.size());
    }
    stats.gpuSensorCount = int(gpu.size());
    stats.availability = MetricAvailability::available();
    return stats;
}

// MARK: battery

std::optional<AdvancedBatteryTelemetryCompatibilityRecord>
batteryRecordFor(const std::optional<AdvancedTelemetrySystemIdentity>& identity) {
    const auto records = matchingRecords(AdvancedBatteryTelemetryCompatibilityCatalog::records(), identity);
    if (records.empty())
        return std::nullopt;
    return records.front();
}

AdvancedBatteryTelemetryHwmonProvider::AdvancedBatteryTelemetryHwmonProvider(
    const std::optional<AdvancedTelemetrySystemIdentity>& identity, const AdvancedHwmonConnector& connector)
    : m_record(batteryRecordFor(identity)), m_connection(connectWhenNeeded(m_record.has_value(), connector)) {
}

SupplementalBatteryReading AdvancedBatteryTelemetryHwmonProvider::sample() {
    std::lock_guard lock(m_mutex);
    SupplementalBatteryReading reading;
    if (!m_record || !m_connection)
        return reading;
    const auto devices = m_connection->devices(m_record->key.modelIdentifier);
    if (devices.empty())
        return reading;
    const AdvancedHwmonDevice& device = devices.front();

    // One channel's value ÷ divisor, or nothing when the channel is missing, unreadable or not finite.
    const auto value = [&](const AdvancedHwmonChannelRule& rule, double divisor) -> std::optional<double> {
        if (!(divisor > 0) || !std::isfinite(divisor))
            return std::nullopt;
        const AdvancedHwmonResolution resolution = resolveChannels(*m_connection, device, {rule});
        if (!resolution.succeeded() || resolution.channels.empty())
            return std::nullopt;
        const AdvancedHwmonValue raw = readChannel(*m_connection, device, resolution.channels.front());
        if (!raw.raw)
            return std::nullopt;
        const double result = double(*raw.raw) / divisor;
        return std::isfinite(result) ? std::optional(result) : std::nullopt;
    };
    if (m_record->temperatureChannel) {
        const auto celsius = value(*m_record->temperatureChannel, m_record->temperatureDivisor);
        if (celsius && *celsius >= -20 && *celsius <= 100)
            reading.temperatureCelsius = celsius;
    }
    if (m_record->voltageChannel) {
        const auto volts = value(*m_record->voltageChannel, m_record->voltageDivisor);
        if (volts && *volts >= 5 && *volts <= 30)
            reading.voltageVolts = volts;
    }
    for (const AdvancedHwmonChannelRule& rule : m_record->amperageChannels) {
        const auto amps = value(rule, m_record->amperageDivisor);
        if (amps && std::abs(*amps) <= 30) {
            reading.amperageAmps = amps; // sign kept: negative while discharging
            break;
        }
    }
    return reading;
}

// MARK: graphics utilization

AdvancedGPUUtilizationHwmonProvider::AdvancedGPUUtilizationHwmonProvider(
    const std::optional<AdvancedTelemetrySystemIdentity>& identity, const AdvancedHwmonConnector& connector)
    : m_records(matchingRecords(AdvancedGPUUtilizationCompatibilityCatalog::records(), identity)),
      m_connection(connectWhenNeeded(!m_records.empty(), connector)) {}

std::optional<double> AdvancedGPUUtilizationHwmonProvider::sample() {
    if (!m_connection)
        return std::nullopt;
    std::optional<double> largest;
    for (const AdvancedGPUUtilizationCompatibilityRecord& record : m_records) {
        for (const AdvancedHwmonDevice& device : m_connection->devices(record.key.modelIdentifier)) {
            const AdvancedHwmonValue value = readIntegerAttribute(
                *m_connection, device, record.statisticsKey + QLatin1Char('/') + record.utilizationKey);
            if (!value.raw || *value.raw < 0 || *value.raw > 100)
                continue;
            const double fraction = double(*value.raw) / 100.0;
            largest = largest ? std::max(*largest, fraction) : fraction;
        }
    }
    return largest;
}

} // namespace kestrum
