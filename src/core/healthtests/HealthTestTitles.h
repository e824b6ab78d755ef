#pragma once

#include "CPUBenchmarkResult.h"
#include "DeepHealthTestResult.h"
#include "HealthTestResult.h"

namespace kestrum::HealthTestTitles {

// The Turkish names of the phases (as progress shows them), components and grades.
QString title(HealthTestPhase phase);
QString title(DeepHealthTestPhase phase);
QString title(CPUBenchmarkPhase phase);
QString title(HealthTestComponentKind kind);
QString title(HealthTestConfidence confidence);
QString title(CPUBenchmarkMode mode);

} // namespace kestrum::HealthTestTitles
