#pragma once

#include "HardwareComponentKind.h"
#include "OriginalPartReference.h"

#include <QString>
#include <vector>

namespace kestrum {

enum class HardwareRecommendationKind { service, upgrade, optimize };

template <> struct EnumTraits<HardwareRecommendationKind> {
    static constexpr std::pair<HardwareRecommendationKind, std::string_view> cases[] = {
        {HardwareRecommendationKind::service, "service"},
        {HardwareRecommendationKind::upgrade, "upgrade"},
        {HardwareRecommendationKind::optimize, "optimize"},
    };
};

// Lowest first.
enum class HardwareRecommendationUrgency { information, attention, serviceRecommended };

template <> struct EnumTraits<HardwareRecommendationUrgency> {
    static constexpr std::pair<HardwareRecommendationUrgency, std::string_view> cases[] = {
        {HardwareRecommendationUrgency::information, "information"},
        {HardwareRecommendationUrgency::attention, "attention"},
        {HardwareRecommendationUrgency::serviceRecommended, "serviceRecommended"},
    };
};

// One conservative piece of advice, with what it rests on.
struct HardwareRecommendation {
    QString id;
    HardwareComponentKind componentKind = HardwareComponentKind::processor;
    HardwareRecommendationKind kind = HardwareRecommendationKind::service;
    HardwareRecommendationUrgency urgency = HardwareRecommendationUrgency::information;
    QString title;
    QString evidence;
    QString action;
    CulpritConfidence confidence = CulpritConfidence::low;
    std::vector<OriginalPartReference> compatibleParts;
    // Further facts the component's driver or disk service reported (cycle count, SMART), one sentence
    // each; shown after the evidence.
    std::vector<QString> supportingEvidence;

    bool operator==(const HardwareRecommendation&) const = default;
};

} // namespace kestrum
