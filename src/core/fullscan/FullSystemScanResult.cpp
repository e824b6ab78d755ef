#include "FullSystemScanResult.h"

#include "foundation/JsonCodec.h"

#include <algorithm>

namespace kestrum::json {

template <> struct JsonRecord<FullSystemScanProgress> {
    static constexpr auto fields =
        std::tuple{field("phase", &FullSystemScanProgress::phase),
                   field("completedSteps", &FullSystemScanProgress::completedSteps),
                   field("totalSteps", &FullSystemScanProgress::totalSteps),
                   field("startedAt", &FullSystemScanProgress::startedAt),
                   field("estimatedDuration", &FullSystemScanProgress::estimatedDuration)};
};

template <> struct JsonRecord<FullSystemScanComponentResult> {
    static constexpr auto fields =
        std::tuple{field("kind", &FullSystemScanComponentResult::kind),
                   field("state", &FullSystemScanComponentResult::state),
                   field("score", &FullSystemScanComponentResult::score),
                   field("simpleExplanation", &FullSystemScanComponentResult::simpleExplanation),
                   field("technicalEvidence", &FullSystemScanComponentResult::technicalEvidence)};
};

template <> struct JsonRecord<FullSystemScanFinding> {
    static constexpr auto fields =
        std::tuple{field("id", &FullSystemScanFinding::id),
                   field("category", &FullSystemScanFinding::category),
                   field("level", &FullSystemScanFinding::level),
                   field("title", &FullSystemScanFinding::title),
                   field("simpleExplanation", &FullSystemScanFinding::simpleExplanation),
                   field("technicalEvidence", &FullSystemScanFinding::technicalEvidence),
                   field("recommendation", &FullSystemScanFinding::recommendation)};
};

template <> struct JsonRecord<FullSystemScanResult> {
    static constexpr auto fields =
        std::tuple{field("id", &FullSystemScanResult::id),
                   field("startedAt", &FullSystemScanResult::startedAt),
                   field("endedAt", &FullSystemScanResult::endedAt),
                   field("overallScore", &FullSystemScanResult::overallScore),
                   field("confidence", &FullSystemScanResult::confidence),
                   field("mode", &FullSystemScanResult::mode),
                   field("simpleSummary", &FullSystemScanResult::simpleSummary),
                   field("technicalSummary", &FullSystemScanResult::technicalSummary),
                   field("aiExplanation", &FullSystemScanResult::aiExplanation),
                   field("components", &FullSystemScanResult::components),
                   field("findings", &FullSystemScanResult::findings),
                   field("privacyNote", &FullSystemScanResult::privacyNote)};
};

} // namespace kestrum::json

namespace kestrum {

int FullSystemScanResult::completedComponentCount() const {
    return static_cast<int>(std::count_if(components.begin(), components.end(), [](const auto& c) {
        return c.state == FullSystemScanComponentState::completed;
    }));
}

bool FullSystemScanResult::isPartial() const {
    return completedComponentCount() != static_cast<int>(components.size());
}

const FullSystemScanComponentResult* FullSystemScanResult::component(FullSystemScanComponentKind kind) const {
    for (const FullSystemScanComponentResult& c : components) {
        if (c.kind == kind)
            return &c;
    }
    return nullptr;
}

QJsonValue fullSystemScanResultToJson(const FullSystemScanResult& result) {
    return json::encode(result);
}

FullSystemScanResult fullSystemScanResultFromJson(const QJsonValue& value) {
    return json::decode<FullSystemScanResult>(value);
}

QJsonValue fullSystemScanProgressToJson(const FullSystemScanProgress& progress) {
    return json::encode(progress);
}

} // namespace kestrum
