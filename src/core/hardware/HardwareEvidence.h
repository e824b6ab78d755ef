#pragma once

#include "HardwareHealthReadings.h"

#include <QString>
#include <vector>

namespace kestrum {

// The sentences that carry health facts read beyond the identity. Numbers are written in the interface
// language, as every text built while the profile is made.
namespace HardwareEvidence {

std::vector<QString> storageLines(const StorageHealth& health);
std::vector<QString> batteryLines(const BatteryServiceInfo& info);

} // namespace HardwareEvidence

} // namespace kestrum
