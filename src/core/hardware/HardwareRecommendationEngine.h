#pragma once

#include "HardwareProfile.h"
#include "HardwareRecommendation.h"
#include "history/HealthSample.h"
#include "measurement/SystemSnapshot.h"

#include <optional>
#include <vector>

namespace kestrum {

// Turns the profile, the current sample and the last week of stored samples into at most four
// recommendations: battery service, more memory, free storage, a cooling inspection. It never says a
// part has failed; it repeats what the system reports and what the samples show.
namespace HardwareRecommendationEngine {

constexpr double kLookbackSeconds = 604'800;

std::vector<HardwareRecommendation> recommendations(const HardwareProfile& profile,
                                                    const SystemSnapshot& snapshot,
                                                    const std::vector<HealthSample>& history, Date now);

// The parts of this kind that need no physical verification, in their order.
std::vector<OriginalPartReference> exactParts(const std::vector<OriginalPartReference>& parts,
                                              HardwareComponentKind kind);
// The next supported memory size (GB) above the current one: the largest when `severe`, else the
// smallest; absent when there is none.
std::optional<int> nextMemoryOption(const HardwareProfile& profile, uint64_t currentBytes, bool severe);

} // namespace HardwareRecommendationEngine

} // namespace kestrum
