#pragma once

#include "measurement/HealthInsightKind.h"
#include "measurement/HealthLevel.h"

#include <QString>

namespace kestrum {

// One current finding about a snapshot; its identity is its signature ("cpu-high").
struct HealthInsight {
    HealthInsightKind kind = HealthInsightKind::thermal;
    HealthLevel level = HealthLevel::normal;
    QString title;
    QString evidence;
    QString recommendation;
    QString signature;
    bool operator==(const HealthInsight&) const = default;
};

} // namespace kestrum
