#pragma once

#include "MetricAvailability.h"

#include <cstdint>

namespace kestrum {

struct DiskStats {
    uint64_t totalBytes = 0;
    uint64_t availableBytes = 0;
    MetricAvailability availability;

    static DiskStats unreadable();
    bool operator==(const DiskStats&) const = default;
};

} // namespace kestrum
