#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kestrum {

// Health of the start-up disk where the system offers it without administrator rights (the disk
// service's SMART data, the kernel's drive temperature). Every value is what the drive reported; a
// value it did not report is absent.
struct StorageHealth {
    std::optional<QString> source;        // what answered, e.g. "udisks2", "hwmon"
    std::optional<bool> failurePredicted; // the drive's own overall SMART verdict
    std::optional<int> percentageUsed;    // NVMe endurance estimate; may exceed 100
    std::optional<uint64_t> mediaErrors;  // NVMe media and data integrity errors
    std::optional<int64_t> badSectors;    // ATA reallocated and pending sectors
    std::optional<double> powerOnHours;
    std::optional<double> temperatureCelsius;
    // Why the disk service's SMART data could not be read (a Turkish sentence).
    std::optional<QString> unavailableReason;

    bool hasReadings() const {
        return failurePredicted || percentageUsed || mediaErrors || badSectors || powerOnHours ||
               temperatureCelsius;
    }
    bool operator==(const StorageHealth&) const = default;
};

// What the battery's driver says about its wear.
struct BatteryServiceInfo {
    std::optional<int> cycleCount;
    std::optional<double> designCapacity;     // in `capacityUnit`
    std::optional<double> fullChargeCapacity; // in `capacityUnit`
    QString capacityUnit;                     // "Wh" or "mAh"
    std::optional<QString> manufacturer;
    std::optional<QString> model;

    // Full-charge capacity as a share of the design capacity; absent unless both are known.
    std::optional<double> capacityFraction() const {
        if (!designCapacity || !fullChargeCapacity || *designCapacity <= 0)
            return std::nullopt;
        return *fullChargeCapacity / *designCapacity;
    }
    bool operator==(const BatteryServiceInfo&) const = default;
};

} // namespace kestrum
