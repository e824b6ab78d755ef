#include "AdvancedCapabilityCompatibilityResolver.h"

#include "AdvancedFanSafetyController.h"

#include <algorithm>

namespace kestrum {

namespace {

template <class Record>
AdvancedRecordMatch bestMatch(const std::vector<Record>& records,
                              const std::optional<AdvancedTelemetrySystemIdentity>& identity) {
    AdvancedRecordMatch best = AdvancedRecordMatch::noRecordForModel;
    if (!identity)
        return best;
    for (const QString& model : identity->modelIdentifiers)
        best = std::max(best,
                        matchRecords(records, model, identity->kernelMajorVersion, identity->kernelSeries));
    return best;
}

// The temperature records of one side: on Linux processor and graphics sensors come from different drivers.
std::vector<AdvancedComponentTemperatureCompatibilityRecord> temperatureRecords(bool graphics) {
    std::vector<AdvancedComponentTemperatureCompatibilityRecord> out;
    for (const auto& record : AdvancedComponentTemperatureCompatibilityCatalog::records()) {
        if (!(graphics ? record.gpuChannels : record.cpuChannels).empty())
            out.push_back(record);
    }
    return out;
}

} // namespace

FeatureCompatibility AdvancedCapabilityCompatibilityResolver::resolve(AdvancedRecordMatch match) {
    using H = FeatureCompatibility::Hardware;
    using OS = FeatureCompatibility::OperatingSystem;
    switch (match) {
    case AdvancedRecordMatch::noRecordForModel:
        return {H::unsupported, OS::notRequired};
    case AdvancedRecordMatch::unsupportedMajorVersion:
        return {H::supported, OS::unsupportedMajorVersion};
    case AdvancedRecordMatch::unsupportedBuild:
        return {H::supported, OS::unsupportedBuild};
    case AdvancedRecordMatch::matched:
        break;
    }
    return {H::supported, OS::supported};
}

FeatureCompatibility AdvancedCapabilityCompatibilityResolver::merge(const FeatureCompatibility& a,
                                                                    const FeatureCompatibility& b) {
    using H = FeatureCompatibility::Hardware;
    using OS = FeatureCompatibility::OperatingSystem;
    if (a.hardware == H::unsupported || b.hardware == H::unsupported)
        return {H::unsupported, OS::notRequired};
    const auto either = [&](OS value) { return a.operatingSystem == value || b.operatingSystem == value; };
    if (either(OS::unsupportedMajorVersion))
        return {H::supported, OS::unsupportedMajorVersion};
    if (either(OS::unsupportedBuild))
        return {H::supported, OS::unsupportedBuild};
    return {H::supported, OS::supported};
}

FeatureCompatibility AdvancedCapabilityCompatibilityResolver::resolve(
    AppCapability capability, const std::optional<AdvancedTelemetrySystemIdentity>& identity) {
    switch (capability) {
    case AppCapability::advancedReadOnlyCPU:
        return resolve(bestMatch(temperatureRecords(false), identity));
    case AppCapability::advancedReadOnlyGPU:
        return merge(resolve(bestMatch(temperatureRecords(true), identity)),
                     resolve(bestMatch(AdvancedGPUUtilizationCompatibilityCatalog::records(), identity)));
    case AppCapability::advancedReadOnlyBattery:
        return resolve(bestMatch(AdvancedBatteryTelemetryCompatibilityCatalog::records(), identity));
    case AppCapability::advancedReadOnlyFan:
        return resolve(bestMatch(AdvancedFanTelemetryCompatibilityCatalog::records(), identity));
    case AppCapability::advancedFanControl:
        return resolve(bestMatch(AdvancedFanCompatibilityCatalog::releaseRecords(), identity));
    default:
        break;
    }
    return {};
}

} // namespace kestrum
