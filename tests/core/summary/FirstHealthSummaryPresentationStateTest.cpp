#include "summary/FirstHealthSummaryPresentationState.h"

#include "SummaryTestInputs.h"
#include "TestSupport.h"
#include "summary/FirstHealthSummaryBuilder.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

using State = FirstHealthSummaryPresentationState;
using Reason = FirstHealthSummaryAutomaticSuppressionReason;

TEST(SummaryPresentationState, WhatIsStoredDecidesWhetherTheSummaryOpensByItself) {
    struct Case {
        const char* name;
        std::optional<PreferenceValue> stored;
        std::optional<bool> legacyDismissed;
        std::optional<Reason> suppression;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, std::nullopt},
        {"checklist kept", std::nullopt, false, std::nullopt},
        {"checklist dismissed", std::nullopt, true, Reason::legacyChecklistDismissed},
        {"not JSON", PreferenceValue(QByteArray("{not json")), std::nullopt,
         Reason::incompatiblePersistedState},
        {"wrong type", PreferenceValue(true), std::nullopt, Reason::incompatiblePersistedState},
        {"later schema", PreferenceValue(QByteArray(R"({"schemaVersion": 2})")), std::nullopt,
         Reason::incompatiblePersistedState},
        {"unknown suppression",
         PreferenceValue(QByteArray(R"({"schemaVersion": 1, "automaticSuppression": )"
                                    R"({"reason": "other", "suppressedAt": 5}})")),
         std::nullopt, Reason::incompatiblePersistedState},
        // A stored state wins over the older checklist flag.
        {"stored and checklist dismissed", PreferenceValue(QByteArray(R"({"schemaVersion": 1})")), true,
         std::nullopt},
    };
    for (const Case& c : cases) {
        InMemoryPreferencesStore preferences;
        if (c.stored)
            preferences.setValue(State::kPreferencesKey, *c.stored);
        if (c.legacyDismissed)
            preferences.setValue(State::kLegacyChecklistKey, *c.legacyDismissed);
        const State state = State::load(preferences, kSummaryNow);
        EXPECT_EQ(state.shouldPresentAutomatically(), !c.suppression) << c.name;
        if (c.suppression) {
            ASSERT_TRUE(state.automaticSuppression) << c.name;
            EXPECT_EQ(state.automaticSuppression->reason, *c.suppression) << c.name;
            EXPECT_EQ(state.automaticSuppression->suppressedAt, kSummaryNow) << c.name;
        }
        // Loading never rewrites what was stored.
        EXPECT_EQ(preferences.value(State::kPreferencesKey), c.stored) << c.name;
    }
}

TEST(SummaryPresentationState, TheFirstViewIsKeptAndTheLatestSummaryRemembered) {
    FirstHealthSummaryInput input;
    input.generatedAt = kSummaryNow;
    const FirstHealthSummary first = FirstHealthSummaryBuilder().build(input);
    input.generatedAt = kSummaryNow.addingSeconds(600);
    const FirstHealthSummary second = FirstHealthSummaryBuilder().build(input);

    InMemoryPreferencesStore preferences;
    State state = State::load(preferences, kSummaryNow);
    state.recordViewed(first, kSummaryNow);
    state.save(preferences);
    State reloaded = State::load(preferences, kSummaryNow);
    EXPECT_EQ(reloaded, state);
    EXPECT_FALSE(reloaded.shouldPresentAutomatically());

    reloaded.recordViewed(second, kSummaryNow.addingSeconds(600));
    EXPECT_EQ(reloaded.firstViewedAt, kSummaryNow);
    ASSERT_TRUE(reloaded.summaryMetadata);
    EXPECT_EQ(reloaded.summaryMetadata->generatedAt, second.generatedAt);
    EXPECT_EQ(reloaded.summaryMetadata->coverageItems, second.coverage.items);
    EXPECT_EQ(reloaded.summaryMetadata->formatVersion, 1);

    const auto bytes = preferences.dataValue(State::kPreferencesKey);
    ASSERT_TRUE(bytes);
    for (const char* key :
         {"schemaVersion", "summaryMetadata", "firstViewedAt", "coverageItems", "generatedAt"})
        EXPECT_TRUE(bytes->contains(key)) << key;
}

} // namespace
} // namespace kestrum::test
