#pragma once

#include "MemoryStats.h"
#include "RawReadings.h"

namespace kestrum::MemoryStatsCalculator {
// Used = active + wired + compressed pages, never more than physical memory.
MemoryStats stats(const MachMemorySnapshot& snapshot);
} // namespace kestrum::MemoryStatsCalculator
