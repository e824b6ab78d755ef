#include "FirstHealthSummary.h"

#include "FirstHealthSummaryJsonFields.h"

namespace kestrum {

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
