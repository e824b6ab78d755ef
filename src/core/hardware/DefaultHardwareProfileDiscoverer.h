#pragma once

#include "HardwareProfileDiscovering.h"
#include "MacHardwareCatalog.h"
#include "foundation/Clocks.h"
#include "measurement/StatsProviding.h"

#include <QThreadPool>
#include <functional>
#include <memory>

namespace kestrum {

// Everything the readers returned for one discovery.
struct HardwareReadings {
    SystemHardwareSnapshot system;
    StartupDiskReading storage;
    std::optional<StorageHealth> storageHealth;
    std::optional<QString> graphicsName;
    std::optional<BatteryStats> battery;
    std::optional<BatteryServiceInfo> batteryService;
};

// Reads the machine and merges it with the model catalog. Holds no state between discoveries; the
// readers run one discovery at a time on the discoverer's own thread.
class DefaultHardwareProfileDiscoverer : public HardwareProfileDiscovering {
public:
    // A reader left empty reads nothing (a platform without that service).
    struct Readers {
        std::shared_ptr<SystemHardwareSnapshotReading> system;
        std::shared_ptr<StorageDeviceIdentityReading> storage;
        std::shared_ptr<StorageHealthReading> storageHealth;
        std::shared_ptr<GraphicsDeviceIdentityReading> graphics;
        std::shared_ptr<BatteryStatsProviding> battery;
        std::shared_ptr<BatteryServiceInfoReading> batteryService;
    };

    // `english` says whether capacities are written in English notation; by default the interface
    // language decides.
    explicit DefaultHardwareProfileDiscoverer(Readers readers = {}, MacHardwareCatalog catalog = {},
                                              DateProvider dateProvider = {},
                                              std::function<bool()> english = {});
    ~DefaultHardwareProfileDiscoverer() override;

    QCoro::Task<HardwareProfile> discover() override;
    // The same, on the calling thread.
    HardwareProfile discoverNow();
    HardwareReadings read();

    // The merge: components in display order, the catalog's fields and parts.
    static HardwareProfile makeProfile(const HardwareReadings& readings, const MacHardwareCatalog& catalog,
                                       Date discoveredAt, bool english);
    // "995 GB", "2 TB", "1,5 TB" (decimal units; Turkish or English notation).
    static QString storageCapacityText(uint64_t bytes, bool english);
    // "16 GB" (binary gigabytes, whole).
    static QString memorySizeText(uint64_t bytes);
    // Capacity, protocol, "SSD", "Dahili" for what is known, joined with " · ".
    static QString storageDetail(const StorageDeviceIdentity& identity, bool english);

private:
    Readers m_readers;
    MacHardwareCatalog m_catalog;
    DateProvider m_dateProvider;
    std::function<bool()> m_english;
    QThreadPool m_executor; // last: its destruction waits for a discovery still running
};

} // namespace kestrum
