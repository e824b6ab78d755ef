#include "FirstHealthSummaryBuilder.h"

#include <algorithm>

namespace kestrum {

namespace {

using Category = FirstHealthSummaryEvidenceCategory;
using Status = FirstHealthSummaryCoverageStatus;
using Reason = FirstHealthSummaryCoverageReason;
using Kind = FirstHealthSummaryFindingKind;
using FindingCategory = FirstHealthSummaryFindingCategory;
using Urgency = FirstHealthSummaryFindingUrgency;
using Impact = FirstHealthSummaryUserImpact;
using Actionability = FirstHealthSummaryActionability;
using Action = FirstHealthSummaryAction;
using Source = FirstHealthSummaryEvidenceSource;
using Confidence = FirstHealthSummaryConfidence;
using Applicability = FirstHealthSummaryBatteryApplicability;

struct Freshness {
    bool snapshot = false;
    bool quickTest = false;
    bool network = false;
};

FirstHealthSummaryCoverageItem item(Category category, Status status, std::optional<Reason> reason = {}) {
    return {category, status, reason};
}

std::optional<int> scoreOf(const HealthTestResult& result, HealthTestComponentKind kind) {
    for (const HealthTestComponentScore& component : result.components) {
        if (component.kind == kind && component.score)
            return component.score;
    }
    return std::nullopt;
}

// Every required component scored; the battery is not required on a machine without one.
bool isComplete(const HealthTestResult& result, Applicability battery) {
    for (const HealthTestComponentKind kind : allCases<HealthTestComponentKind>()) {
        if (kind == HealthTestComponentKind::battery && battery == Applicability::notApplicable)
            continue;
        if (!scoreOf(result, kind))
            return false;
    }
    return true;
}

FirstHealthSummaryCoverageItem systemHealthItem(const FirstHealthSummaryInput& input,
                                                const Freshness& fresh) {
    if (!input.snapshot)
        return item(Category::systemHealth, Status::unavailable, Reason::missingMeasurement);
    if (!fresh.snapshot)
        return item(Category::systemHealth, Status::stale, Reason::staleEvidence);
    if (input.assessment && !input.assessment->coverage.evaluatedSignals.empty()) {
        if (input.assessment->coverage.unavailableSignals.empty())
            return item(Category::systemHealth, Status::checked);
        return item(Category::systemHealth, Status::partiallyChecked, Reason::incompleteMeasurement);
    }
    return item(Category::systemHealth, Status::unavailable, Reason::missingMeasurement);
}

FirstHealthSummaryCoverageItem quickTestItem(const FirstHealthSummaryInput& input, const Freshness& fresh) {
    if (!input.quickTestResult)
        return item(Category::quickHealthTest, Status::skipped, Reason::notRun);
    if (!fresh.quickTest)
        return item(Category::quickHealthTest, Status::stale, Reason::staleEvidence);
    if (isComplete(*input.quickTestResult, input.deviceContext.batteryApplicability))
        return item(Category::quickHealthTest, Status::checked);
    return item(Category::quickHealthTest, Status::partiallyChecked, Reason::incompleteMeasurement);
}

FirstHealthSummaryCoverageItem networkItem(const FirstHealthSummaryInput& input, const Freshness& fresh) {
    if (input.networkQualityResult) {
        return fresh.network ? item(Category::networkQuality, Status::checked)
                             : item(Category::networkQuality, Status::stale, Reason::staleEvidence);
    }
    if (input.snapshot && fresh.snapshot) {
        if (input.snapshot->network.pathAvailability.isAvailable()) {
            return item(Category::networkQuality, Status::skipped,
                        input.snapshot->network.isConnected ? Reason::notRun : Reason::offline);
        }
        return item(Category::networkQuality, Status::unavailable, Reason::missingMeasurement);
    }
    return item(Category::networkQuality, Status::skipped, Reason::notRun);
}

FirstHealthSummaryCoverageItem batteryItem(const FirstHealthSummaryInput& input, const Freshness& fresh) {
    switch (input.deviceContext.batteryApplicability) {
    case Applicability::notApplicable:
        return item(Category::battery, Status::notApplicable, Reason::noBattery);
    case Applicability::unknown:
        return item(Category::battery, Status::unavailable, Reason::missingMeasurement);
    case Applicability::applicable:
        break;
    }
    if (!input.snapshot)
        return item(Category::battery, Status::unavailable, Reason::missingMeasurement);
    if (!fresh.snapshot)
        return item(Category::battery, Status::stale, Reason::staleEvidence);
    const BatteryStats& battery = input.snapshot->battery;
    if (battery.availability.isAvailable() && battery.isPresent) {
        if (battery.healthCondition && !battery.healthCondition->trimmed().isEmpty())
            return item(Category::battery, Status::checked);
        return item(Category::battery, Status::partiallyChecked, Reason::incompleteMeasurement);
    }
    return item(Category::battery, Status::unavailable, Reason::missingMeasurement);
}

Confidence raised(Confidence confidence) {
    return confidence == Confidence::limited ? Confidence::moderate : Confidence::high;
}

struct InsightMapping {
    Kind kind;
    Impact impact;
    bool immediateWhenCritical;
    Action action;
};

InsightMapping mapping(HealthInsightKind kind) {
    switch (kind) {
    case HealthInsightKind::thermal:
        return {Kind::thermalPressure, Impact::high, true, Action::stopIntensiveWorkAndCool};
    case HealthInsightKind::cpu:
        return {Kind::processorPressure, Impact::high, false, Action::reduceSystemLoad};
    case HealthInsightKind::memory:
        return {Kind::memoryPressure, Impact::high, false, Action::reduceSystemLoad};
    case HealthInsightKind::disk:
        return {Kind::lowStorage, Impact::high, true, Action::freeDiskSpace};
    case HealthInsightKind::battery:
        return {Kind::batteryCondition, Impact::high, false, Action::reviewBatteryCondition};
    case HealthInsightKind::wifi:
        return {Kind::weakWiFi, Impact::moderate, false, Action::improveWiFi};
    case HealthInsightKind::network:
        break;
    }
    return {Kind::poorNetworkQuality, Impact::moderate, false, Action::improveNetworkConditions};
}

FindingCategory categoryOf(Kind kind) {
    return static_cast<FindingCategory>(static_cast<int>(kind));
}

void appendLiveFindings(const FirstHealthSummaryInput& input, const FirstHealthSummaryFreshnessPolicy& policy,
                        std::vector<FirstHealthSummaryFinding>& findings) {
    const HealthAssessment& assessment = *input.assessment;
    for (const HealthInsight& insight : input.activeInsights) {
        const InsightMapping mapped = mapping(insight.kind);
        const bool critical = insight.level == HealthLevel::critical;
        const bool personal =
            insight.kind == HealthInsightKind::cpu || insight.kind == HealthInsightKind::wifi;
        Confidence confidence = personal ? summaryConfidence(input.historyContext.baselineConfidence)
                                         : summaryConfidence(assessment.confidence);
        // The same condition already seen and recorded recently makes the finding more certain.
        const bool seenBefore =
            std::any_of(input.historyContext.recentValidatedEvents.begin(),
                        input.historyContext.recentValidatedEvents.end(), [&](const HealthEvent& event) {
                            return event.signature == insight.signature &&
                                   FirstHealthSummaryFreshnessPolicy::isFresh(
                                       event.timestamp, input.generatedAt, policy.maximumHistoryEventAge);
                        });
        if (seenBefore)
            confidence = raised(confidence);
        const FindingCategory category = categoryOf(mapped.kind);
        findings.push_back(
            {mapped.kind, category,
             critical ? (category == FindingCategory::thermal ? Urgency::safety : Urgency::concern)
                      : Urgency::attention,
             mapped.impact, confidence,
             critical && mapped.immediateWhenCritical ? Actionability::immediate : Actionability::guided,
             mapped.action, Source::liveInsight});
    }

    const bool noneAboveAttention =
        std::none_of(findings.begin(), findings.end(), [](const FirstHealthSummaryFinding& finding) {
            return finding.urgency > Urgency::attention;
        });
    if ((assessment.level == HealthLevel::attention && findings.empty()) ||
        (assessment.level == HealthLevel::critical && noneAboveAttention)) {
        findings.push_back({Kind::generalSystemConcern, FindingCategory::system,
                            assessment.level == HealthLevel::critical ? Urgency::concern : Urgency::attention,
                            Impact::high, summaryConfidence(assessment.confidence), Actionability::guided,
                            Action::retryLiveMeasurement, Source::liveAssessment});
    }
}

void appendQuickTestFindings(const HealthTestResult& result,
                             std::vector<FirstHealthSummaryFinding>& findings) {
    const Confidence confidence = summaryConfidence(result.confidence);
    for (const HealthTestComponentScore& component : result.components) {
        if (!component.score || *component.score >= 75 || !component.recommendation)
            continue;
        Kind kind = Kind::batteryCondition;
        Impact impact = Impact::high;
        Action action = Action::reviewBatteryCondition;
        switch (component.kind) {
        case HealthTestComponentKind::battery:
            break;
        case HealthTestComponentKind::thermal:
            kind = Kind::thermalPressure, action = Action::stopIntensiveWorkAndCool;
            break;
        case HealthTestComponentKind::memory:
            kind = Kind::memoryPressure, action = Action::reduceSystemLoad;
            break;
        case HealthTestComponentKind::storage:
            kind = Kind::lowStorage, action = Action::freeDiskSpace;
            break;
        case HealthTestComponentKind::stability:
            kind = Kind::reducedStability, impact = Impact::moderate,
            action = Action::rerunQuickHealthTestAfterRestart;
            break;
        }
        const bool severe = *component.score < 50;
        const Urgency urgency = !severe                                              ? Urgency::attention
                                : component.kind == HealthTestComponentKind::thermal ? Urgency::safety
                                                                                     : Urgency::concern;
        findings.push_back({kind, categoryOf(kind), urgency, impact, confidence,
                            severe ? Actionability::immediate : Actionability::guided, action,
                            Source::quickHealthTest});
    }
    if (result.personalCapacityPercent && result.capacityReferenceID &&
        result.confidence != HealthTestConfidence::low && *result.personalCapacityPercent <= 79) {
        findings.push_back({Kind::personalCapacityBelowReference, FindingCategory::personalCapacity,
                            Urgency::attention, Impact::moderate, confidence, Actionability::guided,
                            Action::rerunQuickHealthTestAfterRestart, Source::quickHealthTest});
    }
}

void appendNetworkFinding(const NetworkQualityResult& result,
                          std::vector<FirstHealthSummaryFinding>& findings) {
    if (result.quality != NetworkQualityLevel::fair && result.quality != NetworkQualityLevel::poor)
        return;
    const Confidence confidence =
        result.successfulProbes == result.attemptedProbes && result.attemptedProbes > 4 ? Confidence::high
        : result.successfulProbes >= 3                                                  ? Confidence::moderate
                                                                                        : Confidence::limited;
    findings.push_back({Kind::poorNetworkQuality, FindingCategory::network, Urgency::attention,
                        Impact::moderate, confidence, Actionability::guided, Action::improveNetworkConditions,
                        Source::networkQualityTest});
}

bool hasMinimumEvidence(const FirstHealthSummaryInput& input, const Freshness& fresh) {
    const bool live = fresh.snapshot && input.assessment &&
                      input.assessment->confidence != HealthAssessmentConfidence::low &&
                      input.assessment->coverage.evaluatedSignals.size() >= 2;
    if (live)
        return true;
    if (!fresh.quickTest || input.quickTestResult->confidence == HealthTestConfidence::low)
        return false;
    const auto scored =
        std::count_if(input.quickTestResult->components.begin(), input.quickTestResult->components.end(),
                      [](const HealthTestComponentScore& component) { return component.score; });
    return scored >= 4;
}

FirstHealthSummaryOverallState overallState(const FirstHealthSummaryInput& input,
                                            const std::vector<FirstHealthSummaryFinding>& ranked,
                                            bool minimumEvidence) {
    using State = FirstHealthSummaryOverallState;
    if (std::any_of(ranked.begin(), ranked.end(), [](const FirstHealthSummaryFinding& finding) {
            return finding.urgency >= Urgency::concern;
        }))
        return State::concern;
    const State withoutFindings = minimumEvidence ? State::healthy : State::insufficientEvidence;
    if (!input.assessment)
        return ranked.empty() ? withoutFindings : State::attention;
    if (input.assessment->level == HealthLevel::critical)
        return State::concern;
    if (!ranked.empty() || input.assessment->level == HealthLevel::attention)
        return State::attention;
    return withoutFindings;
}

Action nextAction(const FirstHealthSummaryInput& input, const FirstHealthSummaryCoverage& coverage,
                  const std::vector<FirstHealthSummaryFinding>& ranked) {
    if (!ranked.empty() && ranked.front().action)
        return *ranked.front().action;
    const auto system = coverage.item(Category::systemHealth);
    if (system && (system->status == Status::unavailable || system->status == Status::stale))
        return Action::retryLiveMeasurement;
    const auto quickTest = coverage.item(Category::quickHealthTest);
    if (quickTest && quickTest->status != Status::checked)
        return Action::runQuickHealthTest;
    const auto network = coverage.item(Category::networkQuality);
    if (!network || network->status == Status::checked)
        return Action::noActionNeeded;
    if (network->reason == Reason::offline)
        return Action::retryNetworkWhenOnline;
    if (!input.snapshot || input.snapshot->network.isConnected)
        return Action::runNetworkQualityTest;
    return Action::retryNetworkWhenOnline;
}

template <class E> int order(E value) {
    return static_cast<int>(value);
}

} // namespace

FirstHealthSummaryConfidence summaryConfidence(HealthAssessmentConfidence confidence) {
    return static_cast<Confidence>(order(confidence));
}
FirstHealthSummaryConfidence summaryConfidence(HealthTestConfidence confidence) {
    return static_cast<Confidence>(order(confidence));
}
FirstHealthSummaryConfidence summaryConfidence(BaselineConfidence confidence) {
    return static_cast<Confidence>(order(confidence));
}

bool FirstHealthSummaryBuilder::ranksBefore(const FirstHealthSummaryFinding& a,
                                            const FirstHealthSummaryFinding& b) {
    if (a.urgency != b.urgency)
        return a.urgency > b.urgency;
    if (a.userImpact != b.userImpact)
        return a.userImpact > b.userImpact;
    if (a.confidence != b.confidence)
        return a.confidence > b.confidence;
    if (a.actionability != b.actionability)
        return a.actionability > b.actionability;
    if (a.kind != b.kind)
        return rawValue(a.kind) < rawValue(b.kind);
    return rawValue(a.source) < rawValue(b.source);
}

std::vector<FirstHealthSummaryFinding>
FirstHealthSummaryBuilder::rank(const std::vector<FirstHealthSummaryFinding>& findings) {
    std::vector<FirstHealthSummaryFinding> kept;
    for (const FirstHealthSummaryFinding& finding : findings) {
        const auto same =
            std::find_if(kept.begin(), kept.end(), [&](const FirstHealthSummaryFinding& candidate) {
                return candidate.category == finding.category;
            });
        if (same == kept.end())
            kept.push_back(finding);
        else if (ranksBefore(finding, *same))
            *same = finding;
    }
    std::stable_sort(kept.begin(), kept.end(), ranksBefore);
    if (kept.size() > 3)
        kept.resize(3);
    return kept;
}

FirstHealthSummary FirstHealthSummaryBuilder::build(const FirstHealthSummaryInput& input) const {
    const Date now = input.generatedAt;
    Freshness fresh;
    fresh.snapshot = input.snapshot && FirstHealthSummaryFreshnessPolicy::isFresh(
                                           input.snapshot->timestamp, now, m_policy.maximumSnapshotAge);
    fresh.quickTest = input.quickTestResult &&
                      FirstHealthSummaryFreshnessPolicy::isFresh(input.quickTestResult->endedAt, now,
                                                                 m_policy.maximumQuickTestAge);
    fresh.network = input.networkQualityResult &&
                    FirstHealthSummaryFreshnessPolicy::isFresh(input.networkQualityResult->timestamp, now,
                                                               m_policy.maximumNetworkQualityAge);

    FirstHealthSummary summary;
    summary.coverage.items = {systemHealthItem(input, fresh), quickTestItem(input, fresh),
                              networkItem(input, fresh), batteryItem(input, fresh)};

    std::vector<FirstHealthSummaryFinding> findings;
    if (fresh.snapshot && input.assessment)
        appendLiveFindings(input, m_policy, findings);
    if (fresh.quickTest)
        appendQuickTestFindings(*input.quickTestResult, findings);
    if (fresh.network)
        appendNetworkFinding(*input.networkQualityResult, findings);
    summary.findings = rank(findings);

    const bool minimumEvidence = hasMinimumEvidence(input, fresh);
    summary.overallState = overallState(input, summary.findings, minimumEvidence);
    summary.confidence = minimumEvidence ? Confidence::moderate : Confidence::limited;
    if (summary.coverage.isComplete() && input.assessment &&
        input.assessment->confidence == HealthAssessmentConfidence::high && fresh.quickTest &&
        input.quickTestResult->confidence != HealthTestConfidence::low && fresh.network &&
        input.networkQualityResult->successfulProbes >= 3)
        summary.confidence = Confidence::high;
    summary.nextAction = nextAction(input, summary.coverage, summary.findings);
    summary.generatedAt = now;
    summary.formatVersion = FirstHealthSummary::kFormatVersion;
    return summary;
}

} // namespace kestrum
