#pragma once

#include "SanitizedDiagnosticContext.h"
#include "hardware/HardwareProfile.h"
#include "history/HealthSample.h"
#include "measurement/SystemSnapshot.h"

#include <optional>
#include <vector>

namespace kestrum {

// Reduces the profile, the current sample, the stored samples and the typed symptom to the context the
// explainer may see.
namespace DiagnosticContextBuilder {

constexpr double kHistorySeconds = 604'800;
constexpr qsizetype kMaximumSymptomCharacters = 500;

// `snapshot` absent: nothing has been measured yet.
SanitizedDiagnosticContext makeContext(const HardwareProfile& profile,
                                       const std::optional<SystemSnapshot>& snapshot,
                                       const std::vector<HealthSample>& history, const QString& symptom);

// Control characters other than tab and line feed removed, trimmed, cut to 500 characters (never inside
// a surrogate pair); absent when nothing is left.
std::optional<QString> sanitizedSymptom(const QString& symptom);

// Whether any of processor, memory, disk, battery or thermal state was read in this sample.
bool hasLiveMeasurement(const SystemSnapshot& snapshot);

} // namespace DiagnosticContextBuilder

} // namespace kestrum
