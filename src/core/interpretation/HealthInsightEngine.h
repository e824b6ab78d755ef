#pragma once

#include "HealthInsight.h"
#include "PersonalBaseline.h"
#include "history/HealthEvent.h"
#include "measurement/SystemSnapshot.h"

#include <functional>
#include <vector>

namespace kestrum {

// Judges one snapshot against fixed safety limits and, once learned, the user's own baseline.
namespace HealthInsightEngine {

// Thermal, cpu, memory, disk, battery, Wi-Fi rules, sorted by severity (stable: rule order breaks ties).
std::vector<HealthInsight> insights(const SystemSnapshot& snapshot, const PersonalBaseline& baseline);

// round(median RSSI) − 15 clamped to [−72, −60] dBm once personal, else −72 dBm.
int wifiThreshold(const PersonalBaseline& baseline);
// The thresholds the rules use, and whether each is personal.
struct Thresholds {
    double cpu = 0.90;
    bool cpuIsPersonal = false;
    double memory = 0.95;
};
Thresholds thresholds(const PersonalBaseline& baseline);

// New events for insights that are not within the cooldown of an earlier event of the same signature,
// kind and level. A change of level raises a new event at once.
std::vector<HealthEvent> newEvents(const std::vector<HealthInsight>& insights,
                                   const std::vector<HealthEvent>& existingEvents, Date now,
                                   double cooldownSeconds, const std::function<QUuid()>& idProvider = {});

} // namespace HealthInsightEngine

} // namespace kestrum
