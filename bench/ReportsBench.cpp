// Report generation from a full-size archive's inputs, in Turkish and in English (the English pass
// translates every line): what a user waits for when exporting.

#include "FullSizeArchive.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"
#include "measurement/SystemSnapshot.h"
#include "reports/DiagnosticReportBuilder.h"
#include "reports/WeeklyHealthReportBuilder.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'008'000);

const HealthArchive& archive() {
    static const HealthArchive full = bench::fullSizeArchive(kNow);
    return full;
}

void useLanguage(bool english) {
    L10n::setEngine(std::make_shared<const L10nEngine>(english, bundledDisplayTable(english, false)));
}

SystemSnapshot machine() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid(), kNow);
    s.cpu.availability = MetricAvailability::available();
    s.cpu.totalUsage = 0.42;
    s.memory = {8'000'000'000ULL, 16'000'000'000ULL, 0, 0, MetricAvailability::available()};
    s.thermal = ThermalLevel::fair;
    return s;
}

void BM_DiagnosticReport(benchmark::State& state) {
    useLanguage(state.range(0) != 0);
    const HealthArchive& full = archive();
    const SystemSnapshot snapshot = machine();
    const HealthAssessment assessment = HealthAssessmentEngine::assess(snapshot);
    const PersonalBaseline baseline =
        PersonalBaselineEngine::makeBaseline(full.samples, kNow, PersonalBaselineEngine::kLookbackSeconds);
    DiagnosticReportBuilder builder;
    builder.operatingSystemVersion = QStringLiteral("Debian GNU/Linux 12 (bookworm) · Linux 6.1.0-18-amd64");
    builder.privateWords = {QStringLiteral("kullanici"), QStringLiteral("makine")};
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            builder.build(snapshot, assessment, baseline, full.events,
                          full.incidents.empty() ? std::nullopt : std::optional(full.incidents.back()),
                          full.latestNetworkQualityResult, kNow));
    }
    L10n::setEngine(nullptr);
}
BENCHMARK(BM_DiagnosticReport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WeeklyReport(benchmark::State& state) {
    useLanguage(state.range(0) != 0);
    const HealthArchive& full = archive();
    const WeeklyHealthReportInput input = WeeklyHealthReportInput::lastWeek(full, kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(WeeklyHealthReportBuilder{}.build(input));
    L10n::setEngine(nullptr);
}
BENCHMARK(BM_WeeklyReport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
