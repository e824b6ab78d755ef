#pragma once

#include "HealthAssessment.h"
#include "measurement/SystemSnapshot.h"

namespace kestrum::HealthAssessmentEngine {

// Thermal, memory, storage and battery signals → level, title, reasons, recommendations, coverage and
// confidence. The processor load does not enter the verdict.
HealthAssessment assess(const SystemSnapshot& snapshot);

} // namespace kestrum::HealthAssessmentEngine
