#pragma once

#include "HardwareComponentKind.h"
#include "HardwareHealthReadings.h"
#include "HardwareServiceability.h"
#include "OriginalPartReference.h"
#include "foundation/Date.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrum {

enum class HardwareDetectionSource { system, modelCatalog };

template <> struct EnumTraits<HardwareDetectionSource> {
    static constexpr std::pair<HardwareDetectionSource, std::string_view> cases[] = {
        {HardwareDetectionSource::system, "system"},
        {HardwareDetectionSource::modelCatalog, "modelCatalog"},
    };
};

// One part of the machine as the profile shows it. A profile holds at most one per kind.
struct DetectedHardwareComponent {
    HardwareComponentKind kind = HardwareComponentKind::processor;
    std::optional<QString> manufacturer;
    QString model;
    QString detail; // one line under the model
    ComponentServiceability serviceability;
    HardwareDetectionSource source = HardwareDetectionSource::system;
    // Health facts the system reports beyond the identity (storage SMART, battery cycles), one sentence
    // each; what could not be read is said too.
    std::vector<QString> evidence;

    bool operator==(const DetectedHardwareComponent&) const = default;
};

// The start-up disk as the storage reader describes it.
struct StorageDeviceIdentity {
    std::optional<QString> manufacturer;
    std::optional<QString> model;
    std::optional<QString> protocolName;
    std::optional<uint64_t> physicalBytes;
    std::optional<bool> isInternal;
    std::optional<bool> isSolidState;

    bool operator==(const StorageDeviceIdentity&) const = default;
};

// Which machine this is and what it is built from. Read once, held in memory, never persisted.
struct HardwareProfile {
    Date discoveredAt;
    QString modelIdentifier;
    QString modelName;
    std::optional<int> introductionYear;
    bool catalogMatched = false;
    std::optional<QString> catalogSourceURL;
    std::optional<Date> catalogVerifiedAt;
    std::optional<QString> repairManualID;
    std::optional<uint64_t> memoryBytes;
    std::optional<uint64_t> storageBytes;
    MemoryArchitecture memoryArchitecture;
    std::vector<int> supportedMemoryOptionsGigabytes;
    StorageArchitecture storageArchitecture;
    std::vector<int> supportedStorageOptionsGigabytes;
    std::vector<DetectedHardwareComponent> components;
    std::vector<OriginalPartReference> originalParts;
    // Why the start-up disk could not be named (root on tmpfs, a network share, several disks, …).
    std::optional<QString> storageUnavailableReason;
    std::optional<StorageHealth> storageHealth;
    std::optional<BatteryServiceInfo> batteryService;

    // Before discovery, or when it cannot run.
    static HardwareProfile unavailable();
    const DetectedHardwareComponent* component(HardwareComponentKind kind) const;
    bool operator==(const HardwareProfile&) const = default;
};

} // namespace kestrum
