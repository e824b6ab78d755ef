#include "healthtests/CPUBenchmarkScoreEngine.h"

#include "HealthTestFixtures.h"
#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "healthtests/HealthTestsJson.h"

#include <QJsonObject>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

constexpr double MB = 1e6;

CPUBenchmarkMeasurement steadyMeasurement() {
    CPUBenchmarkMeasurement m;
    m.startedAt = kTestNow;
    m.endedAt = kTestNow.addingSeconds(10);
    m.mode = CPUBenchmarkMode::quick;
    m.singleCoreSamples = {100 * MB, 102 * MB, 98 * MB}; // CV ≈ 0.016
    m.multiCoreSamples = {400 * MB, 408 * MB, 392 * MB};
    CPUBenchmarkEnvironment& e = m.environment;
    e.architecture = QStringLiteral("x86_64");
    e.activeProcessorCount = 4;
    e.workerCount = 4;
    e.buildFlavor = CPUBenchmarkBuildFlavor::release;
    e.distributionChannel = CPUBenchmarkDistributionChannel::appStore;
    e.powerSource = CPUBenchmarkPowerSource::adapter;
    e.initialCPUUsage = 0.05;
    e.startThermalLevel = ThermalLevel::nominal;
    e.endThermalLevel = ThermalLevel::nominal;
    e.compressionEncoder = QStringLiteral("lz4");
    return m;
}

CPUBenchmarkResult referenceFrom(const CPUBenchmarkMeasurement& m) {
    return CPUBenchmarkScoreEngine().makeResult(m, std::nullopt);
}

} // namespace

TEST(CPUBenchmarkScoreEngine, ConfidenceAndWarningsFollowTheMeasuringConditions) {
    const QString battery =
        QStringLiteral("Bataryada ölçülen sonuç güç adaptöründeki sonuçtan farklı olabilir.");
    const QString lowPower = QStringLiteral("Düşük Güç Modu performansı sınırlayabilir.");
    const QString debug =
        QStringLiteral("Geliştirici derlemesindeki sonuçlar App Store yayın derlemesiyle karşılaştırılmaz.");
    const QString busy = QStringLiteral("Başlangıçta arka plan CPU kullanımı %25 idi.");
    const QString fair = QStringLiteral("Test sırasında hafif termal baskı gözlendi.");
    const QString changed =
        QStringLiteral("Termal durum test sırasında değişti; sonucu benzer koşullarda tekrarlayın.");
    const QString legacy =
        QStringLiteral("Eski sonucun dağıtım kanalı bilinmediği için yeni sonuçlara referans olmaz.");
    const QString local =
        QStringLiteral("Yerel yayın sonucu TestFlight veya App Store sonucuyla karşılaştırılmaz.");
    struct Case {
        const char* name;
        std::function<void(CPUBenchmarkMeasurement&)> change;
        HealthTestConfidence confidence;
        std::vector<QString> warnings;
    } cases[] = {
        {"steady", [](auto&) {}, HealthTestConfidence::high, {}},
        {"on battery stays high",
         [](auto& m) { m.environment.powerSource = CPUBenchmarkPowerSource::battery; },
         HealthTestConfidence::high,
         {battery}},
        {"low-power mode",
         [](auto& m) { m.environment.lowPowerModeEnabled = true; },
         HealthTestConfidence::medium,
         {lowPower}},
        {"development build",
         [](auto& m) { m.environment.buildFlavor = CPUBenchmarkBuildFlavor::debug; },
         HealthTestConfidence::medium,
         {debug}},
        {"background usage exactly 25 %",
         [](auto& m) { m.environment.initialCPUUsage = 0.25; },
         HealthTestConfidence::medium,
         {busy}},
        {"background usage 24 %",
         [](auto& m) { m.environment.initialCPUUsage = 0.24; },
         HealthTestConfidence::high,
         {}},
        {"warmed up during the run",
         [](auto& m) { m.environment.endThermalLevel = ThermalLevel::fair; },
         HealthTestConfidence::medium,
         {fair, changed}},
        {"thermal signal changed without fair",
         [](auto& m) { m.environment.endThermalLevel = ThermalLevel::unavailable; },
         HealthTestConfidence::high,
         {changed}},
        {"legacy channel",
         [](auto& m) { m.environment.distributionChannel = CPUBenchmarkDistributionChannel::legacyUnknown; },
         HealthTestConfidence::high,
         {legacy}},
        {"local release",
         [](auto& m) { m.environment.distributionChannel = CPUBenchmarkDistributionChannel::localRelease; },
         HealthTestConfidence::high,
         {local}},
        {"multi-core CV 0.09 is low whatever the conditions",
         [](auto& m) {
             m.multiCoreSamples = {364 * MB, 436 * MB};
         }, // mean 400, deviation 36
         HealthTestConfidence::low,
         {}},
        {"CV 0.05 is medium",
         [](auto& m) {
             m.singleCoreSamples = {95 * MB, 105 * MB};
         },
         HealthTestConfidence::medium,
         {}},
        {"all disturbances at once",
         [](auto& m) {
             m.environment.buildFlavor = CPUBenchmarkBuildFlavor::debug;
             m.environment.distributionChannel = CPUBenchmarkDistributionChannel::developer;
             m.environment.lowPowerModeEnabled = true;
             m.environment.powerSource = CPUBenchmarkPowerSource::battery;
             m.environment.initialCPUUsage = 0.25;
             m.environment.startThermalLevel = ThermalLevel::fair;
         },
         HealthTestConfidence::medium,
         {debug, lowPower, battery, busy, fair, changed}},
    };
    for (const Case& c : cases) {
        auto m = steadyMeasurement();
        c.change(m);
        const auto result = CPUBenchmarkScoreEngine().makeResult(m, std::nullopt);
        EXPECT_EQ(result.confidence, c.confidence) << c.name;
        EXPECT_EQ(result.warnings, c.warnings) << c.name;
        EXPECT_EQ(result.benchmarkVersion, 2);
        EXPECT_EQ(result.personalPerformancePercent, std::nullopt);
    }
}

TEST(CPUBenchmarkScoreEngine, RefusesSampleListsThatCannotBeScored) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> bad[] = {{}, {100}, {100, 0}, {100, -1}, {100, nan}, {inf, 100}};
    for (const auto& samples : bad) {
        for (const bool single : {true, false}) {
            auto m = steadyMeasurement();
            (single ? m.singleCoreSamples : m.multiCoreSamples) = samples;
            try {
                CPUBenchmarkScoreEngine().makeResult(m, std::nullopt);
                ADD_FAILURE() << "scored " << samples.size() << " samples";
            } catch (const KestrumError& e) {
                EXPECT_EQ(e.code(), QStringLiteral("invalidWorkloadResult"));
                EXPECT_EQ(e.description(),
                          QStringLiteral("CPU benchmark geçerli ve tekrarlanabilir bir sonuç üretemedi."));
            }
        }
    }
}

TEST(CPUBenchmarkScoreEngine, PersonalPerformanceOnlyAgainstAComparableResult) {
    struct Case {
        const char* name;
        std::function<void(CPUBenchmarkResult&)> reference;
        double speed; // this run against the reference
        std::optional<int> percent;
    } cases[] = {
        {"as fast", [](auto&) {}, 1.0, 100},
        {"five times as fast", [](auto&) {}, 5.0, 400},
        {"a fifth", [](auto&) {}, 0.2, 25},
        {"a quarter is the floor", [](auto&) {}, 0.25, 25},
        {"0.3", [](auto&) {}, 0.3, 30},
        {"other channel",
         [](auto& r) { r.environment.distributionChannel = CPUBenchmarkDistributionChannel::testFlight; },
         1.0, std::nullopt},
        {"other worker count", [](auto& r) { r.environment.workerCount = 8; }, 1.0, std::nullopt},
        {"other version", [](auto& r) { r.benchmarkVersion = 1; }, 1.0, std::nullopt},
        {"other mode", [](auto& r) { r.mode = CPUBenchmarkMode::standard; }, 1.0, std::nullopt},
        {"other architecture", [](auto& r) { r.environment.architecture = QStringLiteral("arm64"); }, 1.0,
         std::nullopt},
        {"other build", [](auto& r) { r.environment.buildFlavor = CPUBenchmarkBuildFlavor::debug; }, 1.0,
         std::nullopt},
        {"rates of another encoder",
         [](auto& r) { r.environment.compressionEncoder = kLegacyCompressionEncoder; }, 1.0, std::nullopt},
        {"reference without valid samples",
         [](auto& r) {
             r.multiCoreSamples = {0, -1};
         },
         1.0, std::nullopt},
        {"reference with one bad sample", [](auto& r) { r.singleCoreSamples.push_back(0); }, 1.0, 100},
    };
    for (const Case& c : cases) {
        CPUBenchmarkResult reference = referenceFrom(steadyMeasurement());
        c.reference(reference);
        auto m = steadyMeasurement();
        for (auto& v : m.singleCoreSamples)
            v *= c.speed;
        for (auto& v : m.multiCoreSamples)
            v *= c.speed;
        const auto result = CPUBenchmarkScoreEngine().makeResult(m, reference);
        EXPECT_EQ(result.personalPerformancePercent, c.percent) << c.name;
        EXPECT_EQ(result.performanceReferenceID.has_value(), c.percent.has_value()) << c.name;
    }
    struct Median {
        std::vector<double> values;
        double median;
        double valid;
    } medians[] = {{{3, 1, 2}, 2, 2}, {{4, 1, 3, 2}, 2.5, 2.5}, {{5, 0, -2, 1}, 0.5, 3}, {{0, -1}, -0.5, 0}};
    for (const auto& c : medians) {
        EXPECT_DOUBLE_EQ(CPUBenchmarkStatistics::median(c.values), c.median);
        EXPECT_DOUBLE_EQ(CPUBenchmarkStatistics::validMedian(c.values), c.valid);
    }
}

TEST(CPUBenchmarkScoreEngine, RepeatabilityFromTheWorseList) {
    struct Case {
        std::vector<double> single, multi;
        int percent;
    } cases[] = {
        {{100, 100, 100}, {400, 400}, 100},
        {{100, 102, 98}, {400, 400}, 98},   // CV 0.0163
        {{91, 109}, {400, 400}, 91},        // CV 0.09
        {{91, 109, 0, -5}, {400, 400}, 91}, // invalid values are left out
        {{1, 100}, {400, 400}, 2},          // CV 0.98
        {{100}, {400, 400}, 0},             // one value: CV 1
        {{1, 1000}, {400, 400}, 0},         // CV 0.998
    };
    for (const auto& c : cases) {
        CPUBenchmarkResult r;
        r.singleCoreSamples = c.single;
        r.multiCoreSamples = c.multi;
        EXPECT_EQ(r.repeatabilityPercent(), c.percent) << c.single.size();
    }
}

TEST(CPUBenchmarkScoreEngine, ConfigurationByMode) {
    EXPECT_EQ(CPUBenchmarkConfiguration::forMode(CPUBenchmarkMode::quick, 4),
              (CPUBenchmarkConfiguration{1.0, 3, 0.5, 4}));
    EXPECT_EQ(CPUBenchmarkConfiguration::forMode(CPUBenchmarkMode::standard, 64),
              (CPUBenchmarkConfiguration{2.5, 5, 1.0, 24}));
    EXPECT_EQ(CPUBenchmarkConfiguration::forMode(CPUBenchmarkMode::quick, 0).maximumWorkers, 1);
}

TEST(CPUBenchmarkResultJson, OlderEnvironmentsDecodeAsLegacyAndNeverCompare) {
    const CPUBenchmarkResult result = referenceFrom(steadyMeasurement());
    const QJsonValue json = cpuBenchmarkResultToJson(result);
    EXPECT_EQ(cpuBenchmarkResultFromJson(json), result);
    EXPECT_EQ(json[QStringLiteral("environment")][QStringLiteral("compressionEncoder")].toString(),
              QStringLiteral("lz4"));

    QJsonObject object = json.toObject();
    QJsonObject environment = object[QStringLiteral("environment")].toObject();
    environment.remove(QStringLiteral("distributionChannel"));
    environment.remove(QStringLiteral("compressionEncoder"));
    object[QStringLiteral("environment")] = environment;
    const CPUBenchmarkResult older = cpuBenchmarkResultFromJson(object);
    EXPECT_EQ(older.environment.distributionChannel, CPUBenchmarkDistributionChannel::legacyUnknown);
    EXPECT_EQ(older.environment.compressionEncoder, kLegacyCompressionEncoder);
    EXPECT_FALSE(older.isComparableReference(steadyMeasurement()));

    // Rescored, such a result carries the legacy-channel warning.
    CPUBenchmarkMeasurement rescored = steadyMeasurement();
    rescored.environment = older.environment;
    const auto warnings = CPUBenchmarkScoreEngine().makeResult(rescored, std::nullopt).warnings;
    EXPECT_EQ(warnings.size(), 1u);

    environment.insert(QStringLiteral("buildFlavor"), QStringLiteral("beta"));
    object[QStringLiteral("environment")] = environment;
    EXPECT_THROW(cpuBenchmarkResultFromJson(object), KestrumError);
}
