#include "TestSupport.h"
#include "foundation/Uuid.h"
#include "interpretation/MenuBarPresentation.h"
#include "measurement/MenuBarPreferences.h"

#include <gtest/gtest.h>

using namespace kestrum;
using M = MenuBarPrimaryMetric;

namespace {

SystemSnapshot measured() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date{0});
    s.cpu = CPUStats{0.123, {0.123}, {}, MetricAvailability::available()};
    s.memory = MemoryStats{300, 1000, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{1000, 500, MetricAvailability::available()};
    s.battery = BatteryStats::notPresent(MetricAvailability::available());
    s.battery.isPresent = true;
    s.battery.chargeFraction = 0.8;
    s.battery.healthCondition = QStringLiteral("Good");
    s.thermal = ThermalLevel::nominal;
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::wifi;
    s.network.downloadBytesPerSecond = 1'250'000;
    return s;
}

} // namespace

TEST(MenuBarPreferences, DefaultsTypeRulesAndWriteBack) {
    InMemoryPreferencesStore store;
    store.setValue(QStringLiteral("ui.menuBar.primaryMetric"), QStringLiteral("gpu")); // not a metric
    store.setValue(QStringLiteral("ui.menuBar.rows.memory"), QStringLiteral("false")); // text, not a boolean
    store.setValue(QStringLiteral("ui.menuBar.rows.battery"), false);
    MenuBarPreferences preferences(store);
    EXPECT_EQ(preferences.primaryMetric(), M::cpu);
    EXPECT_TRUE(preferences.isVisible(M::memory));
    EXPECT_FALSE(preferences.isVisible(M::battery));
    EXPECT_TRUE(preferences.isVisible(M::health));

    preferences.setPrimaryMetric(M::thermal);
    EXPECT_EQ(store.textValue(QStringLiteral("ui.menuBar.primaryMetric")), QStringLiteral("thermal"));
    preferences.hideAllMetrics();
    for (const M metric : allCases<M>()) {
        EXPECT_FALSE(preferences.isVisible(metric));
        EXPECT_EQ(store.boolValue(QStringLiteral("ui.menuBar.rows.") + rawValue(metric)), false);
    }
    preferences.showAllMetrics();
    EXPECT_TRUE(MenuBarPreferences(store).isVisible(M::network)) << "read back from the store";
    EXPECT_EQ(MenuBarPreferences(store).primaryMetric(), M::thermal);
}

TEST(MenuBarMetricFormatter, LabelsAcrossAvailability) {
    test::ScopedLanguage turkish(false);
    const SystemSnapshot s = measured();
    SystemSnapshot zeroMemory = s;
    zeroMemory.memory.totalBytes = 0;
    SystemSnapshot noCharge = s;
    noCharge.battery.chargeFraction.reset();
    SystemSnapshot offline = s;
    offline.network = NetworkStats::disconnected();
    SystemSnapshot noTraffic = s;
    noTraffic.network.trafficAvailability = MetricAvailability::unavailable(QStringLiteral("x"));
    SystemSnapshot pathUnknown = s;
    pathUnknown.network = NetworkStats::unavailable();
    SystemSnapshot hot = s;
    hot.thermal = ThermalLevel::serious;
    struct Case {
        const char* name;
        M metric;
        const SystemSnapshot& snapshot;
        bool measured;
        QString healthTitle;
        const char* label;
    } cases[] = {
        {"cpu", M::cpu, s, true, {}, "CPU 12%"},
        {"no measurement yet", M::cpu, s, false, {}, "CPU —"},
        {"memory", M::memory, s, true, {}, "RAM 30%"},
        {"memory total 0", M::memory, zeroMemory, true, {}, "RAM —"},
        {"battery", M::battery, s, true, {}, "Batarya 80%"},
        {"battery without charge", M::battery, noCharge, true, {}, "Batarya —"},
        {"download", M::network, s, true, {}, "↓1,3 MB/sn"},
        {"offline", M::network, offline, true, {}, "Ağ yok"},
        {"connected without traffic", M::network, noTraffic, true, {}, "Ağ bağlı"},
        {"path not read", M::network, pathUnknown, true, {}, "Ağ —"},
        {"thermal", M::thermal, hot, true, {}, "Termal Ciddi"},
        {"health", M::health, s, true, QStringLiteral("Normal"), "Sağlık Normal"},
        {"health without title", M::health, s, true, {}, "Sağlık —"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuBarMetricFormatter::labelText(c.metric, c.snapshot, c.measured, c.healthTitle),
                  QString::fromUtf8(c.label))
            << c.name;

    EXPECT_EQ(MenuBarMetricFormatter::systemImage(M::thermal, hot, {}),
              QStringLiteral("exclamationmark.triangle.fill"));
    EXPECT_EQ(MenuBarMetricFormatter::systemImage(M::health, s, {}), QStringLiteral("checkmark.circle"));
    EXPECT_EQ(MenuBarMetricFormatter::systemImage(M::health, s, QStringLiteral("flame.fill")),
              QStringLiteral("flame.fill"));

    test::ScopedLanguage english(true);
    EXPECT_EQ(MenuBarMetricFormatter::labelText(M::battery, s, true, {}), QStringLiteral("Battery 80%"));
    EXPECT_EQ(MenuBarMetricFormatter::labelText(M::network, s, true, {}), QStringLiteral("↓1.3 MB/s"));
}

TEST(MenuBarHealthPresentation, ResolvesAcrossLevelsAndInsights) {
    test::ScopedLanguage turkish(false);
    const HealthInsight attention{HealthInsightKind::cpu,    HealthLevel::attention, {}, {}, {},
                                  QStringLiteral("cpu-high")};
    const HealthInsight critical{HealthInsightKind::wifi,    HealthLevel::critical, {}, {}, {},
                                 QStringLiteral("wifi-weak")};
    SystemSnapshot vm = measured();
    vm.thermal = ThermalLevel::unavailable; // one signal unavailable
    SystemSnapshot burning = measured();
    burning.thermal = ThermalLevel::critical;
    SystemSnapshot unreadable = SystemSnapshot::empty(newUuid(), Date{0});
    struct Case {
        const char* name;
        const SystemSnapshot& snapshot;
        std::vector<HealthInsight> insights;
        bool measured;
        MenuBarHealthPresentation expected;
    } cases[] = {
        {"nothing measured",
         measured(),
         {},
         false,
         {QStringLiteral("Bilinmiyor"), QStringLiteral("questionmark.circle")}},
        {"all normal",
         measured(),
         {},
         true,
         {QStringLiteral("Normal"), QStringLiteral("checkmark.circle.fill")}},
        {"attention insight raises normal",
         measured(),
         {attention},
         true,
         {QStringLiteral("Dikkat"), QStringLiteral("exclamationmark.triangle.fill")}},
        {"critical insight",
         measured(),
         {attention, critical},
         true,
         {QStringLiteral("Kritik"), QStringLiteral("exclamationmark.octagon.fill")}},
        {"critical assessment whatever the insights",
         burning,
         {attention},
         true,
         {QStringLiteral("Kritik"), QStringLiteral("exclamationmark.octagon.fill")}},
        {"partial coverage", vm, {}, true, {QStringLiteral("Kısmi"), QStringLiteral("questionmark.circle")}},
        {"unreadable",
         unreadable,
         {},
         true,
         {QStringLiteral("Bilinmiyor"), QStringLiteral("questionmark.circle")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuBarHealthPresentation::resolve(c.snapshot, c.insights, c.measured), c.expected)
            << c.name;
}
