#pragma once

#include "DiagnosticFinding.h"
#include "SanitizedDiagnosticContext.h"

#include <vector>

namespace kestrum {

// What the language model is told: how to answer, and the one question. With a typed symptom it sees the
// symptom and nothing about the machine; without one, the device block and the verified findings.
namespace AIDiagnosticPromptBuilder {

// The session's instructions in the interface language.
QString instructions(bool english);

QString prompt(const SanitizedDiagnosticContext& context, const std::vector<DiagnosticFinding>& findings,
               bool english);

} // namespace AIDiagnosticPromptBuilder

} // namespace kestrum
