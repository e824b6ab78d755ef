#pragma once

#include "HealthArchive.h"

namespace kestrum::HealthArchiveCompaction {

constexpr double kRetentionSeconds = 2'592'000; // 30 days

// Samples younger than 30 days, one per time bucket (60 s up to 2 days old, 300 s up to 7 days, 900 s
// beyond), the latest of each bucket, oldest first.
std::vector<HealthSample> compactedSamples(const std::vector<HealthSample>& samples, Date now);
// The whole archive as of `now`: samples as above, every other list within 30 days and its own limit.
HealthArchive compacted(const HealthArchive& archive, Date now);

} // namespace kestrum::HealthArchiveCompaction
