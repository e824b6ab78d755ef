// The hardware doctor's evidence: findings and their summary from this moment's recommendations and
// insights (the part the window rebuilds on every sample), and the whole gathering over a full-size
// archive (context, seven-day counts, baseline, insights, recommendations, findings, summary).

#include "FullSizeArchive.h"
#include "diagnosis/DiagnosticContextBuilder.h"
#include "diagnosis/DiagnosticEvidenceEngine.h"
#include "diagnosis/HardwareDoctorEvidence.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'008'000);

SystemSnapshot machine() {
    SystemSnapshot s = SystemSnapshot::empty(QUuid(), kNow);
    s.cpu.availability = MetricAvailability::available();
    s.cpu.totalUsage = 0.97;
    s.memory = {15'500'000'000ULL, 16'000'000'000ULL, 0, 2'000'000'000ULL, MetricAvailability::available()};
    s.disk = {512'000'000'000ULL, 9'000'000'000ULL, MetricAvailability::available()};
    s.thermal = ThermalLevel::serious;
    return s;
}

// The most a moment can hold: a recommendation per component kind and an insight per insight kind.
void BM_FindingsAndSummary(benchmark::State& state) {
    std::vector<HardwareRecommendation> recommendations;
    for (const HardwareComponentKind kind : allCases<HardwareComponentKind>()) {
        HardwareRecommendation r;
        r.id = rawValue(kind);
        r.componentKind = kind;
        r.urgency = HardwareRecommendationUrgency::attention;
        r.title = QStringLiteral("Öneri ") + r.id;
        r.evidence = QStringLiteral("Kanıt cümlesi, ölçümden okunan değerlerle birlikte.");
        r.action = QStringLiteral("Yapılacak güvenli adım.");
        recommendations.push_back(r);
    }
    std::vector<HealthInsight> insights;
    for (const HealthInsightKind kind : allCases<HealthInsightKind>()) {
        HealthInsight i;
        i.kind = kind;
        i.level = HealthLevel::critical;
        i.title = QStringLiteral("Sinyal ") + rawValue(kind);
        i.evidence = QStringLiteral("Ölçülen değer eşiğin üzerinde.");
        i.recommendation = QStringLiteral("Öneri cümlesi.");
        i.signature = rawValue(kind) + QStringLiteral("-high");
        insights.push_back(i);
    }
    const SanitizedDiagnosticContext context = DiagnosticContextBuilder::makeContext(
        HardwareProfile::unavailable(), machine(), {}, QStringLiteral("fan çok ses yapıyor"));
    for (auto _ : state) {
        const auto findings = DiagnosticEvidenceEngine::findings(recommendations, insights, context);
        benchmark::DoNotOptimize(DiagnosticEvidenceEngine::summary(findings));
    }
}
BENCHMARK(BM_FindingsAndSummary)->Unit(benchmark::kMicrosecond);

void BM_GatherEvidenceOverFullArchive(benchmark::State& state) {
    static const HealthArchive archive = bench::fullSizeArchive(kNow);
    const SystemSnapshot snapshot = machine();
    for (auto _ : state)
        benchmark::DoNotOptimize(HardwareDoctor::gatherEvidence(HardwareProfile::unavailable(), snapshot,
                                                                archive.samples, QString(), kNow));
    state.counters["samples"] = double(archive.samples.size());
}
BENCHMARK(BM_GatherEvidenceOverFullArchive)->Unit(benchmark::kMillisecond);

} // namespace
