#pragma once

#include "HardwareProfile.h"
#include "measurement/BatteryStats.h"

#include <optional>
#include <qcoro/qcorotask.h>

namespace kestrum {

// What the system says about the machine itself; every value absent when it cannot be read.
struct SystemHardwareSnapshot {
    std::optional<QString> modelIdentifier;
    std::optional<QString> processorBrand;
    std::optional<int> physicalCores;
    std::optional<int> logicalCores;
    std::optional<uint64_t> memoryBytes;
    bool operator==(const SystemHardwareSnapshot&) const = default;
};

class SystemHardwareSnapshotReading {
public:
    virtual ~SystemHardwareSnapshotReading() = default;
    virtual SystemHardwareSnapshot read() = 0;
};

// The start-up disk: its identity, or why it cannot be named; and the whole disk's system name, which
// the health reader asks about.
struct StartupDiskReading {
    std::optional<StorageDeviceIdentity> identity;
    std::optional<QString> unavailableReason;
    std::optional<QString> deviceName;
    bool operator==(const StartupDiskReading&) const = default;
};

class StorageDeviceIdentityReading {
public:
    virtual ~StorageDeviceIdentityReading() = default;
    virtual StartupDiskReading read() = 0;
};

class StorageHealthReading {
public:
    virtual ~StorageHealthReading() = default;
    // Never blocks longer than the reader's own time limit.
    virtual StorageHealth read(const QString& deviceName) = 0;
};

class GraphicsDeviceIdentityReading {
public:
    virtual ~GraphicsDeviceIdentityReading() = default;
    virtual std::optional<QString> read() = 0;
};

class BatteryServiceInfoReading {
public:
    virtual ~BatteryServiceInfoReading() = default;
    // Absent when there is no battery.
    virtual std::optional<BatteryServiceInfo> read() = 0;
};

class HardwareProfileDiscovering {
public:
    virtual ~HardwareProfileDiscovering() = default;
    // Never fails: a missing input only removes a component or leaves a field empty.
    virtual QCoro::Task<HardwareProfile> discover() = 0;
};

} // namespace kestrum
