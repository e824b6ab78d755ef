#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"
#include "healthtests/HealthTestResult.h"
#include "history/HealthEvent.h"
#include "interpretation/HealthAssessment.h"
#include "interpretation/HealthInsight.h"
#include "interpretation/PersonalBaseline.h"
#include "measurement/SystemSnapshot.h"
#include "network/NetworkQualityResult.h"

#include <QJsonObject>
#include <optional>
#include <vector>

namespace kestrum {

// Every enumeration below is ordered: a later case ranks higher where two are compared.

enum class FirstHealthSummaryOverallState { healthy, attention, concern, insufficientEvidence };
enum class FirstHealthSummaryConfidence { limited, moderate, high };
enum class FirstHealthSummaryFindingKind {
    generalSystemConcern,
    thermalPressure,
    processorPressure,
    memoryPressure,
    lowStorage,
    batteryCondition,
    weakWiFi,
    poorNetworkQuality,
    reducedStability,
    personalCapacityBelowReference
};
// The n-th category belongs to the n-th kind.
enum class FirstHealthSummaryFindingCategory {
    system,
    thermal,
    processor,
    memory,
    storage,
    battery,
    wifi,
    network,
    stability,
    personalCapacity
};
enum class FirstHealthSummaryFindingUrgency { attention, concern, safety };
enum class FirstHealthSummaryUserImpact { low, moderate, high };
enum class FirstHealthSummaryActionability { observe, guided, immediate };
enum class FirstHealthSummaryAction {
    stopIntensiveWorkAndCool,
    freeDiskSpace,
    reviewBatteryCondition,
    reduceSystemLoad,
    improveWiFi,
    improveNetworkConditions,
    runQuickHealthTest,
    runNetworkQualityTest,
    retryLiveMeasurement,
    rerunQuickHealthTestAfterRestart,
    retryNetworkWhenOnline,
    noActionNeeded
};
enum class FirstHealthSummaryEvidenceSource {
    liveAssessment,
    liveInsight,
    quickHealthTest,
    networkQualityTest
};
enum class FirstHealthSummaryEvidenceCategory { systemHealth, quickHealthTest, networkQuality, battery };
enum class FirstHealthSummaryCoverageStatus {
    checked,
    partiallyChecked,
    skipped,
    unavailable,
    notApplicable,
    stale
};
enum class FirstHealthSummaryCoverageReason {
    notRun,
    offline,
    missingMeasurement,
    incompleteMeasurement,
    staleEvidence,
    noBattery
};
enum class FirstHealthSummaryBatteryApplicability { applicable, notApplicable, unknown };

#define KESTRUM_SUMMARY_CASE(E, name)                                                                        \
    { E::name, #name }

template <> struct EnumTraits<FirstHealthSummaryOverallState> {
    using E = FirstHealthSummaryOverallState;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, healthy), KESTRUM_SUMMARY_CASE(E, attention),
        KESTRUM_SUMMARY_CASE(E, concern), KESTRUM_SUMMARY_CASE(E, insufficientEvidence)};
};
template <> struct EnumTraits<FirstHealthSummaryConfidence> {
    using E = FirstHealthSummaryConfidence;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, limited), KESTRUM_SUMMARY_CASE(E, moderate), KESTRUM_SUMMARY_CASE(E, high)};
};
template <> struct EnumTraits<FirstHealthSummaryFindingKind> {
    using E = FirstHealthSummaryFindingKind;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, generalSystemConcern),
        KESTRUM_SUMMARY_CASE(E, thermalPressure),
        KESTRUM_SUMMARY_CASE(E, processorPressure),
        KESTRUM_SUMMARY_CASE(E, memoryPressure),
        KESTRUM_SUMMARY_CASE(E, lowStorage),
        KESTRUM_SUMMARY_CASE(E, batteryCondition),
        KESTRUM_SUMMARY_CASE(E, weakWiFi),
        KESTRUM_SUMMARY_CASE(E, poorNetworkQuality),
        KESTRUM_SUMMARY_CASE(E, reducedStability),
        KESTRUM_SUMMARY_CASE(E, personalCapacityBelowReference)};
};
template <> struct EnumTraits<FirstHealthSummaryFindingCategory> {
    using E = FirstHealthSummaryFindingCategory;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, system),    KESTRUM_SUMMARY_CASE(E, thermal),
        KESTRUM_SUMMARY_CASE(E, processor), KESTRUM_SUMMARY_CASE(E, memory),
        KESTRUM_SUMMARY_CASE(E, storage),   KESTRUM_SUMMARY_CASE(E, battery),
        KESTRUM_SUMMARY_CASE(E, wifi),      KESTRUM_SUMMARY_CASE(E, network),
        KESTRUM_SUMMARY_CASE(E, stability), KESTRUM_SUMMARY_CASE(E, personalCapacity)};
};
template <> struct EnumTraits<FirstHealthSummaryFindingUrgency> {
    using E = FirstHealthSummaryFindingUrgency;
    static constexpr std::pair<E, std::string_view> cases[] = {KESTRUM_SUMMARY_CASE(E, attention),
                                                               KESTRUM_SUMMARY_CASE(E, concern),
                                                               KESTRUM_SUMMARY_CASE(E, safety)};
};
template <> struct EnumTraits<FirstHealthSummaryUserImpact> {
    using E = FirstHealthSummaryUserImpact;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, low), KESTRUM_SUMMARY_CASE(E, moderate), KESTRUM_SUMMARY_CASE(E, high)};
};
template <> struct EnumTraits<FirstHealthSummaryActionability> {
    using E = FirstHealthSummaryActionability;
    static constexpr std::pair<E, std::string_view> cases[] = {KESTRUM_SUMMARY_CASE(E, observe),
                                                               KESTRUM_SUMMARY_CASE(E, guided),
                                                               KESTRUM_SUMMARY_CASE(E, immediate)};
};
template <> struct EnumTraits<FirstHealthSummaryAction> {
    using E = FirstHealthSummaryAction;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, stopIntensiveWorkAndCool),
        KESTRUM_SUMMARY_CASE(E, freeDiskSpace),
        KESTRUM_SUMMARY_CASE(E, reviewBatteryCondition),
        KESTRUM_SUMMARY_CASE(E, reduceSystemLoad),
        KESTRUM_SUMMARY_CASE(E, improveWiFi),
        KESTRUM_SUMMARY_CASE(E, improveNetworkConditions),
        KESTRUM_SUMMARY_CASE(E, runQuickHealthTest),
        KESTRUM_SUMMARY_CASE(E, runNetworkQualityTest),
        KESTRUM_SUMMARY_CASE(E, retryLiveMeasurement),
        KESTRUM_SUMMARY_CASE(E, rerunQuickHealthTestAfterRestart),
        KESTRUM_SUMMARY_CASE(E, retryNetworkWhenOnline),
        KESTRUM_SUMMARY_CASE(E, noActionNeeded)};
};
template <> struct EnumTraits<FirstHealthSummaryEvidenceSource> {
    using E = FirstHealthSummaryEvidenceSource;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, liveAssessment), KESTRUM_SUMMARY_CASE(E, liveInsight),
        KESTRUM_SUMMARY_CASE(E, quickHealthTest), KESTRUM_SUMMARY_CASE(E, networkQualityTest)};
};
template <> struct EnumTraits<FirstHealthSummaryEvidenceCategory> {
    using E = FirstHealthSummaryEvidenceCategory;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, systemHealth), KESTRUM_SUMMARY_CASE(E, quickHealthTest),
        KESTRUM_SUMMARY_CASE(E, networkQuality), KESTRUM_SUMMARY_CASE(E, battery)};
};
template <> struct EnumTraits<FirstHealthSummaryCoverageStatus> {
    using E = FirstHealthSummaryCoverageStatus;
    static constexpr std::pair<E, std::string_view> cases[] = {
        KESTRUM_SUMMARY_CASE(E, checked),       KESTRUM_SUMMARY_CASE(E, partiallyChecked),
        KESTRUM_SUMMARY_CASE(E, skipped),       KESTRUM_SUMMARY_CASE(E, unavailable),
        KESTRUM_SUMMARY_CASE(E, notApplicable), KESTRUM_SUMMARY_CASE(E, stale)};
};
template <> struct EnumTraits<FirstHealthSummaryCoverageReason> {
    using E = FirstHealthSummaryCoverageReason;
    static constexpr std::pair<E, std::string_view> cases[] = {KESTRUM_SUMMARY_CASE(E, notRun),
                                                               KESTRUM_SUMMARY_CASE(E, offline),
                                                               KESTRUM_SUMMARY_CASE(E, missingMeasurement),
                                                               KESTRUM_SUMMARY_CASE(E, incompleteMeasurement),
                                                               KESTRUM_SUMMARY_CASE(E, staleEvidence),
                                                               KESTRUM_SUMMARY_CASE(E, noBattery)};
};
template <> struct EnumTraits<FirstHealthSummaryBatteryApplicability> {
    using E = FirstHealthSummaryBatteryApplicability;
    static constexpr std::pair<E, std::string_view> cases[] = {KESTRUM_SUMMARY_CASE(E, applicable),
                                                               KESTRUM_SUMMARY_CASE(E, notApplicable),
                                                               KESTRUM_SUMMARY_CASE(E, unknown)};
};

#undef KESTRUM_SUMMARY_CASE

// How old each kind of evidence may be, in seconds, to count.
struct FirstHealthSummaryFreshnessPolicy {
    double maximumSnapshotAge = 300;
    double maximumQuickTestAge = 604800;
    double maximumNetworkQualityAge = 86400;
    double maximumHistoryEventAge = 86400;
    bool operator==(const FirstHealthSummaryFreshnessPolicy&) const = default;

    // 0 ≤ age ≤ limit: evidence from the future is not fresh.
    static bool isFresh(Date timestamp, Date now, double limit) {
        const double age = now.secondsSince(timestamp);
        return age >= 0 && age <= limit;
    }
};

struct FirstHealthSummaryHistoryContext {
    std::vector<HealthEvent> recentValidatedEvents;
    BaselineConfidence baselineConfidence = BaselineConfidence::learning;
    bool operator==(const FirstHealthSummaryHistoryContext&) const = default;
};

struct FirstHealthSummaryDeviceContext {
    FirstHealthSummaryBatteryApplicability batteryApplicability =
        FirstHealthSummaryBatteryApplicability::unknown;
    bool operator==(const FirstHealthSummaryDeviceContext&) const = default;

    // Known only from a readable battery group: present → applicable, absent → not applicable.
    static FirstHealthSummaryDeviceContext from(const std::optional<SystemSnapshot>& snapshot);
};

struct FirstHealthSummaryInput {
    std::optional<SystemSnapshot> snapshot;
    std::optional<HealthAssessment> assessment;
    std::optional<HealthTestResult> quickTestResult;
    std::optional<NetworkQualityResult> networkQualityResult;
    std::vector<HealthInsight> activeInsights;
    FirstHealthSummaryHistoryContext historyContext;
    FirstHealthSummaryDeviceContext deviceContext;
    Date generatedAt;
};

struct FirstHealthSummaryFinding {
    FirstHealthSummaryFindingKind kind = FirstHealthSummaryFindingKind::generalSystemConcern;
    FirstHealthSummaryFindingCategory category = FirstHealthSummaryFindingCategory::system;
    FirstHealthSummaryFindingUrgency urgency = FirstHealthSummaryFindingUrgency::attention;
    FirstHealthSummaryUserImpact userImpact = FirstHealthSummaryUserImpact::low;
    FirstHealthSummaryConfidence confidence = FirstHealthSummaryConfidence::limited;
    FirstHealthSummaryActionability actionability = FirstHealthSummaryActionability::observe;
    std::optional<FirstHealthSummaryAction> action;
    FirstHealthSummaryEvidenceSource source = FirstHealthSummaryEvidenceSource::liveAssessment;
    bool operator==(const FirstHealthSummaryFinding&) const = default;
};

struct FirstHealthSummaryCoverageItem {
    FirstHealthSummaryEvidenceCategory category = FirstHealthSummaryEvidenceCategory::systemHealth;
    FirstHealthSummaryCoverageStatus status = FirstHealthSummaryCoverageStatus::unavailable;
    std::optional<FirstHealthSummaryCoverageReason> reason;
    bool operator==(const FirstHealthSummaryCoverageItem&) const = default;
};

struct FirstHealthSummaryCoverage {
    std::vector<FirstHealthSummaryCoverageItem> items; // at most one per category, in category order
    bool operator==(const FirstHealthSummaryCoverage&) const = default;

    std::optional<FirstHealthSummaryCoverageItem> item(FirstHealthSummaryEvidenceCategory category) const;
    // System health, quick test and network checked; the battery checked or not applicable.
    bool isComplete() const;
};

struct FirstHealthSummary {
    static constexpr int kFormatVersion = 1;

    FirstHealthSummaryOverallState overallState = FirstHealthSummaryOverallState::insufficientEvidence;
    FirstHealthSummaryConfidence confidence = FirstHealthSummaryConfidence::limited;
    FirstHealthSummaryCoverage coverage;
    std::vector<FirstHealthSummaryFinding> findings; // ranked, at most 3
    FirstHealthSummaryAction nextAction = FirstHealthSummaryAction::retryLiveMeasurement;
    Date generatedAt;
    int formatVersion = kFormatVersion;
    bool operator==(const FirstHealthSummary&) const = default;
};

QJsonObject firstHealthSummaryToJson(const FirstHealthSummary& summary);
FirstHealthSummary firstHealthSummaryFromJson(const QJsonObject& object); // throws KestrumError

} // namespace kestrum
