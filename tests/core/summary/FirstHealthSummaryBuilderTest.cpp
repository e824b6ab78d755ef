#include "summary/FirstHealthSummaryBuilder.h"

#include "SummaryTestInputs.h"
#include "TestSupport.h"
#include "summary/FirstHealthSummaryPresentationPolicy.h"

#include <gtest/gtest.h>

namespace kestrum::test {
namespace {

using Category = FirstHealthSummaryEvidenceCategory;
using Status = FirstHealthSummaryCoverageStatus;
using Reason = FirstHealthSummaryCoverageReason;
using Kind = FirstHealthSummaryFindingKind;
using Urgency = FirstHealthSummaryFindingUrgency;
using Impact = FirstHealthSummaryUserImpact;
using Confidence = FirstHealthSummaryConfidence;
using Actionability = FirstHealthSummaryActionability;
using Action = FirstHealthSummaryAction;
using Source = FirstHealthSummaryEvidenceSource;
using State = FirstHealthSummaryOverallState;
using Applicability = FirstHealthSummaryBatteryApplicability;

FirstHealthSummary build(const FirstHealthSummaryInput& input) {
    return FirstHealthSummaryBuilder().build(input);
}

FirstHealthSummaryCoverageItem itemOf(const FirstHealthSummary& summary, Category category) {
    const auto item = summary.coverage.item(category);
    EXPECT_TRUE(item.has_value()) << rawValue(category).toStdString();
    return item.value_or(FirstHealthSummaryCoverageItem{});
}

TEST(SummaryBuilder, NothingToGoOnIsNeverGoodNews) {
    struct Case {
        Applicability applicability;
        FirstHealthSummaryCoverageItem battery;
    };
    const Case cases[] = {
        {Applicability::unknown, {Category::battery, Status::unavailable, Reason::missingMeasurement}},
        {Applicability::notApplicable, {Category::battery, Status::notApplicable, Reason::noBattery}},
        {Applicability::applicable, {Category::battery, Status::unavailable, Reason::missingMeasurement}},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input;
        input.generatedAt = kSummaryNow;
        input.deviceContext.batteryApplicability = c.applicability;
        const FirstHealthSummary summary = build(input);
        EXPECT_EQ(summary.overallState, State::insufficientEvidence);
        EXPECT_EQ(summary.confidence, Confidence::limited);
        EXPECT_TRUE(summary.findings.empty());
        EXPECT_EQ(summary.nextAction, Action::retryLiveMeasurement);
        EXPECT_EQ(summary.generatedAt, kSummaryNow);
        EXPECT_EQ(summary.formatVersion, 1);
        const std::vector<FirstHealthSummaryCoverageItem> expected = {
            {Category::systemHealth, Status::unavailable, Reason::missingMeasurement},
            {Category::quickHealthTest, Status::skipped, Reason::notRun},
            {Category::networkQuality, Status::skipped, Reason::notRun},
            c.battery};
        EXPECT_EQ(summary.coverage.items, expected) << rawValue(c.applicability).toStdString();
    }
}

TEST(SummaryBuilder, FreshnessEndsExactlyAtEachLimitAndExcludesTheFuture) {
    struct Case {
        double snapshotAge, quickAge, networkAge;
        Status system, quick, network;
    };
    const Case cases[] = {
        {300, 604800, 86400, Status::checked, Status::checked, Status::checked},
        {301, 604801, 86401, Status::stale, Status::stale, Status::stale},
        {-1, -1, -1, Status::stale, Status::stale, Status::stale},
        {0, 0, 0, Status::checked, Status::checked, Status::checked},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = completeInput();
        input.snapshot = summarySnapshot(c.snapshotAge);
        input.quickTestResult = cleanQuickTest(c.quickAge);
        input.networkQualityResult = summaryNetwork(c.networkAge, NetworkQualityLevel::good);
        const FirstHealthSummary summary = build(input);
        EXPECT_EQ(itemOf(summary, Category::systemHealth).status, c.system) << c.snapshotAge;
        EXPECT_EQ(itemOf(summary, Category::quickHealthTest).status, c.quick) << c.quickAge;
        EXPECT_EQ(itemOf(summary, Category::networkQuality).status, c.network) << c.networkAge;
        EXPECT_EQ(itemOf(summary, Category::battery).status,
                  c.system == Status::stale ? Status::stale : Status::checked);
    }
}

TEST(SummaryBuilder, CoverageOfEachEvidenceArea) {
    struct Case {
        const char* name;
        std::function<void(FirstHealthSummaryInput&)> change;
        Category category;
        FirstHealthSummaryCoverageItem expected;
    };
    const auto item = [](Category category, Status status, std::optional<Reason> reason = {}) {
        return FirstHealthSummaryCoverageItem{category, status, reason};
    };
    const Case cases[] = {
        {"some signals unreadable",
         [](auto& in) {
             in.assessment = summaryAssessment(HealthLevel::normal, HealthAssessmentConfidence::medium, 3, 1);
         },
         Category::systemHealth,
         item(Category::systemHealth, Status::partiallyChecked, Reason::incompleteMeasurement)},
        {"no assessment", [](auto& in) { in.assessment.reset(); }, Category::systemHealth,
         item(Category::systemHealth, Status::unavailable, Reason::missingMeasurement)},
        {"nothing evaluated",
         [](auto& in) {
             in.assessment = summaryAssessment(HealthLevel::normal, HealthAssessmentConfidence::high, 0, 4);
         },
         Category::systemHealth,
         item(Category::systemHealth, Status::unavailable, Reason::missingMeasurement)},
        {"quick test without a storage score",
         [](auto& in) {
             in.quickTestResult = summaryQuickTest(60, HealthTestConfidence::high,
                                                   {{HealthTestComponentKind::battery, 90},
                                                    {HealthTestComponentKind::thermal, 90},
                                                    {HealthTestComponentKind::memory, 90},
                                                    {HealthTestComponentKind::storage, std::nullopt},
                                                    {HealthTestComponentKind::stability, 90}});
         },
         Category::quickHealthTest,
         item(Category::quickHealthTest, Status::partiallyChecked, Reason::incompleteMeasurement)},
        {"quick test without a battery score on a machine with one",
         [](auto& in) {
             in.quickTestResult = summaryQuickTest(60, HealthTestConfidence::high,
                                                   {{HealthTestComponentKind::thermal, 90},
                                                    {HealthTestComponentKind::memory, 90},
                                                    {HealthTestComponentKind::storage, 90},
                                                    {HealthTestComponentKind::stability, 90}});
         },
         Category::quickHealthTest,
         item(Category::quickHealthTest, Status::partiallyChecked, Reason::incompleteMeasurement)},
        {"quick test without a battery score on a machine without one",
         [](auto& in) {
             in.deviceContext.batteryApplicability = Applicability::notApplicable;
             in.quickTestResult = summaryQuickTest(60, HealthTestConfidence::high,
                                                   {{HealthTestComponentKind::thermal, 90},
                                                    {HealthTestComponentKind::memory, 90},
                                                    {HealthTestComponentKind::storage, 90},
                                                    {HealthTestComponentKind::stability, 90}});
         },
         Category::quickHealthTest, item(Category::quickHealthTest, Status::checked)},
        {"no network test, connected", [](auto& in) { in.networkQualityResult.reset(); },
         Category::networkQuality, item(Category::networkQuality, Status::skipped, Reason::notRun)},
        {"no network test, offline",
         [](auto& in) {
             in.networkQualityResult.reset();
             in.snapshot = summarySnapshot(10, true, false);
         },
         Category::networkQuality, item(Category::networkQuality, Status::skipped, Reason::offline)},
        {"no network test, path unreadable",
         [](auto& in) {
             in.networkQualityResult.reset();
             in.snapshot->network.pathAvailability = MetricAvailability::unavailable(QStringLiteral("x"));
         },
         Category::networkQuality,
         item(Category::networkQuality, Status::unavailable, Reason::missingMeasurement)},
        {"no network test, stale snapshot offline",
         [](auto& in) {
             in.networkQualityResult.reset();
             in.snapshot = summarySnapshot(400, true, false);
         },
         Category::networkQuality, item(Category::networkQuality, Status::skipped, Reason::notRun)},
        {"battery health blank",
         [](auto& in) { in.snapshot->battery.healthCondition = QStringLiteral(" \n\t"); }, Category::battery,
         item(Category::battery, Status::partiallyChecked, Reason::incompleteMeasurement)},
        {"battery health absent", [](auto& in) { in.snapshot->battery.healthCondition.reset(); },
         Category::battery, item(Category::battery, Status::partiallyChecked, Reason::incompleteMeasurement)},
        {"battery unreadable now",
         [](auto& in) {
             in.snapshot->battery.availability = MetricAvailability::unavailable(QStringLiteral("x"));
         },
         Category::battery, item(Category::battery, Status::unavailable, Reason::missingMeasurement)},
        {"battery applicable without a snapshot", [](auto& in) { in.snapshot.reset(); }, Category::battery,
         item(Category::battery, Status::unavailable, Reason::missingMeasurement)},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = completeInput();
        c.change(input);
        EXPECT_EQ(itemOf(build(input), c.category), c.expected) << c.name;
    }
}

TEST(SummaryBuilder, QuickTestComponentsBecomeFindingsBelowSeventyFive) {
    struct Case {
        HealthTestComponentKind kind;
        int score;
        bool recommends;
        std::optional<FirstHealthSummaryFinding> expected;
    };
    const auto finding = [](Kind kind, FirstHealthSummaryFindingCategory category, Urgency urgency,
                            Impact impact, Actionability actionability, Action action) {
        return FirstHealthSummaryFinding{kind,
                                         category,
                                         urgency,
                                         impact,
                                         Confidence::moderate,
                                         actionability,
                                         action,
                                         Source::quickHealthTest};
    };
    using FC = FirstHealthSummaryFindingCategory;
    const Case cases[] = {
        {HealthTestComponentKind::storage, 74, true,
         finding(Kind::lowStorage, FC::storage, Urgency::attention, Impact::high, Actionability::guided,
                 Action::freeDiskSpace)},
        {HealthTestComponentKind::storage, 75, true, std::nullopt},
        {HealthTestComponentKind::storage, 60, false, std::nullopt},
        {HealthTestComponentKind::thermal, 49, true,
         finding(Kind::thermalPressure, FC::thermal, Urgency::safety, Impact::high, Actionability::immediate,
                 Action::stopIntensiveWorkAndCool)},
        {HealthTestComponentKind::thermal, 50, true,
         finding(Kind::thermalPressure, FC::thermal, Urgency::attention, Impact::high, Actionability::guided,
                 Action::stopIntensiveWorkAndCool)},
        {HealthTestComponentKind::memory, 49, true,
         finding(Kind::memoryPressure, FC::memory, Urgency::concern, Impact::high, Actionability::immediate,
                 Action::reduceSystemLoad)},
        {HealthTestComponentKind::battery, 10, true,
         finding(Kind::batteryCondition, FC::battery, Urgency::concern, Impact::high,
                 Actionability::immediate, Action::reviewBatteryCondition)},
        {HealthTestComponentKind::stability, 70, true,
         finding(Kind::reducedStability, FC::stability, Urgency::attention, Impact::moderate,
                 Actionability::guided, Action::rerunQuickHealthTestAfterRestart)},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = liveInput();
        std::vector<ComponentSpec> components;
        for (const HealthTestComponentKind kind : allCases<HealthTestComponentKind>())
            components.push_back({kind, kind == c.kind ? c.score : 90, c.recommends});
        input.quickTestResult = summaryQuickTest(60, HealthTestConfidence::medium, components);
        const FirstHealthSummary summary = build(input);
        const std::string where = rawValue(c.kind).toStdString() + " " + std::to_string(c.score);
        if (!c.expected) {
            EXPECT_TRUE(summary.findings.empty()) << where;
            continue;
        }
        ASSERT_EQ(summary.findings.size(), 1u) << where;
        EXPECT_EQ(summary.findings.front(), *c.expected) << where;
        EXPECT_EQ(summary.nextAction, *c.expected->action) << where;
    }
}

TEST(SummaryBuilder, PersonalCapacityNeedsAReferenceConfidenceAndAShortfall) {
    struct Case {
        std::optional<int> percent;
        bool hasReference;
        HealthTestConfidence confidence;
        bool expected;
    };
    const Case cases[] = {
        {79, true, HealthTestConfidence::medium, true},
        {80, true, HealthTestConfidence::medium, false},
        {60, false, HealthTestConfidence::high, false},
        {60, true, HealthTestConfidence::low, false},
        {std::nullopt, true, HealthTestConfidence::high, false},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = completeInput();
        input.quickTestResult = cleanQuickTest(60, c.confidence);
        input.quickTestResult->personalCapacityPercent = c.percent;
        if (c.hasReference)
            input.quickTestResult->capacityReferenceID = newUuid();
        const FirstHealthSummary summary = build(input);
        ASSERT_EQ(summary.findings.size(), c.expected ? 1u : 0u) << c.percent.value_or(-1);
        if (c.expected) {
            EXPECT_EQ(
                summary.findings.front(),
                (FirstHealthSummaryFinding{
                    Kind::personalCapacityBelowReference, FirstHealthSummaryFindingCategory::personalCapacity,
                    Urgency::attention, Impact::moderate, Confidence::moderate, Actionability::guided,
                    Action::rerunQuickHealthTestAfterRestart, Source::quickHealthTest}));
            EXPECT_EQ(summary.overallState, State::attention);
        }
    }
}

TEST(SummaryBuilder, NetworkFindingConfidenceFollowsTheProbes) {
    struct Case {
        NetworkQualityLevel quality;
        int attempted, successful;
        std::optional<Confidence> expected;
    };
    const Case cases[] = {
        {NetworkQualityLevel::fair, 6, 2, Confidence::limited},
        {NetworkQualityLevel::fair, 6, 6, Confidence::high},
        {NetworkQualityLevel::poor, 4, 4, Confidence::moderate},
        {NetworkQualityLevel::poor, 6, 3, Confidence::moderate},
        {NetworkQualityLevel::poor, 0, 0, Confidence::limited},
        {NetworkQualityLevel::good, 6, 6, std::nullopt},
        {NetworkQualityLevel::excellent, 6, 1, std::nullopt},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = liveInput();
        input.networkQualityResult = summaryNetwork(60, c.quality, c.attempted, c.successful);
        const FirstHealthSummary summary = build(input);
        const std::string where = std::to_string(c.successful) + "/" + std::to_string(c.attempted);
        ASSERT_EQ(summary.findings.size(), c.expected ? 1u : 0u) << where;
        if (c.expected) {
            EXPECT_EQ(summary.findings.front().kind, Kind::poorNetworkQuality);
            EXPECT_EQ(summary.findings.front().source, Source::networkQualityTest);
            EXPECT_EQ(summary.findings.front().confidence, *c.expected) << where;
            EXPECT_EQ(summary.nextAction, Action::improveNetworkConditions);
        }
    }
}

TEST(SummaryBuilder, InsightsMapToFindingsWithTheirOwnConfidence) {
    struct Case {
        HealthInsightKind kind;
        HealthLevel level;
        Kind findingKind;
        Urgency urgency;
        Actionability actionability;
        Confidence confidence; // assessment medium, baseline learning
    };
    const Case cases[] = {
        {HealthInsightKind::thermal, HealthLevel::critical, Kind::thermalPressure, Urgency::safety,
         Actionability::immediate, Confidence::moderate},
        {HealthInsightKind::thermal, HealthLevel::attention, Kind::thermalPressure, Urgency::attention,
         Actionability::guided, Confidence::moderate},
        {HealthInsightKind::disk, HealthLevel::critical, Kind::lowStorage, Urgency::concern,
         Actionability::immediate, Confidence::moderate},
        {HealthInsightKind::memory, HealthLevel::critical, Kind::memoryPressure, Urgency::concern,
         Actionability::guided, Confidence::moderate},
        {HealthInsightKind::cpu, HealthLevel::attention, Kind::processorPressure, Urgency::attention,
         Actionability::guided, Confidence::limited},
        {HealthInsightKind::wifi, HealthLevel::attention, Kind::weakWiFi, Urgency::attention,
         Actionability::guided, Confidence::limited},
        {HealthInsightKind::battery, HealthLevel::attention, Kind::batteryCondition, Urgency::attention,
         Actionability::guided, Confidence::moderate},
        {HealthInsightKind::network, HealthLevel::attention, Kind::poorNetworkQuality, Urgency::attention,
         Actionability::guided, Confidence::moderate},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = liveInput();
        input.assessment = summaryAssessment(HealthLevel::normal, HealthAssessmentConfidence::medium);
        input.historyContext.baselineConfidence = BaselineConfidence::learning;
        input.activeInsights = {summaryInsight(c.kind, c.level)};
        const FirstHealthSummary summary = build(input);
        ASSERT_EQ(summary.findings.size(), 1u) << rawValue(c.kind).toStdString();
        const FirstHealthSummaryFinding& finding = summary.findings.front();
        EXPECT_EQ(finding.kind, c.findingKind);
        EXPECT_EQ(static_cast<int>(finding.category), static_cast<int>(c.findingKind));
        EXPECT_EQ(finding.urgency, c.urgency) << rawValue(c.kind).toStdString();
        EXPECT_EQ(finding.actionability, c.actionability) << rawValue(c.kind).toStdString();
        EXPECT_EQ(finding.confidence, c.confidence) << rawValue(c.kind).toStdString();
        EXPECT_EQ(finding.source, Source::liveInsight);
    }
}

TEST(SummaryBuilder, ARecentEventOfTheSameConditionRaisesConfidenceOneStep) {
    struct Case {
        QString signature;
        double eventAge;
        Confidence expected;
    };
    const Case cases[] = {
        {QStringLiteral("memory-high"), 3600, Confidence::high},
        {QStringLiteral("memory-high"), 86401, Confidence::moderate},
        {QStringLiteral("memory-high"), -10, Confidence::moderate},
        {QStringLiteral("disk-low"), 3600, Confidence::moderate},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = liveInput();
        input.assessment = summaryAssessment(HealthLevel::attention, HealthAssessmentConfidence::medium);
        input.activeInsights = {summaryInsight(HealthInsightKind::memory, HealthLevel::attention)};
        HealthEvent event;
        event.timestamp = kSummaryNow.addingSeconds(-c.eventAge);
        event.signature = c.signature;
        input.historyContext.recentValidatedEvents = {event};
        const FirstHealthSummary summary = build(input);
        ASSERT_EQ(summary.findings.size(), 1u);
        EXPECT_EQ(summary.findings.front().confidence, c.expected)
            << c.signature.toStdString() << " " << c.eventAge;
    }
}

TEST(SummaryBuilder, TheAssessmentSpeaksOnlyWhenTheInsightsDoNot) {
    struct Case {
        const char* name;
        HealthLevel level;
        std::vector<HealthInsight> insights;
        std::vector<Kind> expected;
        State state;
    };
    const Case cases[] = {
        {"attention, no insight", HealthLevel::attention, {}, {Kind::generalSystemConcern}, State::attention},
        {"attention with an insight",
         HealthLevel::attention,
         {summaryInsight(HealthInsightKind::memory, HealthLevel::attention)},
         {Kind::memoryPressure},
         State::attention},
        {"critical with only attention insights",
         HealthLevel::critical,
         {summaryInsight(HealthInsightKind::memory, HealthLevel::attention)},
         {Kind::generalSystemConcern, Kind::memoryPressure},
         State::concern},
        {"critical with a critical insight",
         HealthLevel::critical,
         {summaryInsight(HealthInsightKind::disk, HealthLevel::critical)},
         {Kind::lowStorage},
         State::concern},
        {"normal", HealthLevel::normal, {}, {}, State::healthy},
        {"unavailable", HealthLevel::unavailable, {}, {}, State::healthy},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = liveInput();
        input.assessment = summaryAssessment(c.level, HealthAssessmentConfidence::high);
        input.activeInsights = c.insights;
        const FirstHealthSummary summary = build(input);
        std::vector<Kind> kinds;
        for (const auto& finding : summary.findings)
            kinds.push_back(finding.kind);
        EXPECT_EQ(kinds, c.expected) << c.name;
        EXPECT_EQ(summary.overallState, c.state) << c.name;
        if (!kinds.empty() && kinds.front() == Kind::generalSystemConcern) {
            EXPECT_EQ(summary.nextAction, Action::retryLiveMeasurement) << c.name;
            EXPECT_EQ(summary.findings.front().urgency,
                      c.level == HealthLevel::critical ? Urgency::concern : Urgency::attention);
        }
    }
}

TEST(SummaryBuilder, LiveFindingsNeedAFreshSnapshot) {
    FirstHealthSummaryInput input = liveInput();
    input.snapshot = summarySnapshot(301);
    input.assessment = summaryAssessment(HealthLevel::critical, HealthAssessmentConfidence::high);
    input.activeInsights = {summaryInsight(HealthInsightKind::thermal, HealthLevel::critical)};
    const FirstHealthSummary summary = build(input);
    EXPECT_TRUE(summary.findings.empty());
    // The critical verdict still stands, but the stale measurement is what to fix first.
    EXPECT_EQ(summary.overallState, State::concern);
    EXPECT_EQ(summary.confidence, Confidence::limited);
    EXPECT_EQ(summary.nextAction, Action::retryLiveMeasurement);
}

FirstHealthSummaryFinding finding(Kind kind, Urgency urgency, Impact impact, Confidence confidence,
                                  Actionability actionability, Source source = Source::liveInsight) {
    return {kind,         static_cast<FirstHealthSummaryFindingCategory>(static_cast<int>(kind)),
            urgency,      impact,
            confidence,   actionability,
            std::nullopt, source};
}

TEST(SummaryBuilder, RankingComparesFieldByFieldThenNames) {
    const auto base = finding(Kind::memoryPressure, Urgency::attention, Impact::moderate,
                              Confidence::moderate, Actionability::guided);
    struct Case {
        const char* name;
        FirstHealthSummaryFinding better;
    };
    auto withUrgency = base;
    withUrgency.urgency = Urgency::concern;
    withUrgency.userImpact = Impact::low;
    withUrgency.confidence = Confidence::limited;
    auto withImpact = base;
    withImpact.userImpact = Impact::high;
    withImpact.confidence = Confidence::limited;
    auto withConfidence = base;
    withConfidence.confidence = Confidence::high;
    withConfidence.actionability = Actionability::observe;
    auto withActionability = base;
    withActionability.actionability = Actionability::immediate;
    auto earlierKind = base;
    earlierKind.kind = Kind::lowStorage; // "lowStorage" < "memoryPressure"
    earlierKind.source = Source::quickHealthTest;
    auto earlierSource = base;
    earlierSource.source = Source::liveAssessment; // "liveAssessment" < "liveInsight"
    const Case cases[] = {{"urgency", withUrgency},       {"impact", withImpact},
                          {"confidence", withConfidence}, {"actionability", withActionability},
                          {"kind name", earlierKind},     {"source name", earlierSource}};
    for (const Case& c : cases) {
        EXPECT_TRUE(FirstHealthSummaryBuilder::ranksBefore(c.better, base)) << c.name;
        EXPECT_FALSE(FirstHealthSummaryBuilder::ranksBefore(base, c.better)) << c.name;
    }
    EXPECT_FALSE(FirstHealthSummaryBuilder::ranksBefore(base, base));
}

TEST(SummaryBuilder, RankingKeepsTheBestOfEachCategoryAndAtMostThree) {
    const auto low = finding(Kind::memoryPressure, Urgency::attention, Impact::moderate, Confidence::limited,
                             Actionability::guided, Source::quickHealthTest);
    const auto high = finding(Kind::memoryPressure, Urgency::concern, Impact::high, Confidence::high,
                              Actionability::immediate, Source::liveInsight);
    EXPECT_EQ(FirstHealthSummaryBuilder::rank({low, high}), std::vector{high});
    EXPECT_EQ(FirstHealthSummaryBuilder::rank({high, low}), std::vector{high});

    const auto a = finding(Kind::thermalPressure, Urgency::safety, Impact::high, Confidence::high,
                           Actionability::immediate);
    const auto b =
        finding(Kind::lowStorage, Urgency::concern, Impact::high, Confidence::high, Actionability::guided);
    const auto c = finding(Kind::weakWiFi, Urgency::attention, Impact::moderate, Confidence::high,
                           Actionability::guided);
    const auto d = finding(Kind::processorPressure, Urgency::attention, Impact::moderate, Confidence::limited,
                           Actionability::guided);
    EXPECT_EQ(FirstHealthSummaryBuilder::rank({d, c, b, a}), (std::vector{a, b, c}));
}

TEST(SummaryBuilder, OverallStateAndConfidenceStandOnMinimumEvidence) {
    struct Case {
        const char* name;
        std::function<void(FirstHealthSummaryInput&)> change;
        State state;
        Confidence confidence;
    };
    const Case cases[] = {
        {"all fresh and complete", [](auto&) {}, State::healthy, Confidence::high},
        {"no battery can still be complete",
         [](auto& in) {
             in.snapshot = summarySnapshot(10, false);
             in.deviceContext.batteryApplicability = Applicability::notApplicable;
         },
         State::healthy, Confidence::high},
        {"network result with two successful probes",
         [](auto& in) { in.networkQualityResult = summaryNetwork(60, NetworkQualityLevel::good, 6, 2); },
         State::healthy, Confidence::moderate},
        {"medium assessment",
         [](auto& in) { in.assessment->confidence = HealthAssessmentConfidence::medium; }, State::healthy,
         Confidence::moderate},
        {"live sample only", [](auto& in) { in.quickTestResult.reset(), in.networkQualityResult.reset(); },
         State::healthy, Confidence::moderate},
        {"low-confidence assessment alone",
         [](auto& in) {
             in.assessment->confidence = HealthAssessmentConfidence::low;
             in.quickTestResult.reset();
         },
         State::insufficientEvidence, Confidence::limited},
        {"one evaluated signal alone",
         [](auto& in) {
             in.assessment = summaryAssessment(HealthLevel::normal, HealthAssessmentConfidence::high, 1, 3);
             in.quickTestResult.reset();
         },
         State::insufficientEvidence, Confidence::limited},
        {"quick test alone",
         [](auto& in) {
             in.snapshot.reset();
             in.assessment.reset();
         },
         State::healthy, Confidence::moderate},
        {"quick test alone with three scores",
         [](auto& in) {
             in.snapshot.reset();
             in.assessment.reset();
             in.quickTestResult = summaryQuickTest(60, HealthTestConfidence::high,
                                                   {{HealthTestComponentKind::thermal, 90},
                                                    {HealthTestComponentKind::memory, 90},
                                                    {HealthTestComponentKind::storage, 90},
                                                    {HealthTestComponentKind::stability, std::nullopt}});
         },
         State::insufficientEvidence, Confidence::limited},
        {"low-confidence quick test alone",
         [](auto& in) {
             in.snapshot.reset();
             in.assessment.reset();
             in.quickTestResult = cleanQuickTest(60, HealthTestConfidence::low);
         },
         State::insufficientEvidence, Confidence::limited},
        {"stale quick test alone",
         [](auto& in) {
             in.snapshot.reset();
             in.assessment.reset();
             in.quickTestResult = cleanQuickTest(700000);
         },
         State::insufficientEvidence, Confidence::limited},
        {"finding without an assessment",
         [](auto& in) {
             in.assessment.reset();
             in.networkQualityResult = summaryNetwork(60, NetworkQualityLevel::fair);
         },
         State::attention, Confidence::moderate},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = completeInput();
        c.change(input);
        const FirstHealthSummary summary = build(input);
        EXPECT_EQ(summary.overallState, c.state) << c.name;
        EXPECT_EQ(summary.confidence, c.confidence) << c.name;
    }
}

TEST(SummaryBuilder, NextActionWithoutFindingsNamesTheMissingEvidence) {
    struct Case {
        const char* name;
        std::function<void(FirstHealthSummaryInput&)> change;
        Action expected;
    };
    const Case cases[] = {
        {"everything checked", [](auto&) {}, Action::noActionNeeded},
        {"stale snapshot", [](auto& in) { in.snapshot = summarySnapshot(500); },
         Action::retryLiveMeasurement},
        {"no assessment", [](auto& in) { in.assessment.reset(); }, Action::retryLiveMeasurement},
        {"quick test not run", [](auto& in) { in.quickTestResult.reset(); }, Action::runQuickHealthTest},
        {"quick test stale", [](auto& in) { in.quickTestResult = cleanQuickTest(700000); },
         Action::runQuickHealthTest},
        {"network not run", [](auto& in) { in.networkQualityResult.reset(); }, Action::runNetworkQualityTest},
        {"offline",
         [](auto& in) {
             in.networkQualityResult.reset();
             in.snapshot = summarySnapshot(10, true, false);
         },
         Action::retryNetworkWhenOnline},
        {"network stale while offline",
         [](auto& in) {
             in.networkQualityResult = summaryNetwork(90000, NetworkQualityLevel::good);
             in.snapshot = summarySnapshot(10, true, false);
         },
         Action::retryNetworkWhenOnline},
        {"network stale while online",
         [](auto& in) { in.networkQualityResult = summaryNetwork(90000, NetworkQualityLevel::good); },
         Action::runNetworkQualityTest},
        {"network path unreadable",
         [](auto& in) {
             in.networkQualityResult.reset();
             in.snapshot->network.pathAvailability = MetricAvailability::unavailable(QStringLiteral("x"));
             in.snapshot->network.isConnected = false;
         },
         Action::retryNetworkWhenOnline},
    };
    for (const Case& c : cases) {
        FirstHealthSummaryInput input = completeInput();
        c.change(input);
        const FirstHealthSummary summary = build(input);
        EXPECT_TRUE(summary.findings.empty()) << c.name;
        EXPECT_EQ(summary.nextAction, c.expected) << c.name;
    }
}

TEST(SummaryBuilder, SummaryRecordSurvivesJson) {
    FirstHealthSummaryInput input = completeInput();
    input.activeInsights = {summaryInsight(HealthInsightKind::disk, HealthLevel::critical)};
    input.networkQualityResult = summaryNetwork(60, NetworkQualityLevel::poor, 6, 1);
    const FirstHealthSummary summary = build(input);
    const QJsonObject json = firstHealthSummaryToJson(summary);
    EXPECT_EQ(json.value(QStringLiteral("overallState")).toString(), QStringLiteral("concern"));
    EXPECT_EQ(json.value(QStringLiteral("nextAction")).toString(), QStringLiteral("freeDiskSpace"));
    EXPECT_EQ(firstHealthSummaryFromJson(json), summary);
}

TEST(SummaryPresentation, TextsFollowStateCoverageAndFindings) {
    namespace Policy = FirstHealthSummaryPresentationPolicy;
    FirstHealthSummaryInput complete = completeInput();
    auto presentation = Policy::resolve(build(complete));
    EXPECT_EQ(presentation.headline, QStringLiteral("Mac’in genel sağlık göstergeleri iyi görünüyor."));
    EXPECT_EQ(presentation.confidenceText, QStringLiteral("Yüksek güven"));
    EXPECT_EQ(presentation.nextActionButton, QStringLiteral("Genel Bakışa Devam Et"));

    FirstHealthSummaryInput partial = completeInput();
    partial.quickTestResult.reset();
    presentation = Policy::resolve(build(partial));
    EXPECT_EQ(presentation.headline,
              QStringLiteral("Okunabilen göstergelere göre Mac’in genel durumu iyi görünüyor."));
    EXPECT_EQ(presentation.coverage.at(1).text, QStringLiteral("Hızlı Sağlık Testi henüz çalıştırılmadı."));

    FirstHealthSummaryInput two = completeInput();
    two.activeInsights = {summaryInsight(HealthInsightKind::memory, HealthLevel::attention)};
    two.networkQualityResult = summaryNetwork(60, NetworkQualityLevel::fair);
    presentation = Policy::resolve(build(two));
    EXPECT_EQ(presentation.explanation,
              QStringLiteral("İki önemli bulgu, önce kontrol edilmesi gereken alanları gösteriyor."));
    ASSERT_EQ(presentation.findings.size(), 2u);
    EXPECT_EQ(presentation.findings.at(0).findingID, QStringLiteral("liveInsight.memoryPressure"));
    EXPECT_EQ(presentation.findings.at(1).findingID, QStringLiteral("networkQualityTest.poorNetworkQuality"));

    FirstHealthSummaryInput hot = completeInput();
    hot.activeInsights = {summaryInsight(HealthInsightKind::thermal, HealthLevel::critical)};
    presentation = Policy::resolve(build(hot));
    EXPECT_EQ(presentation.explanation,
              QStringLiteral("Önce güvenli adımı uygulayın, ardından ölçümü yeniden değerlendirin."));
    EXPECT_EQ(presentation.nextActionText, QStringLiteral("Yoğun işleri durdur ve Mac’in soğumasını bekle"));

    // A combination the table does not list still says something true.
    EXPECT_EQ(
        Policy::coverageText({FirstHealthSummaryEvidenceCategory::systemHealth, Status::notApplicable, {}}),
        QStringLiteral("Bu kanıt alanı henüz değerlendirilemedi."));
    EXPECT_EQ(Policy::coverageText({Category::networkQuality, Status::skipped, Reason::offline}),
              QStringLiteral("Mac çevrimdışı olduğu için ağ kalite testi atlandı."));
}

} // namespace
} // namespace kestrum::test
