#pragma once

// Hand-made evidence for the first health summary, all timed against one fixed moment.

#include "foundation/Uuid.h"
#include "summary/FirstHealthSummary.h"

namespace kestrum::test {

inline const Date kSummaryNow = Date::fromReference(800'000'000);

// A snapshot `age` seconds old whose network path is readable and whose battery group is readable.
inline SystemSnapshot summarySnapshot(double age, bool batteryPresent = true, bool connected = true) {
    SystemSnapshot snapshot = SystemSnapshot::empty(newUuid(), kSummaryNow.addingSeconds(-age));
    snapshot.battery.availability = MetricAvailability::available();
    snapshot.battery.isPresent = batteryPresent;
    if (batteryPresent)
        snapshot.battery.healthCondition = QStringLiteral("Good");
    snapshot.network.pathAvailability = MetricAvailability::available();
    snapshot.network.isConnected = connected;
    return snapshot;
}

inline HealthAssessment summaryAssessment(HealthLevel level, HealthAssessmentConfidence confidence,
                                          int evaluated = 4, int unavailable = 0) {
    HealthAssessment assessment;
    assessment.level = level;
    assessment.confidence = confidence;
    for (int i = 0; i < evaluated; ++i)
        assessment.coverage.evaluatedSignals.push_back(QStringLiteral("signal %1").arg(i));
    for (int i = 0; i < unavailable; ++i)
        assessment.coverage.unavailableSignals.push_back(QStringLiteral("missing %1").arg(i));
    return assessment;
}

struct ComponentSpec {
    HealthTestComponentKind kind;
    std::optional<int> score;
    bool recommends = true;
};

inline HealthTestResult summaryQuickTest(double age, HealthTestConfidence confidence,
                                         const std::vector<ComponentSpec>& components) {
    HealthTestResult result;
    result.id = newUuid();
    result.endedAt = kSummaryNow.addingSeconds(-age);
    result.startedAt = result.endedAt.addingSeconds(-60);
    result.confidence = confidence;
    for (const ComponentSpec& spec : components) {
        result.components.push_back(
            {spec.kind, spec.score, QStringLiteral("evidence"),
             spec.recommends ? std::optional<QString>(QStringLiteral("do this")) : std::nullopt});
    }
    return result;
}

// Every component scored 90: a complete, clean quick test.
inline HealthTestResult cleanQuickTest(double age = 60,
                                       HealthTestConfidence confidence = HealthTestConfidence::high) {
    std::vector<ComponentSpec> components;
    for (const HealthTestComponentKind kind : allCases<HealthTestComponentKind>())
        components.push_back({kind, 90});
    return summaryQuickTest(age, confidence, components);
}

inline NetworkQualityResult summaryNetwork(double age, NetworkQualityLevel quality, int attempted = 6,
                                           int successful = 6) {
    NetworkQualityResult result;
    result.id = newUuid();
    result.timestamp = kSummaryNow.addingSeconds(-age);
    result.quality = quality;
    result.attemptedProbes = attempted;
    result.successfulProbes = successful;
    return result;
}

inline HealthInsight summaryInsight(HealthInsightKind kind, HealthLevel level,
                                    const QString& signature = {}) {
    HealthInsight insight;
    insight.kind = kind;
    insight.level = level;
    insight.signature = signature.isEmpty() ? rawValue(kind) + QStringLiteral("-high") : signature;
    return insight;
}

// A fresh live sample assessed as normal with high confidence, on a machine with a healthy battery.
inline FirstHealthSummaryInput liveInput() {
    FirstHealthSummaryInput input;
    input.generatedAt = kSummaryNow;
    input.snapshot = summarySnapshot(10);
    input.assessment = summaryAssessment(HealthLevel::normal, HealthAssessmentConfidence::high);
    input.deviceContext.batteryApplicability = FirstHealthSummaryBatteryApplicability::applicable;
    return input;
}

// Fresh, complete and clean evidence in every area.
inline FirstHealthSummaryInput completeInput() {
    FirstHealthSummaryInput input = liveInput();
    input.quickTestResult = cleanQuickTest();
    input.networkQualityResult = summaryNetwork(60, NetworkQualityLevel::excellent);
    return input;
}

} // namespace kestrum::test
