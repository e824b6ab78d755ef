#pragma once

#include "MonitorFakes.h"
#include "TestSupport.h"
#include "foundation/PreferencesStore.h"

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

namespace kestrum::test {

inline SystemSnapshot healthySnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date{0});
    s.cpu = CPUStats{0.2, {0.2, 0.2}, {}, MetricAvailability::available()};
    s.memory = MemoryStats{40, 100, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{100, 60, MetricAvailability::available()};
    s.thermal = ThermalLevel::nominal;
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::ethernet;
    return s;
}

// A store over fakes, with a wall clock and a monotonic clock the test moves.
class StoreFixture : public ::testing::Test {
protected:
    Date now = Date::fromUnixSeconds(1'765'000'000);
    double monotonic = 1000;
    bool offersThermalSignal = true;
    InMemoryPreferencesStore preferences;
    std::shared_ptr<FakeSampler> sampler = std::make_shared<FakeSampler>(&now);
    std::shared_ptr<FakeRepository> repository = std::make_shared<FakeRepository>();
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::shared_ptr<InstantSleeper> sleeper = std::make_shared<InstantSleeper>();
    // The network testers the store gets; by default the real ones over the default endpoints.
    std::optional<NetworkTestDependencies> networkTests;
    SleepWakeNotifying sleepWake;
    ProductAnalyticsRecorder analyticsRecorder;
    HealthTestDependencies healthTests; // the real workloads unless a test puts fakes in
    std::unique_ptr<SystemMonitorStore> store;

    void SetUp() override { sampler->next = healthySnapshot(); }

    SystemMonitorStore& make() {
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.notificationService = notifications;
        d.sleepWake = &sleepWake;
        d.loopSleeper = sleeper;
        d.dateProvider = [this] { return now; };
        d.monotonicClock = [this] { return monotonic; };
        d.machineOffersThermalSignal = [this] { return offersThermalSignal; };
        d.analyticsRecorder = analyticsRecorder;
        d.healthTests = healthTests;
        if (networkTests)
            d.networkTests = *networkTests;
        store.reset();
        store = std::make_unique<SystemMonitorStore>(std::move(d));
        return *store;
    }

    void advance(double seconds) {
        now = now.addingSeconds(seconds);
        monotonic += seconds;
    }

    SystemMonitorRefreshOutcome refreshNow() { return QCoro::waitFor(store->refresh()); }
};

} // namespace kestrum::test
