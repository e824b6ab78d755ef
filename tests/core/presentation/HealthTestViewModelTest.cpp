// The health test section over a store whose archive holds stored results.

#include "presentation/HealthTestViewModel.h"

#include "PresentationFixtures.h"
#include "measurement/MetricFormatting.h"
#include "presentation/BenchmarkLabViewModel.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

HealthTestResult quickResult(Date endedAt, int score) {
    HealthTestResult r;
    r.id = newUuid();
    r.startedAt = endedAt.addingSeconds(-20);
    r.endedAt = endedAt;
    r.healthScore = score;
    r.stabilityScore = 90;
    r.confidence = HealthTestConfidence::high;
    r.components = {
        {HealthTestComponentKind::battery, std::nullopt, QStringLiteral("Batarya bulunamadı."), {}},
        {HealthTestComponentKind::thermal, 95, QStringLiteral("Termal durum normal kaldı."), {}}};
    r.firstCPUOperationsPerSecond = 2.5e9;
    r.secondCPUOperationsPerSecond = 2.4e9;
    r.storage = {64 << 20, 400e6, 900e6};
    return r;
}

std::vector<QString> labels(MetricGroup* group) {
    std::vector<QString> out;
    for (int i = 0; group && i < group->rows()->count(); ++i)
        out.push_back(group->rows()->value(i, "label").toString());
    return out;
}

} // namespace

TEST(HealthTestViewModel, NoResultsYetAndARefusedStart) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    HealthTestViewModel model(m.store);
    EXPECT_FALSE(model.hasQuickResult());
    EXPECT_FALSE(model.hasDeepResult());
    EXPECT_EQ(model.quickGroups()->count(), 0);
    EXPECT_EQ(model.deepGroups()->count(), 0);
    // Before the first sample neither test may start, and the section says why.
    EXPECT_FALSE(model.quick()->canStart());
    EXPECT_EQ(model.quick()->refusal(), QStringLiteral("Testten önce güncel bir sistem ölçümü gerekiyor."));
    EXPECT_FALSE(model.startQuick());
    EXPECT_FALSE(model.quick()->isRunning());
    EXPECT_EQ(model.quick()->error(), QStringLiteral("Testten önce güncel bir sistem ölçümü gerekiyor."));
}

TEST(HealthTestViewModel, TheLatestStoredResultOfEachKind) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    HealthTestResult older = quickResult(m.now.addingSeconds(-86'400), 70);
    HealthTestResult latest = quickResult(m.now, 82);
    latest.personalCapacityPercent = 97;
    latest.warnings = {QStringLiteral("Bu makine termal sinyal sunmuyor.")};
    DeepHealthTestResult deep;
    deep.id = newUuid();
    deep.endedAt = m.now;
    deep.healthScore = 75;
    deep.sustainedCapacityScore = 68;
    deep.confidence = HealthTestConfidence::medium;
    m.repository->stored.healthTestResults = {older, latest};
    m.repository->stored.deepHealthTestResults = {deep};
    QCoro::waitFor(m.store.prepareArchive());

    HealthTestViewModel model(m.store);
    QAbstractItemModelTester tester(model.quickGroups(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(model.hasQuickResult());
    EXPECT_TRUE(model.quickTitle().startsWith(QStringLiteral("Hızlı sağlık testi · ")))
        << model.quickTitle().toStdString();
    EXPECT_EQ(model.quickSummary(), QStringLiteral("Sağlık puanı 82/100 · Kararlılık 90/100 · Yüksek güven\n"
                                                   "Kişisel kapasite: ilk aynı sürüm testin %97 düzeyinde"));
    EXPECT_EQ(model.quickGroups()->keyAt(0), QStringLiteral("components"));
    MetricGroup* components = model.quickGroup(QStringLiteral("components"));
    ASSERT_NE(components, nullptr);
    EXPECT_EQ(labels(components),
              (std::vector<QString>{QStringLiteral("Batarya"), QStringLiteral("Termal")}));
    EXPECT_TRUE(
        components->rows()->value(0, "value").toString().startsWith(MetricFormatting::unavailableText()))
        << "a component that could not be measured has no score, not zero";
    EXPECT_EQ(model.quickGroup(QStringLiteral("measurements"))->valueOf(QStringLiteral("Grafik hesaplama")),
              MetricFormatting::unavailableText());
    ASSERT_NE(model.quickGroup(QStringLiteral("notes")), nullptr) << "the warning is shown";

    // The deep result without findings or CPU rounds: no empty findings group, no zero rate.
    ASSERT_TRUE(model.hasDeepResult());
    EXPECT_EQ(model.deepSummary(),
              QStringLiteral("Sağlık puanı 75/100 · Sürdürülebilir kapasite 68/100 · Orta güven"));
    EXPECT_EQ(model.deepGroup(QStringLiteral("findings")), nullptr);
    EXPECT_EQ(model.deepGroup(QStringLiteral("notes")), nullptr);
    EXPECT_EQ(model.deepGroup(QStringLiteral("measurements"))->valueOf(QStringLiteral("İşlemci turları")),
              MetricFormatting::unavailableText());

    // A test that finishes commits its result; the section follows, and the groups keep their objects.
    MetricGroup* const kept = model.quickGroup(QStringLiteral("components"));
    m.sample(test::measuredSnapshot());
    const HealthTestResult newer = quickResult(m.now, 55);
    OperationWork work = [newer](OperationContext&, std::stop_token,
                                 ProgressReporter) -> QCoro::Task<ArchiveCommit> {
        co_return [newer](HealthArchive& archive) { archive.healthTestResults.push_back(newer); };
    };
    ASSERT_TRUE(m.store.startOperation(UserOperation::quickHealthTest, work));
    ASSERT_TRUE(test::spinUntil([&] {
        return model.quickSummary().startsWith(QStringLiteral("Sağlık puanı 55/100"));
    })) << model.quickSummary().toStdString();
    EXPECT_EQ(model.quickGroup(QStringLiteral("components")), kept);
    EXPECT_EQ(model.quickGroup(QStringLiteral("notes")), nullptr) << "the newer result has no warning";
}

TEST(HealthTestViewModel, EnglishInterface) {
    test::ScopedLanguage english(true);
    test::MeasuredStore m;
    m.repository->stored.healthTestResults = {quickResult(m.now, 82)};
    QCoro::waitFor(m.store.prepareArchive());
    HealthTestViewModel model(m.store);
    EXPECT_TRUE(model.quickTitle().startsWith(QStringLiteral("Quick health test · ")));
    EXPECT_EQ(model.quickSummary(),
              QStringLiteral("Health score 82/100 · Stability 90/100 · High confidence"));
}

TEST(BenchmarkLabViewModel, TheLatestResultAndItsRates) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    {
        BenchmarkLabViewModel empty(m.store);
        EXPECT_FALSE(empty.hasResult());
        EXPECT_EQ(empty.resultGroups()->count(), 0);
    }
    CPUBenchmarkResult older;
    older.id = newUuid();
    older.endedAt = m.now.addingSeconds(-3600);
    older.singleCoreSamples = {1e9};
    CPUBenchmarkResult latest;
    latest.id = newUuid();
    latest.endedAt = m.now;
    latest.mode = CPUBenchmarkMode::standard;
    latest.confidence = HealthTestConfidence::high;
    latest.singleCoreSamples = {500e6, 520e6, 510e6};
    latest.environment.workerCount = 8;
    latest.personalPerformancePercent = 104;
    m.repository->stored.cpuBenchmarkResults = {older, latest};
    QCoro::waitFor(m.store.prepareArchive());

    BenchmarkLabViewModel model(m.store);
    ASSERT_TRUE(model.hasResult());
    EXPECT_EQ(model.resultCount(), 2);
    EXPECT_TRUE(model.resultTitle().startsWith(QStringLiteral("CPU benchmark (Standart) · ")))
        << model.resultTitle().toStdString();
    EXPECT_TRUE(
        model.resultSummary().endsWith(QStringLiteral("\nÖnceki karşılaştırılabilir sonuca göre %104")))
        << model.resultSummary().toStdString();
    MetricGroup* rates = model.resultGroup(QStringLiteral("rates"));
    ASSERT_NE(rates, nullptr);
    EXPECT_EQ(rates->valueOf(QStringLiteral("Tek çekirdek")), MetricFormatting::rate(510e6)) << "the median";
    EXPECT_EQ(rates->valueOf(QStringLiteral("Çok çekirdek (8 işçi)")), MetricFormatting::unavailableText())
        << "no multi-core samples: missing, not zero";
    EXPECT_EQ(model.resultGroup(QStringLiteral("notes")), nullptr);
}
