#pragma once

#include "AdvancedTelemetryCatalogs.h"
#include "foundation/EnumTraits.h"

namespace kestrum {

// What the application offers; the sensor capabilities come last.
enum class AppCapability {
    monitoring,
    healthTests,
    benchmark,
    networkTests,
    storageMap,
    hardwareProfile,
    reports,
    advancedReadOnlyCPU,
    advancedReadOnlyGPU,
    advancedReadOnlyBattery,
    advancedReadOnlyFan,
    advancedFanControl,
};

template <> struct EnumTraits<AppCapability> {
    static constexpr std::pair<AppCapability, std::string_view> cases[] = {
        {AppCapability::monitoring, "monitoring"},
        {AppCapability::healthTests, "healthTests"},
        {AppCapability::benchmark, "benchmark"},
        {AppCapability::networkTests, "networkTests"},
        {AppCapability::storageMap, "storageMap"},
        {AppCapability::hardwareProfile, "hardwareProfile"},
        {AppCapability::reports, "reports"},
        {AppCapability::advancedReadOnlyCPU, "advancedReadOnlyCPU"},
        {AppCapability::advancedReadOnlyGPU, "advancedReadOnlyGPU"},
        {AppCapability::advancedReadOnlyBattery, "advancedReadOnlyBattery"},
        {AppCapability::advancedReadOnlyFan, "advancedReadOnlyFan"},
        {AppCapability::advancedFanControl, "advancedFanControl"},
    };
};

struct FeatureCompatibility {
    enum class Hardware { notRequired, supported, unsupported };
    enum class OperatingSystem { notRequired, supported, unsupportedMajorVersion, unsupportedBuild };

    Hardware hardware = Hardware::notRequired;
    OperatingSystem operatingSystem = OperatingSystem::notRequired;

    bool isSupported() const {
        return hardware != Hardware::unsupported &&
               operatingSystem != OperatingSystem::unsupportedMajorVersion &&
               operatingSystem != OperatingSystem::unsupportedBuild;
    }
    bool operator==(const FeatureCompatibility&) const = default;
};

template <> struct EnumTraits<FeatureCompatibility::Hardware> {
    static constexpr std::pair<FeatureCompatibility::Hardware, std::string_view> cases[] = {
        {FeatureCompatibility::Hardware::notRequired, "notRequired"},
        {FeatureCompatibility::Hardware::supported, "supported"},
        {FeatureCompatibility::Hardware::unsupported, "unsupported"},
    };
};

template <> struct EnumTraits<FeatureCompatibility::OperatingSystem> {
    static constexpr std::pair<FeatureCompatibility::OperatingSystem, std::string_view> cases[] = {
        {FeatureCompatibility::OperatingSystem::notRequired, "notRequired"},
        {FeatureCompatibility::OperatingSystem::supported, "supported"},
        {FeatureCompatibility::OperatingSystem::unsupportedMajorVersion, "unsupportedMajorVersion"},
        {FeatureCompatibility::OperatingSystem::unsupportedBuild, "unsupportedBuild"},
    };
};

struct AdvancedCapabilityCompatibilityResolver {
    static FeatureCompatibility resolve(AppCapability capability,
                                        const std::optional<AdvancedTelemetrySystemIdentity>& identity);
    // One record list against every model the identity names: the best match decides.
    static FeatureCompatibility resolve(AdvancedRecordMatch match);
    static FeatureCompatibility merge(const FeatureCompatibility& a, const FeatureCompatibility& b);
};

} // namespace kestrum
