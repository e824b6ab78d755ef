#include "FirstHealthSummaryPresentationState.h"

#include "FirstHealthSummaryJsonFields.h"

namespace kestrum {

namespace json {

template <> struct JsonRecord<FirstHealthSummaryMetadata> {
    using M = FirstHealthSummaryMetadata;
    static constexpr auto fields =
        std::tuple{field("formatVersion", &M::formatVersion), field("generatedAt", &M::generatedAt),
                   field("coverageItems", &M::coverageItems)};
};

template <> struct JsonRecord<FirstHealthSummaryAutomaticSuppression> {
    using S = FirstHealthSummaryAutomaticSuppression;
    static constexpr auto fields =
        std::tuple{field("reason", &S::reason), field("suppressedAt", &S::suppressedAt)};
};

template <> struct JsonRecord<FirstHealthSummaryPresentationState> {
    using P = FirstHealthSummaryPresentationState;
    static constexpr auto fields = std::tuple{
        field("schemaVersion", &P::schemaVersion), field("summaryMetadata", &P::summaryMetadata),
        field("firstViewedAt", &P::firstViewedAt), field("automaticSuppression", &P::automaticSuppression)};
};

} // namespace json

const QString FirstHealthSummaryPresentationState::kPreferencesKey =
    QStringLiteral("firstHealthSummary.presentationState.v1");
const QString FirstHealthSummaryPresentationState::kLegacyChecklistKey =
    QStringLiteral("activation.checklistDismissed");

void FirstHealthSummaryPresentationState::recordViewed(const FirstHealthSummary& summary, Date now) {
    if (!firstViewedAt)
        firstViewedAt = now;
    summaryMetadata =
        FirstHealthSummaryMetadata{summary.formatVersion, summary.generatedAt, summary.coverage.items};
}

FirstHealthSummaryPresentationState
FirstHealthSummaryPresentationState::load(const PreferencesStore& preferences, Date now) {
    const std::optional<PreferenceValue> stored = preferences.value(kPreferencesKey);
    if (!stored) {
        FirstHealthSummaryPresentationState state;
        if (preferences.boolValue(kLegacyChecklistKey).value_or(false))
            state.automaticSuppression = {
                FirstHealthSummaryAutomaticSuppressionReason::legacyChecklistDismissed, now};
        return state;
    }
    const auto incompatible = [now] {
        FirstHealthSummaryPresentationState state;
        state.automaticSuppression = {
            FirstHealthSummaryAutomaticSuppressionReason::incompatiblePersistedState, now};
        return state;
    };
    QByteArray bytes;
    if (const auto* data = std::get_if<QByteArray>(&*stored))
        bytes = *data;
    else if (const auto* text = std::get_if<QString>(&*stored))
        bytes = text->toUtf8();
    else
        return incompatible();
    try {
        FirstHealthSummaryPresentationState state =
            json::decode<FirstHealthSummaryPresentationState>(json::parseDocument(bytes));
        if (state.schemaVersion != kSchemaVersion)
            return incompatible();
        return state;
    } catch (const KestrumError&) {
        return incompatible();
    }
}

void FirstHealthSummaryPresentationState::save(PreferencesStore& preferences) const {
    preferences.setValue(kPreferencesKey, json::toDocumentBytes(json::encode(*this)));
}

} // namespace kestrum
