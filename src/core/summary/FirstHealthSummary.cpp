#include "FirstHealthSummary.h"

#include "foundation/JsonCodec.h"

namespace kestrum {

namespace json {

template <> struct JsonRecord<FirstHealthSummaryFinding> {
    using F = FirstHealthSummaryFinding;
    static constexpr auto fields = std::tuple{field("kind", &F::kind),
                                              field("category", &F::category),
                                              field("urgency", &F::urgency),
                                              field("userImpact", &F::userImpact),
                                              field("confidence", &F::confidence),
                                              field("actionability", &F::actionability),
                                              field("action", &F::action),
                                              field("source", &F::source)};
};

template <> struct JsonRecord<FirstHealthSummaryCoverageItem> {
    using I = FirstHealthSummaryCoverageItem;
    static constexpr auto fields =
        std::tuple{field("category", &I::category), field("status", &I::status), field("reason", &I::reason)};
};

template <> struct JsonRecord<FirstHealthSummaryCoverage> {
    static constexpr auto fields = std::tuple{field("items", &FirstHealthSummaryCoverage::items)};
};

template <> struct JsonRecord<FirstHealthSummary> {
    using S = FirstHealthSummary;
    static constexpr auto fields =
        std::tuple{field("overallState", &S::overallState),  field("confidence", &S::confidence),
                   field("coverage", &S::coverage),          field("findings", &S::findings),
                   field("nextAction", &S::nextAction),      field("generatedAt", &S::generatedAt),
                   field("formatVersion", &S::formatVersion)};
};

} // namespace json

FirstHealthSummaryDeviceContext
FirstHealthSummaryDeviceContext::from(const std::optional<SystemSnapshot>& snapshot) {
    if (!snapshot || !snapshot->battery.availability.isAvailable())
        return {FirstHealthSummaryBatteryApplicability::unknown};
    return {snapshot->battery.isPresent ? FirstHealthSummaryBatteryApplicability::applicable
                                        : FirstHealthSummaryBatteryApplicability::notApplicable};
}

std::optional<FirstHealthSummaryCoverageItem>
FirstHealthSummaryCoverage::item(FirstHealthSummaryEvidenceCategory category) const {
    for (const FirstHealthSummaryCoverageItem& candidate : items) {
        if (candidate.category == category)
            return candidate;
    }
    return std::nullopt;
}

bool FirstHealthSummaryCoverage::isComplete() const {
    using Category = FirstHealthSummaryEvidenceCategory;
    using Status = FirstHealthSummaryCoverageStatus;
    const auto checked = [this](Category category) {
        const auto found = item(category);
        return found && found->status == Status::checked;
    };
    const auto battery = item(Category::battery);
    return checked(Category::systemHealth) && checked(Category::quickHealthTest) &&
           checked(Category::networkQuality) && battery &&
           (battery->status == Status::checked || battery->status == Status::notApplicable);
}

QJsonObject firstHealthSummaryToJson(const FirstHealthSummary& summary) {
    return json::encode(summary).toObject();
}

FirstHealthSummary firstHealthSummaryFromJson(const QJsonObject& object) {
    return json::decode<FirstHealthSummary>(object);
}

} // namespace kestrum
