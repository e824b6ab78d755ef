#include "healthtests/HealthTestsJson.h"

#include "HealthTestFixtures.h"
#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"
#include "healthtests/DeepHealthTestScoreEngine.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

HealthTestResult quickResult() {
    QuickHealthTestMeasurement m;
    m.startedAt = kTestNow;
    m.endedAt = kTestNow.addingSeconds(21.5);
    SystemSnapshot s = machineSnapshot(ThermalLevel::fair);
    s.battery = batteryWithCondition(QStringLiteral("Fair"));
    m.snapshots = {s};
    m.firstCPUOperationsPerSecond = 1.5e9;
    m.secondCPUOperationsPerSecond = 1.4e9;
    m.storage = {67'108'864, 4.2e8, 1.9e9};
    m.gpuUnavailableReason = QStringLiteral("Sürücü yok.");
    return HealthTestScoreEngine().makeResult(m, std::nullopt);
}

CPUBenchmarkResult benchmarkResult(double endedAt) {
    CPUBenchmarkResult r;
    r.id = newUuid();
    r.startedAt = Date{endedAt - 10};
    r.endedAt = Date{endedAt};
    r.singleCoreSamples = {1, 2};
    r.multiCoreSamples = {3, 4};
    r.environment.architecture = QStringLiteral("x86_64");
    r.environment.compressionEncoder = QStringLiteral("lz4");
    r.environment.distributionChannel = CPUBenchmarkDistributionChannel::localRelease;
    r.warnings = {QStringLiteral("Düşük Güç Modu performansı sınırlayabilir.")};
    return r;
}

} // namespace

TEST(HealthTestsJson, ResultsRoundTripWithTheirKeys) {
    const HealthTestResult quick = quickResult();
    const QJsonObject quickJson = healthTestResultToJson(quick).toObject();
    EXPECT_EQ(healthTestResultFromJson(quickJson), quick);
    EXPECT_EQ(quickJson[QStringLiteral("benchmarkVersion")].toInt(), 3);
    EXPECT_EQ(quickJson[QStringLiteral("confidence")].toString(), QStringLiteral("medium"));
    EXPECT_EQ(quickJson[QStringLiteral("components")].toArray().at(0)[QStringLiteral("kind")].toString(),
              QStringLiteral("battery"));
    EXPECT_FALSE(quickJson.contains(QStringLiteral("gpuOperationsPerSecond"))); // absent, never zero
    EXPECT_FALSE(quickJson.contains(QStringLiteral("personalCapacityPercent")));

    // A result written without the platform's additions still reads.
    QJsonObject older = quickJson;
    older.remove(QStringLiteral("warnings"));
    older.remove(QStringLiteral("gpuUnavailableReason"));
    const HealthTestResult olderResult = healthTestResultFromJson(older);
    EXPECT_TRUE(olderResult.warnings.empty());
    EXPECT_EQ(olderResult.gpuUnavailableReason, std::nullopt);

    DeepHealthTestMeasurement deep;
    deep.snapshots = {machineSnapshot()};
    deep.cpuOperationsPerSecond = {2, 2, 1};
    deep.cpuWorkerCounts = {3, 3, 3};
    deep.gpuOperationsPerSecond = {5, 4};
    deep.memory = {1 << 20, 4, 1e10};
    const DeepHealthTestResult deepResult = DeepHealthTestScoreEngine().makeResult(deep, std::nullopt);
    QJsonObject deepJson = deepHealthTestResultToJson(deepResult).toObject();
    EXPECT_EQ(deepHealthTestResultFromJson(deepJson), deepResult);
    EXPECT_EQ(deepJson[QStringLiteral("findings")].toArray().at(0)[QStringLiteral("level")].toString(),
              QStringLiteral("normal"));
    deepJson.remove(QStringLiteral("cpuWorkerCounts")); // stored before worker counts were recorded
    const DeepHealthTestResult withoutCounts = deepHealthTestResultFromJson(deepJson);
    EXPECT_EQ(withoutCounts.cpuWorkerCounts, std::nullopt);
    EXPECT_EQ(withoutCounts.averageCPUOperationsPerSecond(), 5.0 / 3);

    QJsonObject broken = quickJson;
    broken[QStringLiteral("confidence")] = QStringLiteral("certain");
    EXPECT_THROW(healthTestResultFromJson(broken), KestrumError);
    broken = quickJson;
    broken.remove(QStringLiteral("healthScore"));
    EXPECT_THROW(healthTestResultFromJson(broken), KestrumError);
}

TEST(CPUBenchmarkHistory, WrittenAtomicallyAndReadBack) {
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/sub/cpu-benchmark-history-v1.json");
    EXPECT_EQ(CPUBenchmarkHistorySidecar::load(path).results,
              std::nullopt); // no file yet: nothing, no problem
    const std::vector<CPUBenchmarkResult> results = {benchmarkResult(100), benchmarkResult(200)};
    CPUBenchmarkHistorySidecar::save(path, results);
    const auto loaded = CPUBenchmarkHistorySidecar::load(path);
    EXPECT_TRUE(loaded.problem.isEmpty());
    EXPECT_EQ(loaded.results, results);
    const QJsonObject file = QJsonDocument::fromJson(test::readFile(path)).object();
    EXPECT_EQ(file[QStringLiteral("schemaVersion")].toInt(), 1);
    EXPECT_EQ(file[QStringLiteral("results")].toArray().size(), 2);
    EXPECT_EQ(QDir(folder.path() + QStringLiteral("/sub")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("cpu-benchmark-history-v1.json")}); // no temporary left
}

TEST(CPUBenchmarkHistory, UnusableFilesAreMovedAsideAndReported) {
    struct Case {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"malformed", "{\"schemaVersion\": 1, \"results\": ["},
        {"newer", R"({"schemaVersion": 2, "results": [], "devices": {}})"},
        {"wrong record", R"({"schemaVersion": 1, "results": [{"id": "not-an-id"}]})"},
        {"not an object", "[1, 2, 3]"},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        const QString path = folder.path() + QStringLiteral("/cpu-benchmark-history-v1.json");
        test::writeFile(path, c.content);
        const auto outcome = CPUBenchmarkHistorySidecar::load(path);
        EXPECT_EQ(outcome.results, std::nullopt) << c.name;
        EXPECT_TRUE(outcome.problem.startsWith(QStringLiteral("Benchmark geçmişi dosyası okunamadı; ")))
            << c.name;
        EXPECT_FALSE(QFile::exists(path)) << c.name;
        const QStringList aside =
            QDir(folder.path()).entryList({QStringLiteral("cpu-benchmark-history-v1.json.unreadable-*")});
        ASSERT_EQ(aside.size(), 1) << c.name;
        EXPECT_EQ(test::readFile(folder.path() + u'/' + aside.first()), c.content)
            << c.name; // kept byte for byte
        EXPECT_TRUE(outcome.problem.contains(aside.first())) << c.name;
    }
}
