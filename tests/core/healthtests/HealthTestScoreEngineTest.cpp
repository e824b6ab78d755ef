#include "healthtests/HealthTestScoreEngine.h"

#include "HealthTestFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr uint64_t kGiB = 1'073'741'824;

QuickHealthTestMeasurement measurementWith(std::vector<SystemSnapshot> snapshots, double first = 100,
                                           double second = 100, std::optional<double> gpu = 1e9) {
    QuickHealthTestMeasurement m;
    m.startedAt = kTestNow;
    m.endedAt = kTestNow.addingSeconds(20);
    m.snapshots = std::move(snapshots);
    m.firstCPUOperationsPerSecond = first;
    m.secondCPUOperationsPerSecond = second;
    m.gpuOperationsPerSecond = gpu;
    m.storage = {64, 500e6, 900e6};
    return m;
}

HealthTestResult referenceResult(double cpu, double write, double read, std::optional<double> gpu,
                                 int version = HealthTestResult::kBenchmarkVersion) {
    HealthTestResult r;
    r.id = newUuid();
    r.benchmarkVersion = version;
    r.firstCPUOperationsPerSecond = cpu;
    r.secondCPUOperationsPerSecond = cpu;
    r.storage = {64, write, read};
    r.gpuOperationsPerSecond = gpu;
    return r;
}

} // namespace

TEST(HealthTestScoreEngine, BatteryConditionsDecideInTheirOrder) {
    struct Case {
        std::optional<QString> condition;
        std::optional<int> score;
        bool recommends;
    } cases[] = {
        {QStringLiteral("Normal"), 100, false},
        {QStringLiteral("Good"), 100, false},
        {QStringLiteral("Fair"), 65, true},
        {QStringLiteral("Replace Now"), 15, true},
        {QStringLiteral("Poor"), 15, true},
        {QStringLiteral("Service Recommended"), 40, true},
        {QStringLiteral("Check Battery"), 40, true},
        {QStringLiteral("Replace Soon"), 40, true},
        {QStringLiteral("Degraded"), 70, true},
        {QStringLiteral("Normal, service soon"), 100, false}, // the first rule that matches decides
        {QStringLiteral("Fair; service soon"), 65, true},
        {std::nullopt, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto component = HealthTestScoreEngine::batteryComponent(batteryWithCondition(c.condition));
        const std::string name = c.condition.value_or(QStringLiteral("(none)")).toStdString();
        EXPECT_EQ(component.kind, HealthTestComponentKind::battery);
        EXPECT_EQ(component.score, c.score) << name;
        EXPECT_EQ(component.recommendation.has_value(), c.recommends) << name;
        if (c.condition)
            EXPECT_EQ(component.evidence, QStringLiteral("macOS batarya durumu: ") + *c.condition) << name;
        else
            EXPECT_EQ(component.evidence,
                      QStringLiteral("Batarya bulundu ancak macOS sağlık durumu sunmadı."));
    }
    const auto none = HealthTestScoreEngine::batteryComponent(std::nullopt);
    EXPECT_EQ(none.score, std::nullopt);
    EXPECT_EQ(none.evidence, QStringLiteral("Batarya sağlık durumu bu testte okunamadı."));
}

TEST(HealthTestScoreEngine, DerivedValuesSkipUnreadableSnapshots) {
    SystemSnapshot good = machineSnapshot();
    good.battery = batteryWithCondition(QStringLiteral("Good"));
    SystemSnapshot unreadable = machineSnapshot(ThermalLevel::unavailable);
    unreadable.battery = BatteryStats::notPresent(MetricAvailability::unavailable(QStringLiteral("x")));
    unreadable.memory = MemoryStats::unreadable();
    unreadable.memory.usedBytes = 10; // not counted: unreadable
    unreadable.memory.swapUsedBytes = 99 * kGiB;
    unreadable.disk = DiskStats{100, 1, MetricAvailability::available()};
    unreadable.disk.totalBytes = 0; // a zero total is not a fraction
    SystemSnapshot busy = machineSnapshot(ThermalLevel::fair);
    busy.memory = MemoryStats{12'000, 10'000, 0, 2 * kGiB, MetricAvailability::available()}; // clamps to 1
    busy.disk = DiskStats{1'000, 80, MetricAvailability::available()};

    const auto m = measurementWith({good, busy, unreadable});
    EXPECT_EQ(m.highestThermalLevel(), ThermalLevel::fair);
    EXPECT_EQ(m.peakMemoryUsage(), 1.0);
    EXPECT_EQ(m.peakSwapUsedBytes(), 2 * kGiB);
    EXPECT_DOUBLE_EQ(*m.minimumAvailableDiskFraction(), 0.08);
    ASSERT_TRUE(m.latestBattery());
    EXPECT_EQ(m.latestBattery()->healthCondition, QStringLiteral("Good")); // searched from the end backwards

    const auto empty = measurementWith({unreadable, unreadable});
    EXPECT_EQ(empty.highestThermalLevel(), ThermalLevel::unavailable);
    EXPECT_EQ(empty.peakMemoryUsage(), std::nullopt);
    EXPECT_EQ(empty.peakSwapUsedBytes(), std::nullopt);
    EXPECT_EQ(empty.minimumAvailableDiskFraction(), std::nullopt);
    EXPECT_EQ(empty.latestBattery(), std::nullopt);
    EXPECT_EQ(measurementWith({}).highestThermalLevel(), ThermalLevel::unavailable);

    struct Levels {
        std::vector<ThermalLevel> levels;
        ThermalLevel highest;
    } levelCases[] = {
        {{ThermalLevel::critical, ThermalLevel::serious}, ThermalLevel::critical},
        {{ThermalLevel::unavailable, ThermalLevel::nominal}, ThermalLevel::nominal},
        {{ThermalLevel::fair, ThermalLevel::unavailable, ThermalLevel::serious}, ThermalLevel::serious},
    };
    for (const auto& c : levelCases) {
        std::vector<SystemSnapshot> snapshots;
        for (ThermalLevel level : c.levels)
            snapshots.push_back(machineSnapshot(level));
        EXPECT_EQ(highestThermalLevel(snapshots), c.highest);
    }
}

TEST(HealthTestScoreEngine, ThermalMemoryAndStorageBoundaries) {
    struct Thermal {
        ThermalLevel level;
        std::optional<int> score;
    } thermal[] = {{ThermalLevel::nominal, 100},
                   {ThermalLevel::fair, 78},
                   {ThermalLevel::serious, 35},
                   {ThermalLevel::critical, 0},
                   {ThermalLevel::unavailable, std::nullopt}};
    for (const auto& c : thermal)
        EXPECT_EQ(HealthTestScoreEngine::thermalComponent(c.level).score, c.score)
            << rawValue(c.level).toStdString();

    struct Memory {
        std::optional<double> usage;
        std::optional<uint64_t> swap;
        std::optional<int> score;
        bool recommends;
    } memory[] = {
        {0.70, 0, 100, false},
        {0.80, 0, 83, false},
        {0.85, 2 * kGiB, 75, false}, // exactly 0.85: no swap penalty
        {0.89, 0, 65, true},
        {0.93, 2 * kGiB, 45, true},
        {0.95, 0, 50, true},
        {0.96, 0, 40, true},
        {0.96, kGiB, 40, true}, // the penalty needs more than 1 GiB
        {0.96, 2 * kGiB, 30, true},
        {0.96, std::nullopt, 40, true},
        {std::nullopt, 5 * kGiB, std::nullopt, false},
    };
    for (const auto& c : memory) {
        const auto component = HealthTestScoreEngine::memoryComponent(c.usage, c.swap);
        EXPECT_EQ(component.score, c.score) << c.usage.value_or(-1);
        EXPECT_EQ(component.recommendation.has_value(), c.recommends) << c.usage.value_or(-1);
    }
    EXPECT_EQ(HealthTestScoreEngine::memoryComponent(0.96, 2 * kGiB).evidence,
              QStringLiteral("Testte en yüksek bellek kullanımı %96; takas alanı 2 GB."));
    EXPECT_EQ(HealthTestScoreEngine::memoryComponent(0.5, std::nullopt).evidence,
              QStringLiteral("Testte en yüksek bellek kullanımı %50; takas alanı 0 KB."));

    struct Storage {
        std::optional<double> free;
        std::optional<int> score;
        bool recommends;
    } storage[] = {
        {0.20, 100, false}, {0.1999, 100, false}, {0.15, 85, false},  {0.12, 76, false},
        {0.11, 73, true},   {0.10, 70, true},     {0.0999, 70, true}, {0.07, 49, true},
        {0.05, 35, true},   {0.049, 15, true},    {0.0, 15, true},    {std::nullopt, std::nullopt, false},
    };
    for (const auto& c : storage) {
        const auto component = HealthTestScoreEngine::storageComponent(c.free);
        EXPECT_EQ(component.score, c.score) << c.free.value_or(-1);
        EXPECT_EQ(component.recommendation.has_value(), c.recommends) << c.free.value_or(-1);
    }
    EXPECT_EQ(HealthTestScoreEngine::storageComponent(0.049).evidence,
              QStringLiteral("Test sırasında kullanılabilir depolama alanı en az %5 idi."));
}

TEST(HealthTestScoreEngine, StabilityIsCappedByTheHighestThermalLevel) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double first, second;
        ThermalLevel level;
        int score;
    } cases[] = {
        {100, 95, ThermalLevel::nominal, 100},
        {100, 94, ThermalLevel::nominal, 98}, // 97.5, halves away from zero
        {100, 94, ThermalLevel::fair, 85},
        {100, 85, ThermalLevel::nominal, 75},
        {100, 84, ThermalLevel::nominal, 73},
        {100, 70, ThermalLevel::nominal, 45},
        {100, 69, ThermalLevel::nominal, 30},
        {100, 69, ThermalLevel::critical, 0},
        {100, 100, ThermalLevel::serious, 45},
        {100, 100, ThermalLevel::unavailable, 100},
        {100, 200, ThermalLevel::nominal, 100},
        {0, 0, ThermalLevel::nominal, 30},
        {nan, 100, ThermalLevel::fair, 30},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HealthTestScoreEngine::stabilityScore(c.first, c.second, c.level), c.score)
            << c.second << "/" << c.first << " " << rawValue(c.level).toStdString();
    }
    const auto component = HealthTestScoreEngine::stabilityComponent(100, 84, ThermalLevel::nominal);
    EXPECT_EQ(component.evidence,
              QStringLiteral("İkinci işlemci geçişi ilk geçişin %84 düzeyinde tamamlandı."));
    EXPECT_TRUE(component.recommendation);
    EXPECT_FALSE(HealthTestScoreEngine::stabilityComponent(100, 85, ThermalLevel::nominal).recommendation);
}

TEST(HealthTestScoreEngine, HealthScoreAndConfidenceSkipUnmeasuredComponents) {
    SystemSnapshot mixed = machineSnapshot(ThermalLevel::fair);
    mixed.battery = batteryWithCondition(QStringLiteral("Service Recommended"));
    mixed.disk = DiskStats{1'000, 100, MetricAvailability::available()}; // 10 % free → 70

    struct Case {
        const char* name;
        std::vector<SystemSnapshot> snapshots;
        double second;
        std::optional<double> gpu;
        int health;
        HealthTestConfidence confidence;
    } cases[] = {
        // 40×0.25 + 78×0.25 + 100×0.20 + 70×0.15 + 85×0.15 = 72.75
        {"all five", {mixed}, 100, 1e9, 73, HealthTestConfidence::high},
        {"all five without graphics", {mixed}, 100, std::nullopt, 73, HealthTestConfidence::medium},
        // battery-less: (19.5 + 20 + 10.5 + 12.75) / 0.75 = 83.67
        {"no battery",
         {[&] {
             auto s = mixed;
             s.battery = BatteryStats::notPresent(MetricAvailability::available());
             return s;
         }()},
         100,
         1e9,
         84,
         HealthTestConfidence::medium},
        // no battery and no thermal signal: three components left
        {"three components",
         {[&] {
             auto s = machineSnapshot(ThermalLevel::unavailable);
             return s;
         }()},
         100,
         1e9,
         100,
         HealthTestConfidence::low},
    };
    for (const Case& c : cases) {
        const auto result =
            HealthTestScoreEngine().makeResult(measurementWith(c.snapshots, 100, c.second, c.gpu), {});
        EXPECT_EQ(result.healthScore, c.health) << c.name;
        EXPECT_EQ(result.confidence, c.confidence) << c.name;
        ASSERT_EQ(result.components.size(), 5u) << c.name;
        EXPECT_EQ(result.components[0].kind, HealthTestComponentKind::battery);
        EXPECT_EQ(result.components[4].kind, HealthTestComponentKind::stability);
        EXPECT_EQ(result.stabilityScore, *result.components[4].score) << c.name;
        EXPECT_EQ(result.benchmarkVersion, 3);
    }
    EXPECT_EQ(HealthTestScoreEngine::healthScore({}), 0);
    EXPECT_EQ(HealthTestScoreEngine::healthScore(
                  {HealthTestScoreEngine::thermalComponent(ThermalLevel::unavailable)}),
              0);
}

TEST(HealthTestScoreEngine, PersonalCapacityOnlyAgainstTheSameVersionAndNeverAboveTheReference) {
    struct Case {
        const char* name;
        std::optional<HealthTestResult> reference;
        double cpu;
        std::optional<double> gpu;
        std::optional<int> percent;
    } cases[] = {
        {"no reference", std::nullopt, 100, 1e9, std::nullopt},
        {"older version is never used", referenceResult(100, 500e6, 900e6, 1e9, 2), 50, 1e9, std::nullopt},
        {"equal", referenceResult(100, 500e6, 900e6, 1e9), 100, 1e9, 100},
        {"twice as fast still 100", referenceResult(50, 250e6, 450e6, 0.5e9), 100, 1e9, 100},
        // 0.55 × 0.6 + 0.15 × 3 = 0.78
        {"slower processor", referenceResult(100 / 0.6, 500e6, 900e6, 1e9), 100, 1e9, 78},
        // no graphics now: (0.55 × 0.6 + 0.30) / 0.85 = 0.741
        {"graphics missing on one side", referenceResult(100 / 0.6, 500e6, 900e6, 1e9), 100, std::nullopt,
         74},
        {"no comparable term", referenceResult(0, 0, 0, std::nullopt), 100, 1e9, 0},
    };
    for (const Case& c : cases) {
        const auto result = HealthTestScoreEngine().makeResult(
            measurementWith({machineSnapshot()}, c.cpu, c.cpu, c.gpu), c.reference);
        EXPECT_EQ(result.personalCapacityPercent, c.percent) << c.name;
        EXPECT_EQ(result.capacityReferenceID.has_value(), c.percent.has_value()) << c.name;
        if (c.percent)
            EXPECT_EQ(result.capacityReferenceID, c.reference->id) << c.name;
    }
}

TEST(HealthTestScoreEngine, ResultCarriesTheGraphicsReasonOnlyWithoutARate) {
    auto measurement = measurementWith({machineSnapshot()}, 100, 100, std::nullopt);
    measurement.gpuUnavailableReason = QStringLiteral("sürücü yok");
    measurement.warnings = {QStringLiteral("uyarı")};
    const auto without = HealthTestScoreEngine().makeResult(measurement, {});
    EXPECT_EQ(without.gpuUnavailableReason, QStringLiteral("sürücü yok"));
    EXPECT_EQ(without.warnings, std::vector<QString>{QStringLiteral("uyarı")});
    measurement.gpuOperationsPerSecond = 5e9;
    EXPECT_EQ(HealthTestScoreEngine().makeResult(measurement, {}).gpuUnavailableReason, std::nullopt);
}
