#include "interpretation/HealthAssessmentEngine.h"

#include "foundation/Uuid.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

SystemSnapshot snapshot(ThermalLevel thermal, std::optional<double> memoryRatio,
                        std::optional<double> freeDisk, std::optional<std::optional<QString>> battery) {
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), Date{0});
    s.thermal = thermal;
    if (memoryRatio)
        s.memory = MemoryStats{uint64_t(*memoryRatio * 1000), 1000, 0, 0, MetricAvailability::available()};
    if (freeDisk)
        s.disk = DiskStats{1000, uint64_t(*freeDisk * 1000), MetricAvailability::available()};
    if (battery) {
        s.battery = BatteryStats::notPresent(MetricAvailability::available());
        if (*battery) {
            s.battery.isPresent = true;
            s.battery.healthCondition = **battery;
        }
    }
    return s;
}

} // namespace

TEST(HealthAssessmentEngine, VerdictsAcrossTheSignalCombinations) {
    struct Case {
        const char* name;
        SystemSnapshot snapshot;
        HealthLevel level;
        QString title;
        HealthAssessmentConfidence confidence;
        size_t evaluated, unavailable;
        std::vector<QString> reasons;
    } cases[] = {
        {"three evaluated, no battery present",
         snapshot(ThermalLevel::nominal, 0.5, 0.5, std::optional<QString>{}),
         HealthLevel::normal,
         QStringLiteral("Temel sağlık sinyalleri normal"),
         HealthAssessmentConfidence::high,
         3,
         0,
         {QStringLiteral("Değerlendirilen temel sistem göstergeleri normal aralıkta.")}},
        {"everything unreadable",
         snapshot(ThermalLevel::unavailable, std::nullopt, std::nullopt, std::nullopt),
         HealthLevel::unavailable,
         QStringLiteral("Sağlık durumu belirlenemedi"),
         HealthAssessmentConfidence::low,
         0,
         4,
         {QStringLiteral("Değerlendirme için gerekli sistem verileri okunamadı.")}},
        {"thermal unreadable (a VM)",
         snapshot(ThermalLevel::unavailable, 0.5, 0.5, std::optional<QString>{}),
         HealthLevel::normal,
         QStringLiteral("Okunabilen sinyaller normal"),
         HealthAssessmentConfidence::medium,
         2,
         1,
         {QStringLiteral("Okunabilen temel sistem göstergelerinde belirgin bir sorun görülmedi.")}},
        {"one signal only",
         snapshot(ThermalLevel::unavailable, std::nullopt, 0.5, std::nullopt),
         HealthLevel::normal,
         QStringLiteral("Okunabilen sinyaller normal"),
         HealthAssessmentConfidence::low,
         1,
         3,
         {}},
        {"thermal critical and disk at 3 %",
         snapshot(ThermalLevel::critical, 0.5, 0.03, std::optional<QString>{}),
         HealthLevel::critical,
         QStringLiteral("Hemen dikkat etmen gereken bir durum var"),
         HealthAssessmentConfidence::high,
         3,
         0,
         {QStringLiteral("macOS, ısıl baskıyı kritik olarak bildiriyor."),
          QStringLiteral("Başlangıç diskinde %5’ten az boş alan kaldı.")}},
        {"critical stays critical after an attention finding",
         snapshot(ThermalLevel::serious, 0.96, 0.5, std::optional<QString>{}),
         HealthLevel::critical,
         QStringLiteral("Hemen dikkat etmen gereken bir durum var"),
         HealthAssessmentConfidence::high,
         3,
         0,
         {}},
        {"memory at 95 %",
         snapshot(ThermalLevel::nominal, 0.95, 0.14, std::optional<QString>{}),
         HealthLevel::attention,
         QStringLiteral("Kontrol edilmesi gereken noktalar var"),
         HealthAssessmentConfidence::high,
         3,
         0,
         {QStringLiteral(
              "Bellek kullanım oranı %95 veya üzerinde; bu ölçüm macOS Bellek Baskısı değeri değildir."),
          QStringLiteral("Başlangıç diskinde %15’ten az boş alan kaldı.")}},
        {"battery Normal with spaces is evaluated without a reason",
         snapshot(ThermalLevel::nominal, 0.5, 0.5, std::optional<QString>{QStringLiteral("  Normal ")}),
         HealthLevel::normal,
         QStringLiteral("Temel sağlık sinyalleri normal"),
         HealthAssessmentConfidence::high,
         4,
         0,
         {}},
        {"battery present without a condition is unreadable",
         snapshot(ThermalLevel::nominal, 0.5, 0.5, std::optional<QString>{QStringLiteral("   ")}),
         HealthLevel::normal,
         QStringLiteral("Okunabilen sinyaller normal"),
         HealthAssessmentConfidence::medium,
         3,
         1,
         {}},
        {"worn battery",
         snapshot(ThermalLevel::nominal, 0.5, 0.5, std::optional<QString>{QStringLiteral("Poor")}),
         HealthLevel::attention,
         QStringLiteral("Kontrol edilmesi gereken noktalar var"),
         HealthAssessmentConfidence::high,
         4,
         0,
         {QStringLiteral("macOS batarya durumunu “Poor” olarak bildiriyor.")}},
    };
    for (const auto& c : cases) {
        const HealthAssessment a = HealthAssessmentEngine::assess(c.snapshot);
        EXPECT_EQ(a.level, c.level) << c.name;
        EXPECT_EQ(a.title, c.title) << c.name;
        EXPECT_EQ(a.confidence, c.confidence) << c.name;
        EXPECT_EQ(a.coverage.evaluatedSignals.size(), c.evaluated) << c.name;
        EXPECT_EQ(a.coverage.unavailableSignals.size(), c.unavailable) << c.name;
        EXPECT_EQ(a.reasons.size(),
                  a.level == HealthLevel::unavailable ? 1 : std::max<size_t>(1, a.recommendations.size()))
            << c.name;
        if (!c.reasons.empty()) {
            EXPECT_EQ(a.reasons, c.reasons) << c.name;
        }
    }
}
