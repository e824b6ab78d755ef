#include "measurement/MetricStatsProviders.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct FakePath : NetworkPathSnapshotProviding {
    NetworkPathSnapshot snapshot = NetworkPathSnapshot::unavailable();
    NetworkPathSnapshot latestSnapshot() const override { return snapshot; }
};

struct FakeCounter : NetworkByteCounterReading {
    std::optional<NetworkByteCounter> value;
    std::set<QString> lastNames;
    std::optional<NetworkByteCounter> read(const std::set<QString>& names) override {
        lastNames = names;
        return value;
    }
};

struct FakeWiFi : WiFiLinkMetricsProviding {
    int reads = 0;
    WiFiLinkMetrics read() override {
        ++reads;
        WiFiLinkMetrics metrics;
        metrics.rssi = -61;
        metrics.noise = -92;
        metrics.transmitRateMbps = 866.7;
        metrics.channel = 36;
        metrics.details.networkName = QStringLiteral("Ev");
        return metrics;
    }
};

NetworkPathSnapshot connected(NetworkInterfaceKind kind, std::set<QString> names) {
    NetworkPathSnapshot path;
    path.isConnected = true;
    path.interfaceKind = kind;
    path.interfaceNames = std::move(names);
    path.supportsIPv4 = true;
    path.supportsDNS = true;
    path.isExpensive = true;
    return path;
}

struct Harness {
    std::shared_ptr<FakePath> path = std::make_shared<FakePath>();
    FakeCounter* counter = nullptr;
    FakeWiFi* wifi = nullptr;
    double now = 100;
    std::unique_ptr<NetworkStatsProvider> provider;

    Harness() {
        auto c = std::make_unique<FakeCounter>();
        auto w = std::make_unique<FakeWiFi>();
        counter = c.get();
        wifi = w.get();
        provider = std::make_unique<NetworkStatsProvider>(path, std::move(c), std::move(w),
                                                          std::make_unique<EmptyConnectionDetailsProvider>(),
                                                          [this] { return now; });
    }
};

const QString kBaseline = QStringLiteral("Ağ trafik hızı için başlangıç ölçümü alındı.");

} // namespace

TEST(NetworkStatsProvider, PathNotYetReadKeepsItsReasonAndLeavesTheBaselineAlone) {
    Harness h;
    const NetworkStats stats = h.provider->sample();
    EXPECT_EQ(stats.pathAvailability.reason, QStringLiteral("Ağ durumu henüz okunamadı."));
    EXPECT_EQ(stats.trafficAvailability.reason, QStringLiteral("Ağ trafiği henüz okunamadı."));

    h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth0")});
    h.counter->value = NetworkByteCounter{1000, 1000};
    EXPECT_EQ(h.provider->sample().trafficAvailability.reason, kBaseline);
    h.path->snapshot = NetworkPathSnapshot::unavailable();
    h.provider->sample();
    ASSERT_TRUE(h.provider->baseline());
    EXPECT_EQ(h.provider->baseline()->counter, (NetworkByteCounter{1000, 1000}));
}

TEST(NetworkStatsProvider, RatesAgainstTheBaselineAndItsResets) {
    Harness h;
    h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth0")});
    h.counter->value = NetworkByteCounter{1000, 2000};

    struct Step {
        const char* name;
        std::function<void(Harness&)> change;
        std::optional<std::pair<double, double>> rates; // absent: the baseline text
    } steps[] = {
        {"first reading takes the baseline", [](Harness&) {}, std::nullopt},
        {"two seconds later",
         [](Harness& h) {
             h.now += 2;
             h.counter->value = NetworkByteCounter{3000, 2500};
         },
         std::pair{1000.0, 250.0}},
        {"clock did not advance", [](Harness&) {}, std::nullopt},
        {"interface set changed (Wi-Fi to Ethernet)",
         [](Harness& h) {
             h.now += 1;
             h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth1")});
         },
         std::nullopt},
        {"same set again yields rates",
         [](Harness& h) {
             h.now += 1;
             h.counter->value = NetworkByteCounter{4000, 2500};
         },
         std::pair{1000.0, 0.0}},
        {"disconnection clears the baseline",
         [](Harness& h) { h.path->snapshot = NetworkPathSnapshot::disconnected(); }, std::pair{0.0, 0.0}},
        {"first sample after reconnection reports the baseline text",
         [](Harness& h) {
             h.now += 5;
             h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth1")});
         },
         std::nullopt},
    };
    for (const auto& step : steps) {
        step.change(h);
        const NetworkStats stats = h.provider->sample();
        if (step.rates) {
            EXPECT_EQ(stats.downloadBytesPerSecond, step.rates->first) << step.name;
            EXPECT_EQ(stats.uploadBytesPerSecond, step.rates->second) << step.name;
            EXPECT_TRUE(stats.trafficAvailability.isAvailable()) << step.name;
        } else {
            EXPECT_EQ(stats.trafficAvailability.reason, kBaseline) << step.name;
            EXPECT_EQ(stats.downloadBytesPerSecond, 0) << step.name;
        }
    }
}

TEST(NetworkStatsProvider, UnreadableCountersOrClockLeaveTheBaselineUnchanged) {
    Harness h;
    h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth0")});
    h.counter->value = NetworkByteCounter{100, 100};
    h.provider->sample();

    h.counter->value.reset();
    EXPECT_EQ(h.provider->sample().trafficAvailability.reason,
              QStringLiteral("Ağ trafik sayaçları okunamadı."));
    h.counter->value = NetworkByteCounter{300, 100};
    h.now = std::nan("");
    EXPECT_EQ(h.provider->sample().trafficAvailability.reason,
              QStringLiteral("Ağ trafik ölçüm zamanı okunamadı."));
    h.now = 102;
    const NetworkStats stats = h.provider->sample();
    EXPECT_EQ(stats.downloadBytesPerSecond, 100); // still measured against the first reading
}

TEST(NetworkStatsProvider, WiFiFieldsOnlyOnWiFiAndPathFieldsCopied) {
    Harness h;
    h.counter->value = NetworkByteCounter{0, 0};
    h.path->snapshot = connected(NetworkInterfaceKind::ethernet, {QStringLiteral("eth0")});
    NetworkStats wired = h.provider->sample();
    EXPECT_EQ(h.wifi->reads, 0);
    EXPECT_FALSE(wired.wifiRSSI);
    EXPECT_EQ(wired.wifiConnectionDetails, WiFiConnectionDetails{});
    EXPECT_TRUE(wired.isExpensive);
    EXPECT_TRUE(wired.supportsIPv4);
    EXPECT_FALSE(wired.supportsIPv6);

    h.path->snapshot = connected(NetworkInterfaceKind::wifi, {QStringLiteral("wlan0")});
    const NetworkStats wireless = h.provider->sample();
    EXPECT_EQ(h.wifi->reads, 1);
    EXPECT_EQ(wireless.wifiRSSI, -61);
    EXPECT_EQ(wireless.wifiChannel, 36);
    EXPECT_EQ(wireless.wifiConnectionDetails.networkName, QStringLiteral("Ev"));
    EXPECT_EQ(h.counter->lastNames, std::set<QString>{QStringLiteral("wlan0")});
}
