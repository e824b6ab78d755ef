#include "MemoryStatsCalculator.h"

#include <limits>

namespace kestrum::MemoryStatsCalculator {

namespace {
constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

uint64_t saturatingProduct(uint64_t a, uint64_t b) {
    uint64_t out = 0;
    return __builtin_mul_overflow(a, b, &out) ? kMax : out;
}
} // namespace

MemoryStats stats(const MachMemorySnapshot& snapshot) {
    if (snapshot.physicalMemoryBytes == 0 || snapshot.pageSizeBytes == 0)
        return MemoryStats::unreadable();
    const uint64_t active = saturatingProduct(snapshot.activePageCount, snapshot.pageSizeBytes);
    const uint64_t wired = saturatingProduct(snapshot.wiredPageCount, snapshot.pageSizeBytes);
    const uint64_t compressed = saturatingProduct(snapshot.compressedPageCount, snapshot.pageSizeBytes);
    uint64_t sum = 0;
    uint64_t used = 0;
    if (__builtin_add_overflow(active, wired, &sum) || __builtin_add_overflow(sum, compressed, &sum))
        used = snapshot.physicalMemoryBytes;
    else
        used = std::min(sum, snapshot.physicalMemoryBytes);
    return MemoryStats{used, snapshot.physicalMemoryBytes, compressed, snapshot.swapUsedBytes,
                       MetricAvailability::available()};
}

} // namespace kestrum::MemoryStatsCalculator
