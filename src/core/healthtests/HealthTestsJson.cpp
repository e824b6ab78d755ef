#include "HealthTestsJson.h"

#include "HealthTestsJsonFields.h"

namespace kestrum {

namespace json {

namespace {

// The stored form, with the keys older results may lack.
struct StoredEnvironment {
    QString architecture;
    int activeProcessorCount = 1;
    int workerCount = 1;
    CPUBenchmarkBuildFlavor buildFlavor = CPUBenchmarkBuildFlavor::release;
    std::optional<CPUBenchmarkDistributionChannel> distributionChannel;
    CPUBenchmarkPowerSource powerSource = CPUBenchmarkPowerSource::unknown;
    bool lowPowerModeEnabled = false;
    std::optional<double> initialCPUUsage;
    ThermalLevel startThermalLevel = ThermalLevel::unavailable;
    ThermalLevel endThermalLevel = ThermalLevel::unavailable;
    std::optional<QString> compressionEncoder;
};

} // namespace

template <> struct JsonRecord<StoredEnvironment> {
    static constexpr auto fields =
        std::tuple{field("architecture", &StoredEnvironment::architecture),
                   field("activeProcessorCount", &StoredEnvironment::activeProcessorCount),
                   field("workerCount", &StoredEnvironment::workerCount),
                   field("buildFlavor", &StoredEnvironment::buildFlavor),
                   field("distributionChannel", &StoredEnvironment::distributionChannel),
                   field("powerSource", &StoredEnvironment::powerSource),
                   field("lowPowerModeEnabled", &StoredEnvironment::lowPowerModeEnabled),
                   field("initialCPUUsage", &StoredEnvironment::initialCPUUsage),
                   field("startThermalLevel", &StoredEnvironment::startThermalLevel),
                   field("endThermalLevel", &StoredEnvironment::endThermalLevel),
                   field("compressionEncoder", &StoredEnvironment::compressionEncoder)};
};

QJsonValue JsonCustom<CPUBenchmarkEnvironment>::encode(const CPUBenchmarkEnvironment& e) {
    return json::encode(StoredEnvironment{e.architecture, e.activeProcessorCount, e.workerCount,
                                          e.buildFlavor, e.distributionChannel, e.powerSource,
                                          e.lowPowerModeEnabled, e.initialCPUUsage, e.startThermalLevel,
                                          e.endThermalLevel, e.compressionEncoder});
}

CPUBenchmarkEnvironment JsonCustom<CPUBenchmarkEnvironment>::decode(const QJsonValue& value, JsonPath& path) {
    const auto s = json::decode<StoredEnvironment>(value, path);
    return {s.architecture,
            s.activeProcessorCount,
            s.workerCount,
            s.buildFlavor,
            s.distributionChannel.value_or(CPUBenchmarkDistributionChannel::legacyUnknown),
            s.powerSource,
            s.lowPowerModeEnabled,
            s.initialCPUUsage,
            s.startThermalLevel,
            s.endThermalLevel,
            s.compressionEncoder.value_or(kLegacyCompressionEncoder)};
}

} // namespace json

QJsonValue healthTestResultToJson(const HealthTestResult& result) {
    return json::encode(result);
}
QJsonValue deepHealthTestResultToJson(const DeepHealthTestResult& result) {
    return json::encode(result);
}
QJsonValue cpuBenchmarkResultToJson(const CPUBenchmarkResult& result) {
    return json::encode(result);
}
HealthTestResult healthTestResultFromJson(const QJsonValue& value) {
    return json::decode<HealthTestResult>(value);
}
DeepHealthTestResult deepHealthTestResultFromJson(const QJsonValue& value) {
    return json::decode<DeepHealthTestResult>(value);
}
CPUBenchmarkResult cpuBenchmarkResultFromJson(const QJsonValue& value) {
    return json::decode<CPUBenchmarkResult>(value);
}

} // namespace kestrum
