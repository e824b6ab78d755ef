#pragma once

#include <QString>

namespace kestrum {

// The last check before an explanation is shown: no claim of certain health or certain absence of a
// fault, no part numbers the findings did not verify, and a bounded length.
namespace AIDiagnosticOutputGuard {

constexpr qsizetype kMaximumCharacters = 4000;

// Throws KestrumError (emptyResponse, unsupportedCertainty).
QString sanitize(const QString& text);

} // namespace AIDiagnosticOutputGuard

} // namespace kestrum
