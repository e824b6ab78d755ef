#pragma once

#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"

#include <vector>

namespace kestrum {

// The explanation the user reads, assembled locally: the model only chose the category. Only findings of
// that category count as evidence for the symptom.
namespace AIDiagnosticNarrativeBuilder {

QString narrative(DiagnosticCategory category, const SanitizedDiagnosticContext& context,
                  const std::vector<DiagnosticFinding>& findings, bool english);

} // namespace AIDiagnosticNarrativeBuilder

} // namespace kestrum
