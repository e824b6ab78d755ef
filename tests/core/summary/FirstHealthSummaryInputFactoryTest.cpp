#include "summary/FirstHealthSummaryInputFactory.h"

#include "SummaryTestInputs.h"
#include "core/monitor/StoreTestFixture.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "summary/FirstHealthSummaryStore.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

using Applicability = FirstHealthSummaryBatteryApplicability;

HealthEvent eventAged(double age, const QString& signature) {
    HealthEvent event;
    event.id = newUuid();
    event.timestamp = kSummaryNow.addingSeconds(-age);
    event.signature = signature;
    return event;
}

TEST(SummaryInputFactory, WithoutASampleThereIsNoAssessmentAndNoBatteryVerdict) {
    FirstHealthSummaryEvidence evidence;
    evidence.baselineConfidence = BaselineConfidence::established;
    const FirstHealthSummaryInput input = FirstHealthSummaryInputFactory::makeInput(evidence, kSummaryNow);
    EXPECT_FALSE(input.snapshot);
    EXPECT_FALSE(input.assessment);
    EXPECT_FALSE(input.quickTestResult);
    EXPECT_EQ(input.deviceContext.batteryApplicability, Applicability::unknown);
    EXPECT_EQ(input.historyContext.baselineConfidence, BaselineConfidence::established);
    EXPECT_EQ(input.generatedAt, kSummaryNow);
}

TEST(SummaryInputFactory, TheSnapshotIsAssessedAndTellsWhetherABatteryApplies) {
    struct Case {
        bool readable;
        bool present;
        Applicability expected;
    };
    const Case cases[] = {{true, true, Applicability::applicable},
                          {true, false, Applicability::notApplicable},
                          {false, false, Applicability::unknown},
                          {false, true, Applicability::unknown}};
    for (const Case& c : cases) {
        FirstHealthSummaryEvidence evidence;
        evidence.currentSnapshot = summarySnapshot(5, c.present);
        if (!c.readable)
            evidence.currentSnapshot->battery.availability =
                MetricAvailability::unavailable(QStringLiteral("x"));
        const FirstHealthSummaryInput input =
            FirstHealthSummaryInputFactory::makeInput(evidence, kSummaryNow);
        EXPECT_EQ(input.deviceContext.batteryApplicability, c.expected) << c.readable << c.present;
        ASSERT_TRUE(input.assessment);
        EXPECT_EQ(*input.assessment, HealthAssessmentEngine::assess(*evidence.currentSnapshot));
    }
}

TEST(SummaryInputFactory, TakesTheLatestQuickTestAndOnlyRecentEvents) {
    FirstHealthSummaryEvidence evidence;
    const HealthTestResult older = cleanQuickTest(9000);
    const HealthTestResult newest = cleanQuickTest(100);
    const HealthTestResult middle = cleanQuickTest(5000);
    evidence.quickTestResults = {older, newest, middle};
    evidence.storedEvents = {
        eventAged(90000, QStringLiteral("old")), eventAged(86400, QStringLiteral("edge")),
        eventAged(60, QStringLiteral("recent")), eventAged(-60, QStringLiteral("future"))};
    evidence.latestNetworkQualityResult = summaryNetwork(10, NetworkQualityLevel::good);
    evidence.activeInsights = {summaryInsight(HealthInsightKind::cpu, HealthLevel::attention)};
    const FirstHealthSummaryInput input = FirstHealthSummaryInputFactory::makeInput(evidence, kSummaryNow);
    ASSERT_TRUE(input.quickTestResult);
    EXPECT_EQ(input.quickTestResult->id, newest.id);
    std::vector<QString> kept;
    for (const HealthEvent& event : input.historyContext.recentValidatedEvents)
        kept.push_back(event.signature);
    EXPECT_EQ(kept, (std::vector<QString>{QStringLiteral("edge"), QStringLiteral("recent")}));
    EXPECT_EQ(input.networkQualityResult, evidence.latestNetworkQualityResult);
    EXPECT_EQ(input.activeInsights, evidence.activeInsights);

    FirstHealthSummaryFreshnessPolicy strict;
    strict.maximumHistoryEventAge = 30;
    EXPECT_TRUE(FirstHealthSummaryInputFactory::makeInput(evidence, kSummaryNow, strict)
                    .historyContext.recentValidatedEvents.empty());
}

// The store's summary: built from the monitoring store, reported to analytics once as ready.
class SummaryStoreTest : public StoreFixture {
protected:
    std::vector<QString> events;

    void SetUp() override {
        StoreFixture::SetUp();
        analyticsRecorder =
            ProductAnalyticsRecorder(ProductAnalyticsMode::optedInRemote, [this](ProductAnalyticsEvent e) {
                QStringList line{rawValue(e.name)};
                for (const auto& [key, value] : e.properties)
                    line.append(key + u'=' + value);
                events.push_back(line.join(u' '));
            });
    }
};

TEST_F(SummaryStoreTest, BeforeTheFirstSampleTheSnapshotDoesNotCount) {
    make();
    const FirstHealthSummaryInput before = FirstHealthSummaryInputFactory::makeInput(*store, now);
    EXPECT_FALSE(before.snapshot);
    refreshNow();
    const FirstHealthSummaryInput after = FirstHealthSummaryInputFactory::makeInput(*store, now);
    ASSERT_TRUE(after.snapshot);
    EXPECT_EQ(after.snapshot->id, store->currentSnapshot().id);
    EXPECT_TRUE(after.assessment);
}

TEST_F(SummaryStoreTest, RebuildsWhileShownAndReportsReadyOnce) {
    make();
    FirstHealthSummaryStore summaries(store.get(), &preferences, analyticsRecorder, [this] { return now; });
    QSignalSpy changed(&summaries, &FirstHealthSummaryStore::summaryChanged);
    refreshNow();
    EXPECT_EQ(changed.count(), 0); // not shown: nothing rebuilt behind the user's back

    summaries.setShown(true);
    ASSERT_TRUE(summaries.summary());
    EXPECT_EQ(summaries.summary()->generatedAt, now);
    EXPECT_NE(summaries.summary()->overallState, FirstHealthSummaryOverallState::insufficientEvidence);
    advance(5);
    refreshNow();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(summaries.summary()->generatedAt, now);
    EXPECT_TRUE(summaries.shouldPresentAutomatically());
    summaries.markViewed(ProductAnalyticsEntryPoint::overview);
    EXPECT_FALSE(summaries.shouldPresentAutomatically());
    EXPECT_EQ(FirstHealthSummaryPresentationState::load(preferences, now), summaries.presentationState());

    const std::vector<QString> summaryEvents = [&] {
        std::vector<QString> kept;
        for (const QString& line : events)
            if (line.startsWith(QStringLiteral("first_health_summary")))
                kept.push_back(line);
        return kept;
    }();
    EXPECT_EQ(summaryEvents,
              (std::vector<QString>{
                  QStringLiteral("first_health_summary_ready coverage=partial"),
                  QStringLiteral("first_health_summary_viewed coverage=partial entry_point=overview")}));
}

} // namespace
} // namespace kestrum::test
