#pragma once

// A monitoring store over a fake sampler and archive, for the view models.

#include "TestSupport.h"
#include "core/monitor/MonitorFakes.h"
#include "foundation/Uuid.h"

namespace kestrum::test {

// A machine read completely: CPU, memory, disk and a wired connection with traffic, no battery.
inline SystemSnapshot measuredSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date::now());
    s.cpu = CPUStats{0.234, {0.2, 0.95}, {1.0}, MetricAvailability::available()};
    s.memory = MemoryStats{300, 1000, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1000, 500, MetricAvailability::available()};
    s.thermal = ThermalLevel::nominal;
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::ethernet;
    s.network.downloadBytesPerSecond = 1'340'000;
    s.network.uploadBytesPerSecond = 52'000;
    return s;
}

struct MeasuredStore {
    Date now = Date::now();
    InMemoryPreferencesStore preferences;
    std::shared_ptr<FakeSampler> sampler = std::make_shared<FakeSampler>(&now);
    std::shared_ptr<FakeRepository> repository = std::make_shared<FakeRepository>();
    SystemMonitorStore store{dependencies()};

    SystemMonitorStore::Dependencies dependencies() {
        sampler->next = measuredSnapshot();
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.dateProvider = [this] { return now; };
        return d;
    }

    // One sample of `snapshot`, two seconds after the last.
    void sample(const SystemSnapshot& snapshot) {
        sampler->next = snapshot;
        QCoro::waitFor(store.refresh());
        now = now.addingSeconds(2);
    }
};

} // namespace kestrum::test
