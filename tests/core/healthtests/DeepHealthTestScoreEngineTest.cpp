#include "healthtests/DeepHealthTestScoreEngine.h"

#include "HealthTestFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

DeepHealthTestMeasurement steadyMeasurement(ThermalLevel thermal = ThermalLevel::nominal) {
    DeepHealthTestMeasurement m;
    m.startedAt = kTestNow;
    m.endedAt = kTestNow.addingSeconds(470);
    SystemSnapshot s = machineSnapshot(thermal);
    s.battery = batteryWithCondition(QStringLiteral("Normal"));
    m.snapshots = {s, s, s};
    m.cpuOperationsPerSecond = {100, 100, 100, 100, 100, 100};
    m.cpuWorkerCounts = {6, 6, 6, 6, 6, 6};
    m.gpuOperationsPerSecond = std::vector<double>(12, 1e9);
    m.memory = {268'435'456, 4, 10e9};
    m.storage = {268'435'456, 500e6, 900e6};
    return m;
}

DeepHealthTestResult referenceFor(const DeepHealthTestMeasurement& m) {
    DeepHealthTestResult r = DeepHealthTestScoreEngine().makeResult(m, std::nullopt);
    r.id = newUuid();
    return r;
}

std::vector<DeepHealthTestFindingKind> kinds(const DeepHealthTestResult& r) {
    std::vector<DeepHealthTestFindingKind> out;
    for (const auto& f : r.findings)
        out.push_back(f.kind);
    return out;
}

} // namespace

TEST(DeepHealthTestScoreEngine, RetentionWindowsAndScores) {
    struct Retention {
        std::vector<double> rates;
        std::optional<double> retention;
    } retentions[] = {
        {{}, std::nullopt},
        {{100}, std::nullopt},
        {{100, 90}, 0.90},                      // window 1
        {{100, 100, 98, 96, 92, 90}, 0.91},     // window 2
        {{100, 100, 80, 80, 80, 60, 60}, 0.60}, // window still 2
        {{100, 0}, std::nullopt},               // the last rounds must be positive
    };
    for (const auto& c : retentions) {
        const auto r = DeepHealthTestScoreEngine::retention(c.rates);
        ASSERT_EQ(r.has_value(), c.retention.has_value()) << c.rates.size();
        if (r)
            EXPECT_NEAR(*r, *c.retention, 1e-12);
    }
    struct Score {
        double retention;
        int score;
    } scores[] = {{1.2, 100}, {0.95, 100}, {0.9499, 100}, {0.91, 90}, {0.85, 75},
                  {0.80, 65}, {0.70, 45},  {0.6999, 30},  {0.0, 30}};
    for (const auto& c : scores)
        EXPECT_EQ(DeepHealthTestScoreEngine::retentionScore(c.retention), c.score) << c.retention;
}

TEST(DeepHealthTestScoreEngine, OnlyRoundsAtTheLargestWorkerCountEnterTheProcessorFigures) {
    struct Case {
        std::vector<double> rates;
        std::optional<std::vector<int>> counts;
        std::vector<double> kept;
    } cases[] = {
        {{50, 100, 98}, std::vector<int>{3, 6, 6}, {100, 98}},
        {{50, 100, 98}, std::nullopt, {50, 100, 98}},
        {{50, 100, 98}, std::vector<int>{}, {50, 100, 98}},
        {{50, 100, 98}, std::vector<int>{0, 0, 0}, {50, 100, 98}},
        {{50, 100}, std::vector<int>{3, 6, 6}, {50, 100}}, // counts that do not pair with the rates
    };
    for (const auto& c : cases)
        EXPECT_EQ(ratesAtMaximumWorkerCount(c.rates, c.counts), c.kept);

    // A phase that started at "fair" ran with 3 workers; its slow round must not read as a loss.
    auto m = steadyMeasurement();
    m.cpuOperationsPerSecond = {40, 100, 100, 98, 96, 95};
    m.cpuWorkerCounts = {3, 6, 6, 6, 6, 6};
    const auto result = DeepHealthTestScoreEngine().makeResult(m, std::nullopt);
    EXPECT_EQ(result.averageCPUOperationsPerSecond(), (100 + 100 + 98 + 96 + 95) / 5.0);
    EXPECT_EQ(result.cpuWorkerCounts, m.cpuWorkerCounts);
    EXPECT_EQ(result.cpuOperationsPerSecond, m.cpuOperationsPerSecond);
    EXPECT_EQ(kinds(result), std::vector{DeepHealthTestFindingKind::baseline});
    // The stability component compares the first and last round at six workers: 95 / 100.
    EXPECT_EQ(result.components[4].score, 100);
}

TEST(DeepHealthTestScoreEngine, SustainedCapacityConfidenceAndFindings) {
    using K = DeepHealthTestFindingKind;
    struct Case {
        const char* name;
        std::function<void(DeepHealthTestMeasurement&)> change;
        int sustained;
        HealthTestConfidence confidence;
        std::vector<K> findings;
    } cases[] = {
        {"steady first run", [](auto&) {}, 100, HealthTestConfidence::high, {K::baseline}},
        // CPU retention 0.915 → 91: 91 × 0.65 + 100 × 0.25 + 100 × 0.10 = 94.15
        {"mild processor decline",
         [](auto& m) { m.cpuOperationsPerSecond = {100, 100, 98, 96, 93, 90}; },
         94,
         HealthTestConfidence::high,
         {K::baseline}},
        // CPU 0.80 → 65, GPU 0.50 → 30: 65 × 0.65 + 30 × 0.25 + 10 = 59.75
        {"both decline",
         [](auto& m) {
             m.cpuOperationsPerSecond = {100, 100, 90, 85, 80, 80};
             m.gpuOperationsPerSecond = {100, 100, 80, 70, 60, 50, 50};
         },
         60,
         HealthTestConfidence::high,
         {K::baseline, K::processor, K::graphics, K::overall}},
        // no graphics rates: (100 × 0.65 + 80 × 0.10) / 0.75 = 97.3; components are still all scored
        {"fair and no graphics",
         [](auto& m) {
             m.gpuOperationsPerSecond.clear();
             for (auto& s : m.snapshots)
                 s.thermal = ThermalLevel::fair;
         },
         97,
         HealthTestConfidence::medium,
         {K::baseline, K::thermal}},
        {"one processor round, no thermal signal",
         [](auto& m) {
             m.cpuOperationsPerSecond = {100};
             m.cpuWorkerCounts = {6};
             m.gpuOperationsPerSecond = {1e9};
             for (auto& s : m.snapshots)
                 s.thermal = ThermalLevel::unavailable;
         },
         0,
         HealthTestConfidence::low,
         {K::baseline, K::overall}},
        {"crowded memory and disk",
         [](auto& m) {
             for (auto& s : m.snapshots) {
                 s.memory = MemoryStats{96, 100, 0, 0, MetricAvailability::available()};
                 s.disk = DiskStats{1000, 60, MetricAvailability::available()};
             }
         },
         100,
         HealthTestConfidence::high,
         {K::baseline, K::memory, K::storage}},
    };
    for (const Case& c : cases) {
        auto m = steadyMeasurement();
        c.change(m);
        const auto result = DeepHealthTestScoreEngine().makeResult(m, std::nullopt);
        EXPECT_EQ(result.sustainedCapacityScore, c.sustained) << c.name;
        EXPECT_EQ(result.confidence, c.confidence) << c.name;
        EXPECT_EQ(kinds(result), c.findings) << c.name;
        EXPECT_EQ(result.benchmarkVersion, 2);
        EXPECT_EQ(result.personalCapacityPercent, std::nullopt) << c.name;
    }

    auto declining = steadyMeasurement();
    declining.cpuOperationsPerSecond = {100, 100, 90, 85, 80, 80};
    const auto result = DeepHealthTestScoreEngine().makeResult(declining, std::nullopt);
    EXPECT_EQ(result.findings[0].level, HealthLevel::normal);
    EXPECT_EQ(result.findings[0].title, QStringLiteral("Derin test referansı oluşturuldu"));
    EXPECT_EQ(result.findings[1].evidence,
              QStringLiteral("Son işlemci turları ilk turların %80 düzeyinde kaldı."));
}

TEST(DeepHealthTestScoreEngine, PersonalCapacityAgainstTheFirstDeepTestOfTheSameVersion) {
    using K = DeepHealthTestFindingKind;
    const DeepHealthTestMeasurement base = steadyMeasurement();
    struct Case {
        const char* name;
        std::function<void(DeepHealthTestResult&)> reference;
        std::function<void(DeepHealthTestMeasurement&)> now;
        std::optional<int> percent;
        std::vector<K> findings;
    } cases[] = {
        {"same as reference", [](auto&) {}, [](auto&) {}, 100, {K::overall}},
        {"faster than reference",
         [](auto&) {},
         [](auto& m) { m.memory.copyBytesPerSecond *= 3; },
         100,
         {K::overall}},
        {"older version is not a reference",
         [](auto& r) { r.benchmarkVersion = 1; },
         [](auto&) {},
         std::nullopt,
         {K::baseline}},
        // a quarter of the processor rate: 0.45 × 0.25 + 0.55 = 0.6625
        {"processor at a quarter",
         [](auto&) {},
         [](auto& m) {
             for (auto& rate : m.cpuOperationsPerSecond)
                 rate /= 4;
         },
         66,
         {K::overall}},
        // worker counts differ: the processor term is left out, the rest is equal
        {"different worker counts",
         [](auto& r) { r.cpuWorkerCounts = std::vector<int>(6, 8); },
         [](auto& m) {
             for (auto& rate : m.cpuOperationsPerSecond)
                 rate /= 2;
         },
         100,
         {K::overall}},
        // both unknown counts still compare
        {"counts unknown on both sides",
         [](auto& r) { r.cpuWorkerCounts.reset(); },
         [](auto& m) {
             m.cpuWorkerCounts.clear();
             for (auto& rate : m.cpuOperationsPerSecond)
                 rate /= 4;
         },
         66,
         {K::overall}},
        // memory at a quarter, storage at a fifth: 0.45 + 0.20 + 0.15 × 0.25 + 0.10 × 0.2 × 2 = 0.7275
        {"slower memory and storage",
         [](auto&) {},
         [](auto& m) {
             m.memory.copyBytesPerSecond /= 4;
             m.storage.writeBytesPerSecond /= 5;
             m.storage.readBytesPerSecond /= 5;
         },
         73,
         {K::overall}},
    };
    for (const Case& c : cases) {
        DeepHealthTestResult reference = referenceFor(base);
        c.reference(reference);
        DeepHealthTestMeasurement now = base;
        c.now(now);
        const auto result = DeepHealthTestScoreEngine().makeResult(now, reference);
        EXPECT_EQ(result.personalCapacityPercent, c.percent) << c.name;
        EXPECT_EQ(result.capacityReferenceID.has_value(), c.percent.has_value()) << c.name;
        EXPECT_EQ(kinds(result), c.findings) << c.name;
        if (c.percent && *c.percent < 80) {
            EXPECT_EQ(result.findings.back().evidence,
                      QStringLiteral("Toplam kapasite ilk aynı sürüm derin testinin %%1 düzeyinde kaldı.")
                          .arg(*c.percent))
                << c.name;
        } else if (c.percent) {
            EXPECT_EQ(result.findings.back().level, HealthLevel::normal) << c.name;
        }
    }
}
