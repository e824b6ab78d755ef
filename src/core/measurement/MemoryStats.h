#pragma once

#include "MetricAvailability.h"

#include <cstdint>

namespace kestrum {

struct MemoryStats {
    uint64_t usedBytes = 0;
    uint64_t totalBytes = 0;
    uint64_t compressedBytes = 0;
    uint64_t swapUsedBytes = 0;
    MetricAvailability availability;

    static MemoryStats unreadable();
    bool operator==(const MemoryStats&) const = default;
};

} // namespace kestrum
