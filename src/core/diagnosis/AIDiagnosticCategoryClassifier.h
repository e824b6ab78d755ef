#pragma once

#include "DiagnosticFinding.h"

namespace kestrum {

// Reads the model's answer strictly: exactly one of the eight labels as a whole word, or nothing.
namespace AIDiagnosticCategoryClassifier {

// Throws KestrumError (invalidClassification) when no label or more than one label is found.
DiagnosticCategory category(const QString& response);

} // namespace AIDiagnosticCategoryClassifier

} // namespace kestrum
