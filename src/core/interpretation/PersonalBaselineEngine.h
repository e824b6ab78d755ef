#pragma once

#include "PersonalBaseline.h"
#include "history/HealthSample.h"

#include <QTimeZone>
#include <vector>

namespace kestrum::PersonalBaselineEngine {

constexpr double kLookbackSeconds = 604'800; // seven days

// Medians and 90th percentiles over the samples in [now − lookback, now]; days are counted in `timeZone`
// (the user's own by default).
PersonalBaseline makeBaseline(const std::vector<HealthSample>& samples, Date now, double lookbackSeconds,
                              const QTimeZone& timeZone = QTimeZone::systemTimeZone());

// Linear interpolation between the closest ranks; non-finite values ignored; absent when none remain.
std::optional<double> percentile(std::vector<double> values, double p);

// One rate (fraction per hour) per discharge session of at least 15 minutes and 0.5 % drop.
std::vector<double> batteryDrainRates(const std::vector<const HealthSample*>& sortedSamples);

} // namespace kestrum::PersonalBaselineEngine
