#include "ResourceCulpritJson.h"

#include "foundation/JsonCodec.h"
#include "measurement/MeasurementJsonFields.h"

namespace kestrum {

namespace json {

template <> struct JsonRecord<ForegroundApplication> {
    static constexpr auto fields =
        std::tuple{field("name", &ForegroundApplication::name),
                   field("bundleIdentifier", &ForegroundApplication::bundleIdentifier)};
};

template <> struct JsonRecord<AppResourceSummary> {
    static constexpr auto fields =
        std::tuple{field("application", &AppResourceSummary::application),
                   field("observationCount", &AppResourceSummary::observationCount),
                   field("estimatedForegroundDuration", &AppResourceSummary::estimatedForegroundDuration),
                   field("averageCPUUsage", &AppResourceSummary::averageCPUUsage),
                   field("peakCPUUsage", &AppResourceSummary::peakCPUUsage),
                   field("averageMemoryUsage", &AppResourceSummary::averageMemoryUsage),
                   field("averageNetworkBytesPerSecond", &AppResourceSummary::averageNetworkBytesPerSecond),
                   field("elevatedThermalFraction", &AppResourceSummary::elevatedThermalFraction),
                   field("pressureScore", &AppResourceSummary::pressureScore),
                   field("impact", &AppResourceSummary::impact),
                   field("confidence", &AppResourceSummary::confidence)};
};

template <> struct JsonRecord<ResourceCulpritAnalysis> {
    static constexpr auto fields =
        std::tuple{field("startedAt", &ResourceCulpritAnalysis::startedAt),
                   field("endedAt", &ResourceCulpritAnalysis::endedAt),
                   field("observationCount", &ResourceCulpritAnalysis::observationCount),
                   field("estimatedObservedDuration", &ResourceCulpritAnalysis::estimatedObservedDuration),
                   field("applications", &ResourceCulpritAnalysis::applications)};
};

template <> struct JsonRecord<AppBatteryImpactSummary> {
    static constexpr auto fields = std::tuple{
        field("resourceSummary", &AppBatteryImpactSummary::resourceSummary),
        field("averageSystemDischargeWatts", &AppBatteryImpactSummary::averageSystemDischargeWatts),
        field("powerMeasurementCount", &AppBatteryImpactSummary::powerMeasurementCount)};
};

template <> struct JsonRecord<BatteryImpactAnalysis> {
    static constexpr auto fields =
        std::tuple{field("startedAt", &BatteryImpactAnalysis::startedAt),
                   field("endedAt", &BatteryImpactAnalysis::endedAt),
                   field("observationCount", &BatteryImpactAnalysis::observationCount),
                   field("powerMeasurementCount", &BatteryImpactAnalysis::powerMeasurementCount),
                   field("estimatedObservedDuration", &BatteryImpactAnalysis::estimatedObservedDuration),
                   field("applications", &BatteryImpactAnalysis::applications)};
};

template <> struct JsonRecord<ApplicationUsage> {
    static constexpr auto fields = std::tuple{field("applicationID", &ApplicationUsage::applicationID),
                                              field("name", &ApplicationUsage::name),
                                              field("unitCount", &ApplicationUsage::unitCount),
                                              field("cpuTimeSeconds", &ApplicationUsage::cpuTimeSeconds),
                                              field("recentCPUCores", &ApplicationUsage::recentCPUCores),
                                              field("memoryBytes", &ApplicationUsage::memoryBytes),
                                              field("diskReadBytes", &ApplicationUsage::diskReadBytes),
                                              field("diskWrittenBytes", &ApplicationUsage::diskWrittenBytes)};
};

template <> struct JsonRecord<ApplicationUsageReport> {
    static constexpr auto fields = std::tuple{field("availability", &ApplicationUsageReport::availability),
                                              field("diskSource", &ApplicationUsageReport::diskSource),
                                              field("applications", &ApplicationUsageReport::applications)};
};

template <> struct JsonRecord<ResourceCulpritReport> {
    static constexpr auto fields =
        std::tuple{field("consented", &ResourceCulpritReport::consented),
                   field("sampleInterval", &ResourceCulpritReport::sampleInterval),
                   field("foregroundAvailability", &ResourceCulpritReport::foregroundAvailability),
                   field("analysis", &ResourceCulpritReport::analysis),
                   field("batteryImpact", &ResourceCulpritReport::batteryImpact),
                   field("applicationUsage", &ResourceCulpritReport::applicationUsage)};
};

} // namespace json

QJsonObject ResourceCulpritReport::toJson() const {
    QJsonObject object = json::encode(*this).toObject();
    // The derived values a script would otherwise recompute.
    QJsonObject analysisObject = object.value(QStringLiteral("analysis")).toObject();
    if (const auto leading = analysis.leadingCandidate())
        analysisObject.insert(QStringLiteral("leadingCandidate"), leading->id());
    object.insert(QStringLiteral("analysis"), analysisObject);
    return object;
}

ResourceCulpritReport ResourceCulpritReport::fromJson(const QJsonObject& object) {
    json::JsonPath path;
    return json::decode<ResourceCulpritReport>(object, path);
}

} // namespace kestrum
