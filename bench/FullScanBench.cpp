// The full scan's own work around its checks: the chain with checks that answer at once, the result's
// assembly, the commit into an archive of twelve scans, and the Markdown report in both languages. The
// checks themselves take their ~9 minutes; this is what the scan adds to them.

#include "core/fullscan/FullScanInputs.h"
#include "fullscan/FullSystemScanOperation.h"
#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <qcoro/qcorotask.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class InstantContext : public OperationContext {
public:
    SystemSnapshot snapshot = scanSnapshot();
    HealthArchive stored;
    const SystemSnapshot& currentSnapshot() const override { return snapshot; }
    QCoro::Task<std::optional<SystemSnapshot>> freshSnapshot() override { co_return snapshot; }
    const HealthArchive& archive() const override { return stored; }
    Date now() const override { return scanTime(); }
    bool machineOffersThermalSignal() const override { return true; }
};

void useLanguage(bool english) {
    L10n::setEngine(std::make_shared<const L10nEngine>(english, bundledDisplayTable(english, false)));
}

void BM_ScanChainWithInstantChecks(benchmark::State& state) {
    useLanguage(false);
    auto runner = std::make_shared<FakeScanRunner>();
    InstantContext context;
    for (int i = 0; i < 12; ++i)
        FullSystemScanOperation::append(
            context.stored.fullSystemScanResults,
            FullSystemScanReportBuilder{}.makeResult(healthyEvidence(), QUuid::createUuid()));
    FullSystemScanOperation::Options options;
    options.includeNetworkTests = true;
    const OperationWork work = FullSystemScanOperation::work(runner, options);
    for (auto _ : state) {
        std::stop_source stop;
        const ArchiveCommit commit =
            QCoro::waitFor(work(context, stop.get_token(), [](OperationProgress) {}));
        HealthArchive archive = context.stored;
        commit(archive);
        benchmark::DoNotOptimize(archive.fullSystemScanResults.size());
    }
}
BENCHMARK(BM_ScanChainWithInstantChecks)->Unit(benchmark::kMillisecond);

void BM_ScanReport(benchmark::State& state) {
    useLanguage(state.range(0) == 1);
    const FullSystemScanResult result =
        FullSystemScanReportBuilder{}.makeResult(healthyEvidence(), QUuid::createUuid());
    for (auto _ : state)
        benchmark::DoNotOptimize(FullSystemScanReportBuilder{}.markdown(result));
    state.SetLabel(state.range(0) == 1 ? "English" : "Turkish");
}
BENCHMARK(BM_ScanReport)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
