#include "DiskStatsCalculator.h"

#include <algorithm>

namespace kestrum::DiskStatsCalculator {

DiskStats stats(std::optional<int64_t> totalBytes, std::optional<int64_t> importantAvailableBytes,
                std::optional<int64_t> fallbackAvailableBytes) {
    int64_t available = 0;
    if (importantAvailableBytes && *importantAvailableBytes >= 0) {
        available = *importantAvailableBytes;
    } else if (fallbackAvailableBytes && *fallbackAvailableBytes >= 0) {
        available = *fallbackAvailableBytes;
    } else {
        return DiskStats::unreadable();
    }
    if (!totalBytes || *totalBytes < 1)
        return DiskStats::unreadable();
    return DiskStats{static_cast<uint64_t>(*totalBytes),
                     static_cast<uint64_t>(std::min(*totalBytes, available)),
                     MetricAvailability::available()};
}

} // namespace kestrum::DiskStatsCalculator
