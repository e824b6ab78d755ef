#include "InterpretationJson.h"

#include "foundation/JsonCodec.h"

namespace kestrum {

namespace json {

template <> struct JsonRecord<PersonalBaseline> {
    static constexpr auto fields =
        std::tuple{field("generatedAt", &PersonalBaseline::generatedAt),
                   field("sampleCount", &PersonalBaseline::sampleCount),
                   field("observedDayCount", &PersonalBaseline::observedDayCount),
                   field("confidence", &PersonalBaseline::confidence),
                   field("medianCPUUsage", &PersonalBaseline::medianCPUUsage),
                   field("highCPUUsage", &PersonalBaseline::highCPUUsage),
                   field("medianMemoryUsage", &PersonalBaseline::medianMemoryUsage),
                   field("highMemoryUsage", &PersonalBaseline::highMemoryUsage),
                   field("medianWiFiRSSI", &PersonalBaseline::medianWiFiRSSI),
                   field("medianBatteryDrainPerHour", &PersonalBaseline::medianBatteryDrainPerHour)};
};

template <> struct JsonRecord<HealthInsight> {
    static constexpr auto fields = std::tuple{field("kind", &HealthInsight::kind),
                                              field("level", &HealthInsight::level),
                                              field("title", &HealthInsight::title),
                                              field("evidence", &HealthInsight::evidence),
                                              field("recommendation", &HealthInsight::recommendation),
                                              field("signature", &HealthInsight::signature)};
};

template <> struct JsonRecord<HealthAssessmentCoverage> {
    static constexpr auto fields =
        std::tuple{field("evaluatedSignals", &HealthAssessmentCoverage::evaluatedSignals),
                   field("unavailableSignals", &HealthAssessmentCoverage::unavailableSignals)};
};

template <> struct JsonRecord<HealthAssessment> {
    static constexpr auto fields = std::tuple{field("level", &HealthAssessment::level),
                                              field("title", &HealthAssessment::title),
                                              field("reasons", &HealthAssessment::reasons),
                                              field("recommendations", &HealthAssessment::recommendations),
                                              field("coverage", &HealthAssessment::coverage),
                                              field("confidence", &HealthAssessment::confidence)};
};

} // namespace json

QJsonValue baselineToJson(const PersonalBaseline& baseline) {
    return json::encode(baseline);
}
QJsonValue insightsToJson(const std::vector<HealthInsight>& insights) {
    return json::encode(insights);
}
QJsonValue assessmentToJson(const HealthAssessment& assessment) {
    return json::encode(assessment);
}

} // namespace kestrum
