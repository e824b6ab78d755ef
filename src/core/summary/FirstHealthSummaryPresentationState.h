#pragma once

#include "FirstHealthSummary.h"
#include "foundation/PreferencesStore.h"

namespace kestrum {

enum class FirstHealthSummaryAutomaticSuppressionReason {
    legacyChecklistDismissed,
    incompatiblePersistedState
};

template <> struct EnumTraits<FirstHealthSummaryAutomaticSuppressionReason> {
    using E = FirstHealthSummaryAutomaticSuppressionReason;
    static constexpr std::pair<E, std::string_view> cases[] = {
        {E::legacyChecklistDismissed, "legacyChecklistDismissed"},
        {E::incompatiblePersistedState, "incompatiblePersistedState"}};
};

struct FirstHealthSummaryMetadata {
    int formatVersion = FirstHealthSummary::kFormatVersion;
    Date generatedAt;
    std::vector<FirstHealthSummaryCoverageItem> coverageItems;
    bool operator==(const FirstHealthSummaryMetadata&) const = default;
};

struct FirstHealthSummaryAutomaticSuppression {
    FirstHealthSummaryAutomaticSuppressionReason reason =
        FirstHealthSummaryAutomaticSuppressionReason::incompatiblePersistedState;
    Date suppressedAt;
    bool operator==(const FirstHealthSummaryAutomaticSuppression&) const = default;
};

// When the summary was first seen, what the last one covered, and why it must not open by itself.
struct FirstHealthSummaryPresentationState {
    static constexpr int kSchemaVersion = 1;
    static const QString kPreferencesKey;     // "firstHealthSummary.presentationState.v1"
    static const QString kLegacyChecklistKey; // "activation.checklistDismissed"

    int schemaVersion = kSchemaVersion;
    std::optional<FirstHealthSummaryMetadata> summaryMetadata;
    std::optional<Date> firstViewedAt;
    std::optional<FirstHealthSummaryAutomaticSuppression> automaticSuppression;
    bool operator==(const FirstHealthSummaryPresentationState&) const = default;

    // Opens by itself only until the user has seen it once, and never when suppressed.
    bool shouldPresentAutomatically() const { return !firstViewedAt && !automaticSuppression; }
    // Remembers the first view and the summary shown.
    void recordViewed(const FirstHealthSummary& summary, Date now);

    // The stored state; a value that cannot be decoded suppresses automatic presentation (the stored value is
    // left as it is until the next save), and users who dismissed the earlier setup checklist are not shown
    // the summary unasked.
    static FirstHealthSummaryPresentationState load(const PreferencesStore& preferences, Date now);
    void save(PreferencesStore& preferences) const;
};

} // namespace kestrum
