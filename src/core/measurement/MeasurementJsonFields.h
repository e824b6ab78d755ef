#pragma once

// JSON field lists of the measurement records. Include only in .cpp files.

#include "RawReadings.h"
#include "SystemSnapshot.h"
#include "foundation/JsonCodec.h"

namespace kestrum::json {

// {"state": "available"} or {"state": "unavailable", "reason": "…"}.
template <> struct JsonCustom<MetricAvailability> {
    static QJsonValue encode(const MetricAvailability& availability);
    static MetricAvailability decode(const QJsonValue& value, JsonPath& path);
};

template <> struct JsonRecord<CPUStats> {
    static constexpr auto fields = std::tuple{
        field("totalUsage", &CPUStats::totalUsage), field("perCoreUsage", &CPUStats::perCoreUsage),
        field("loadAverage", &CPUStats::loadAverage), field("availability", &CPUStats::availability)};
};

template <> struct JsonRecord<MemoryStats> {
    static constexpr auto fields =
        std::tuple{field("usedBytes", &MemoryStats::usedBytes), field("totalBytes", &MemoryStats::totalBytes),
                   field("compressedBytes", &MemoryStats::compressedBytes),
                   field("swapUsedBytes", &MemoryStats::swapUsedBytes),
                   field("availability", &MemoryStats::availability)};
};

template <> struct JsonRecord<DiskStats> {
    static constexpr auto fields = std::tuple{field("totalBytes", &DiskStats::totalBytes),
                                              field("availableBytes", &DiskStats::availableBytes),
                                              field("availability", &DiskStats::availability)};
};

template <> struct JsonRecord<BatteryStats> {
    static constexpr auto fields =
        std::tuple{field("isPresent", &BatteryStats::isPresent),
                   field("chargeFraction", &BatteryStats::chargeFraction),
                   field("isCharging", &BatteryStats::isCharging),
                   field("isFullyCharged", &BatteryStats::isFullyCharged),
                   field("timeRemainingMinutes", &BatteryStats::timeRemainingMinutes),
                   field("healthCondition", &BatteryStats::healthCondition),
                   field("temperatureCelsius", &BatteryStats::temperatureCelsius),
                   field("temperatureSource", &BatteryStats::temperatureSource),
                   field("voltageVolts", &BatteryStats::voltageVolts),
                   field("voltageSource", &BatteryStats::voltageSource),
                   field("amperageAmps", &BatteryStats::amperageAmps),
                   field("amperageSource", &BatteryStats::amperageSource),
                   field("isConnectedToPowerAdapter", &BatteryStats::isConnectedToPowerAdapter),
                   field("availability", &BatteryStats::availability)};
};

template <> struct JsonRecord<WiFiConnectionDetails> {
    static constexpr auto fields =
        std::tuple{field("interfaceName", &WiFiConnectionDetails::interfaceName),
                   field("networkName", &WiFiConnectionDetails::networkName),
                   field("accessPointIdentifier", &WiFiConnectionDetails::accessPointIdentifier),
                   field("standard", &WiFiConnectionDetails::standard),
                   field("band", &WiFiConnectionDetails::band),
                   field("channelWidthMHz", &WiFiConnectionDetails::channelWidthMHz),
                   field("security", &WiFiConnectionDetails::security),
                   field("countryCode", &WiFiConnectionDetails::countryCode)};
};

template <> struct JsonRecord<NetworkConnectionDetails> {
    static constexpr auto fields =
        std::tuple{field("primaryInterfaceName", &NetworkConnectionDetails::primaryInterfaceName),
                   field("localIPv4Address", &NetworkConnectionDetails::localIPv4Address),
                   field("localIPv6Address", &NetworkConnectionDetails::localIPv6Address),
                   field("routerIPv4Address", &NetworkConnectionDetails::routerIPv4Address),
                   field("routerIPv6Address", &NetworkConnectionDetails::routerIPv6Address),
                   field("dnsServerAddresses", &NetworkConnectionDetails::dnsServerAddresses)};
};

template <> struct JsonRecord<NetworkStats> {
    static constexpr auto fields =
        std::tuple{field("isConnected", &NetworkStats::isConnected),
                   field("interfaceKind", &NetworkStats::interfaceKind),
                   field("downloadBytesPerSecond", &NetworkStats::downloadBytesPerSecond),
                   field("uploadBytesPerSecond", &NetworkStats::uploadBytesPerSecond),
                   field("supportsIPv4", &NetworkStats::supportsIPv4),
                   field("supportsIPv6", &NetworkStats::supportsIPv6),
                   field("supportsDNS", &NetworkStats::supportsDNS),
                   field("isExpensive", &NetworkStats::isExpensive),
                   field("isConstrained", &NetworkStats::isConstrained),
                   field("wifiRSSI", &NetworkStats::wifiRSSI),
                   field("wifiNoise", &NetworkStats::wifiNoise),
                   field("wifiTransmitRateMbps", &NetworkStats::wifiTransmitRateMbps),
                   field("wifiChannel", &NetworkStats::wifiChannel),
                   field("wifiConnectionDetails", &NetworkStats::wifiConnectionDetails),
                   field("connectionDetails", &NetworkStats::connectionDetails),
                   field("pathAvailability", &NetworkStats::pathAvailability),
                   field("trafficAvailability", &NetworkStats::trafficAvailability)};
};

template <> struct JsonRecord<GPUStats> {
    static constexpr auto fields =
        std::tuple{field("name", &GPUStats::name), field("hasUnifiedMemory", &GPUStats::hasUnifiedMemory),
                   field("currentMetalResourceBytes", &GPUStats::currentMetalResourceBytes),
                   field("systemUtilizationFraction", &GPUStats::systemUtilizationFraction),
                   field("systemUtilizationAvailability", &GPUStats::systemUtilizationAvailability)};
};

template <> struct JsonRecord<FanReading> {
    static constexpr auto fields =
        std::tuple{field("index", &FanReading::index),           field("actualRPM", &FanReading::actualRPM),
                   field("targetRPM", &FanReading::targetRPM),   field("minimumRPM", &FanReading::minimumRPM),
                   field("maximumRPM", &FanReading::maximumRPM), field("isManual", &FanReading::isManual)};
};

template <> struct JsonRecord<FanStats> {
    static constexpr auto fields =
        std::tuple{field("readings", &FanStats::readings), field("availability", &FanStats::availability)};
};

template <> struct JsonRecord<ComponentTemperatureStats> {
    static constexpr auto fields =
        std::tuple{field("cpuHotspotCelsius", &ComponentTemperatureStats::cpuHotspotCelsius),
                   field("cpuAverageCelsius", &ComponentTemperatureStats::cpuAverageCelsius),
                   field("cpuSensorCount", &ComponentTemperatureStats::cpuSensorCount),
                   field("gpuHotspotCelsius", &ComponentTemperatureStats::gpuHotspotCelsius),
                   field("gpuAverageCelsius", &ComponentTemperatureStats::gpuAverageCelsius),
                   field("gpuSensorCount", &ComponentTemperatureStats::gpuSensorCount),
                   field("availability", &ComponentTemperatureStats::availability)};
};

template <> struct JsonRecord<SystemSnapshot> {
    static constexpr auto fields =
        std::tuple{field("id", &SystemSnapshot::id),
                   field("timestamp", &SystemSnapshot::timestamp),
                   field("cpu", &SystemSnapshot::cpu),
                   field("memory", &SystemSnapshot::memory),
                   field("battery", &SystemSnapshot::battery),
                   field("disk", &SystemSnapshot::disk),
                   field("thermal", &SystemSnapshot::thermal),
                   field("network", &SystemSnapshot::network),
                   field("gpu", &SystemSnapshot::gpu),
                   field("fan", &SystemSnapshot::fan),
                   field("componentTemperatures", &SystemSnapshot::componentTemperatures)};
};

} // namespace kestrum::json
