#pragma once

#include "foundation/EnumTraits.h"
#include "measurement/HealthLevel.h"

#include <QString>
#include <vector>

namespace kestrum {

enum class HealthAssessmentConfidence { low, medium, high };

template <> struct EnumTraits<HealthAssessmentConfidence> {
    static constexpr std::pair<HealthAssessmentConfidence, std::string_view> cases[] = {
        {HealthAssessmentConfidence::low, "low"},
        {HealthAssessmentConfidence::medium, "medium"},
        {HealthAssessmentConfidence::high, "high"},
    };
};

// Which of "Termal durum", "Bellek kullanımı", "Depolama alanı", "Batarya sağlığı" were judged.
struct HealthAssessmentCoverage {
    std::vector<QString> evaluatedSignals;
    std::vector<QString> unavailableSignals;
    bool operator==(const HealthAssessmentCoverage&) const = default;
};

// The one-line health verdict of a snapshot.
struct HealthAssessment {
    HealthLevel level = HealthLevel::unavailable;
    QString title;
    std::vector<QString> reasons;
    std::vector<QString> recommendations;
    HealthAssessmentCoverage coverage;
    HealthAssessmentConfidence confidence = HealthAssessmentConfidence::low;
    bool operator==(const HealthAssessment&) const = default;
};

} // namespace kestrum
