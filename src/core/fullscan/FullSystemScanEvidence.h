#pragma once

#include "FullSystemScanResult.h"
#include "hardware/HardwareProfile.h"
#include "hardware/HardwareRecommendation.h"
#include "healthtests/DeepHealthTestResult.h"
#include "interpretation/HealthAssessment.h"
#include "measurement/SystemSnapshot.h"
#include "network/NetworkQualityResult.h"
#include "network/NetworkSpeedTestResult.h"

#include <optional>

namespace kestrum {

// How one step of the chain ended: a result, an error text, a known reason it was skipped, or — all
// absent — it did not run.
template <class T> struct FullSystemScanStep {
    std::optional<T> result;
    std::optional<QString> failure;
    std::optional<QString> skipReason;

    static FullSystemScanStep completed(T value) { return {std::move(value), {}, {}}; }
    static FullSystemScanStep failed(QString error) { return {{}, std::move(error), {}}; }
    static FullSystemScanStep skipped(QString reason) { return {{}, {}, std::move(reason)}; }
    bool operator==(const FullSystemScanStep&) const = default;
};

// Everything one scan collected; the report builder condenses it into the result.
struct FullSystemScanEvidence {
    Date startedAt;
    Date endedAt;
    // Hardware identification; the profile is absent when discovery could not run.
    FullSystemScanStep<HardwareProfile> hardware;
    std::vector<HardwareRecommendation> hardwareRecommendations;
    // The sample of the hardware step: battery, thermal, storage and the connection come from it.
    std::optional<SystemSnapshot> snapshot;
    std::optional<HealthAssessment> assessment;
    FullSystemScanStep<HealthTestResult> quickHealth;
    FullSystemScanStep<DeepHealthTestResult> deepHealth;
    FullSystemScanStep<NetworkQualityResult> networkQuality;
    FullSystemScanStep<NetworkSpeedTestResult> internetSpeed;
    // The on-device explanation; absent when no explainer was available.
    FullSystemScanStep<QString> aiExplanation;
};

} // namespace kestrum
