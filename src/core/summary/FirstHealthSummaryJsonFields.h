#pragma once

// JSON field lists of the summary records. Include only in .cpp files.

#include "FirstHealthSummary.h"
#include "foundation/JsonCodec.h"

namespace kestrum::json {

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

} // namespace kestrum::json
