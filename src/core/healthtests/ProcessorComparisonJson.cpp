#include "ProcessorComparisonJson.h"

#include "foundation/JsonCodec.h"

namespace kestrum {

namespace json {

template <> struct JsonRecord<ProcessorComparison::Context> {
    static constexpr auto fields = std::tuple{field("cores", &ProcessorComparison::Context::cores),
                                              field("power", &ProcessorComparison::Context::power),
                                              field("interval", &ProcessorComparison::Context::interval)};
};

template <> struct JsonRecord<ProcessorComparison> {
    static constexpr auto fields =
        std::tuple{field("id", &ProcessorComparison::id),
                   field("phase", &ProcessorComparison::phase),
                   field("result", &ProcessorComparison::result),
                   field("invalidReason", &ProcessorComparison::invalidReason),
                   field("baselineMean", &ProcessorComparison::baselineMean),
                   field("afterMean", &ProcessorComparison::afterMean),
                   field("context", &ProcessorComparison::context),
                   field("phaseStart", &ProcessorComparison::phaseStart),
                   field("lastTick", &ProcessorComparison::lastTick),
                   field("lastDate", &ProcessorComparison::lastDate),
                   field("lastID", &ProcessorComparison::lastID),
                   field("total", &ProcessorComparison::total),
                   field("count", &ProcessorComparison::count),
                   field("firstSampleTick", &ProcessorComparison::firstSampleTick)};
};

} // namespace json

QJsonObject processorComparisonToJson(const ProcessorComparison& comparison, double tick) {
    QJsonObject object = json::encode(comparison).toObject();
    if (comparison.isActive())
        object.insert(QStringLiteral("phaseElapsed"), std::max(0.0, tick - comparison.phaseStart));
    if (const auto next = comparison.nextStep())
        object.insert(QStringLiteral("nextStep"), *next);
    return object;
}

ProcessorComparison processorComparisonFromJson(const QJsonObject& object) {
    json::JsonPath path;
    return json::decode<ProcessorComparison>(object, path);
}

} // namespace kestrum
