#pragma once

// Raw platform readings that the calculators turn into records. Never shown, never persisted.

#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace kestrum {

// Tick counters of one logical core since boot.
struct CPUTicks {
    uint64_t user = 0;
    uint64_t system = 0;
    uint64_t idle = 0;
    uint64_t nice = 0;
    bool operator==(const CPUTicks&) const = default;
};

struct CPUTickSnapshot {
    std::vector<CPUTicks> cores;
    std::vector<double> loadAverage; // 1-, 5- and 15-minute values; may hold fewer than three
    bool operator==(const CPUTickSnapshot&) const = default;
};

struct MachMemorySnapshot {
    uint64_t physicalMemoryBytes = 0;
    uint64_t pageSizeBytes = 0;
    uint64_t activePageCount = 0;
    uint64_t wiredPageCount = 0;
    uint64_t compressedPageCount = 0;
    uint64_t swapUsedBytes = 0;
    bool operator==(const MachMemorySnapshot&) const = default;
};

struct DiskCapacitySnapshot {
    std::optional<int64_t> totalBytes;
    std::optional<int64_t> importantAvailableBytes; // counts purgeable space as free
    std::optional<int64_t> fallbackAvailableBytes;
    bool operator==(const DiskCapacitySnapshot&) const = default;
};

// Received and sent bytes summed over the counted interfaces.
struct NetworkByteCounter {
    uint64_t receivedBytes = 0;
    uint64_t sentBytes = 0;
    bool operator==(const NetworkByteCounter&) const = default;
};

// The platform's loosely typed power-source description: text keys to numbers (double or int), booleans
// and texts, as a battery reader found them.
using PowerSourceDescription = QVariantMap;

} // namespace kestrum
