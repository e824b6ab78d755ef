#pragma once

#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"
#include "hardware/HardwareRecommendation.h"
#include "interpretation/HealthInsight.h"

#include <vector>

namespace kestrum {

// Turns hardware recommendations and health insights into verified findings, most severe first, and
// says in one sentence what they add up to. Never claims the machine is free of faults.
namespace DiagnosticEvidenceEngine {

std::vector<DiagnosticFinding> findings(const std::vector<HardwareRecommendation>& hardwareRecommendations,
                                        const std::vector<HealthInsight>& healthInsights,
                                        const SanitizedDiagnosticContext& context);

QString summary(const std::vector<DiagnosticFinding>& findings);

DiagnosticCategory category(HardwareComponentKind kind);
DiagnosticCategory category(HealthInsightKind kind);

} // namespace DiagnosticEvidenceEngine

} // namespace kestrum
