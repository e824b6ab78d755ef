#include "interpretation/HealthInsightEngine.h"

#include "foundation/Uuid.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000);

SystemSnapshot quietSnapshot() {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), kNow);
    s.thermal = ThermalLevel::nominal;
    s.cpu = CPUStats{0.10, {0.10}, {}, MetricAvailability::available()};
    s.memory = MemoryStats{4, 10, 0, 0, MetricAvailability::available()};
    s.disk = DiskStats{100, 50, MetricAvailability::available()};
    return s;
}

PersonalBaseline learned(std::optional<double> highCPU, std::optional<double> highMemory = std::nullopt,
                         std::optional<double> medianRSSI = std::nullopt) {
    PersonalBaseline b;
    b.confidence = BaselineConfidence::early;
    b.highCPUUsage = highCPU;
    b.highMemoryUsage = highMemory;
    b.medianWiFiRSSI = medianRSSI;
    return b;
}

std::vector<QString> signatures(const std::vector<HealthInsight>& insights) {
    std::vector<QString> out;
    for (const auto& i : insights)
        out.push_back(i.signature);
    return out;
}

} // namespace

TEST(HealthInsightEngine, PersonalThresholds) {
    struct Case {
        const char* name;
        PersonalBaseline baseline;
        double cpu;
        std::optional<QString> title;
        QString evidence;
    } cases[] = {
        {"personal 0.70 → 0.85, usage 0.86", learned(0.70), 0.86,
         QStringLiteral("İşlemci kullanımı kişisel normalin üzerinde"),
         QStringLiteral("Anlık kullanım %86; uyarı eşiği %85.")},
        {"learning baseline keeps 0.90",
         [] {
             auto b = learned(0.70);
             b.confidence = BaselineConfidence::learning;
             return b;
         }(),
         0.86,
         std::nullopt,
         {}},
        {"personal 0.50 is clamped up to 0.80, still the personal title", learned(0.50), 0.80,
         QStringLiteral("İşlemci kullanımı kişisel normalin üzerinde"),
         QStringLiteral("Anlık kullanım %80; uyarı eşiği %80.")},
        {"no personal value: fixed title", learned(std::nullopt), 0.95,
         QStringLiteral("İşlemci kullanım oranı yüksek"),
         QStringLiteral("Anlık kullanım %95; uyarı eşiği %90.")},
    };
    for (const auto& c : cases) {
        SystemSnapshot s = quietSnapshot();
        s.cpu.totalUsage = c.cpu;
        const auto insights = HealthInsightEngine::insights(s, c.baseline);
        if (!c.title) {
            EXPECT_TRUE(insights.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(insights.size(), 1u) << c.name;
        EXPECT_EQ(insights[0].title, *c.title) << c.name;
        EXPECT_EQ(insights[0].evidence, c.evidence) << c.name;
        EXPECT_EQ(insights[0].level, HealthLevel::attention) << c.name;
    }
}

TEST(HealthInsightEngine, WiFiThreshold) {
    struct Case {
        std::optional<double> median;
        BaselineConfidence confidence;
        int threshold;
    } cases[] = {
        {-50, BaselineConfidence::early, -65},
        {-40, BaselineConfidence::established, -60},
        {-70, BaselineConfidence::early, -72},
        {-50.5, BaselineConfidence::early, -66}, // round half away from zero: −51 − 15
        {-50, BaselineConfidence::learning, -72},
        {std::nullopt, BaselineConfidence::early, -72},
    };
    for (const auto& c : cases) {
        PersonalBaseline b = learned(std::nullopt, std::nullopt, c.median);
        b.confidence = c.confidence;
        EXPECT_EQ(HealthInsightEngine::wifiThreshold(b), c.threshold);
    }
}

TEST(HealthInsightEngine, RulesAndStableSeverityOrder) {
    SystemSnapshot s = quietSnapshot();
    s.thermal = ThermalLevel::critical;
    s.disk = DiskStats{100, 3, MetricAvailability::available()};
    s.memory = MemoryStats{96, 100, 0, 0, MetricAvailability::available()};
    s.battery.isPresent = true;
    s.battery.availability = MetricAvailability::available();
    s.battery.healthCondition = QStringLiteral("  Service Recommended\n");
    s.network.interfaceKind = NetworkInterfaceKind::wifi;
    s.network.wifiRSSI = -83;
    const auto insights = HealthInsightEngine::insights(s, PersonalBaseline::empty());
    EXPECT_EQ(signatures(insights),
              (std::vector<QString>{QStringLiteral("thermal-critical"), QStringLiteral("disk-critical"),
                                    QStringLiteral("wifi-weak"), QStringLiteral("memory-high"),
                                    QStringLiteral("battery-health")}));
    EXPECT_EQ(insights[1].evidence, QStringLiteral("Kullanılabilir alan %3."));
    EXPECT_EQ(insights[2].level, HealthLevel::critical);
    EXPECT_EQ(insights[2].evidence, QStringLiteral("Anlık sinyal -83 dBm; uyarı eşiği -72 dBm."));
    EXPECT_EQ(insights[4].evidence,
              QStringLiteral("macOS batarya durumunu “Service Recommended” olarak bildiriyor."));

    SystemSnapshot wired = s;
    wired.network.interfaceKind = NetworkInterfaceKind::ethernet;
    const auto wiredSignatures = signatures(HealthInsightEngine::insights(wired, {}));
    EXPECT_EQ(std::count(wiredSignatures.begin(), wiredSignatures.end(), QStringLiteral("wifi-weak")), 0);
}

TEST(HealthInsightEngine, NothingFromQuietOrUnavailableGroups) {
    SystemSnapshot s = quietSnapshot();
    s.battery.isPresent = true;
    s.battery.availability = MetricAvailability::available();
    s.battery.healthCondition = QStringLiteral(" normal ");
    EXPECT_TRUE(HealthInsightEngine::insights(s, {}).empty());
    SystemSnapshot unread = SystemSnapshot::empty(newUuid(), kNow);
    unread.cpu.totalUsage = 1.0; // not available: ignored
    EXPECT_TRUE(HealthInsightEngine::insights(unread, {}).empty());
    s.disk = DiskStats{100, 10, MetricAvailability::available()};
    s.thermal = ThermalLevel::fair;
    EXPECT_EQ(signatures(HealthInsightEngine::insights(s, {})),
              (std::vector<QString>{QStringLiteral("thermal-fair"), QStringLiteral("disk-low")}));
}

TEST(HealthInsightEngine, NewEventsCooldownVersusLevelChange) {
    const HealthInsight attention{HealthInsightKind::cpu, HealthLevel::attention, QStringLiteral("t"),
                                  QStringLiteral("e"),    QStringLiteral("r"),    QStringLiteral("cpu-high")};
    HealthInsight critical = attention;
    critical.level = HealthLevel::critical;
    const HealthEvent tenMinutesOld{
        newUuid(), kNow.addingSeconds(-600),  HealthInsightKind::cpu, HealthLevel::attention, {}, {},
        {},        QStringLiteral("cpu-high")};
    HealthEvent future = tenMinutesOld;
    future.timestamp = kNow.addingSeconds(60);
    future.level = HealthLevel::critical;
    HealthEvent otherKind = tenMinutesOld;
    otherKind.kind = HealthInsightKind::memory;
    struct Case {
        const char* name;
        HealthInsight insight;
        std::vector<HealthEvent> existing;
        size_t events;
    } cases[] = {
        {"same level inside cooldown", attention, {tenMinutesOld}, 0},
        {"level changed inside cooldown", critical, {tenMinutesOld}, 1},
        {"cooldown elapsed",
         attention,
         {[&] {
             auto e = tenMinutesOld;
             e.timestamp = kNow.addingSeconds(-1800);
             return e;
         }()},
         1},
        {"events after now are ignored", critical, {future}, 1},
        {"other kind with the same signature does not count", attention, {otherKind}, 1},
        {"no history", attention, {}, 1},
    };
    for (const auto& c : cases) {
        const auto events = HealthInsightEngine::newEvents({c.insight}, c.existing, kNow, 1800);
        ASSERT_EQ(events.size(), c.events) << c.name;
        if (!events.empty()) {
            EXPECT_EQ(events[0].timestamp, kNow);
            EXPECT_EQ(events[0].signature, c.insight.signature);
            EXPECT_EQ(events[0].level, c.insight.level);
        }
    }
}
