// CPU and wall time of one complete sample() of the real machine, and of the recorded Intel laptop tree
// (more files to read than this VM has: battery, thermal zones, throttle counters, hwmon, a GPU).

#include "LinuxNetworkPathProvider.h"
#include "LinuxServices.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

void sampleLoop(benchmark::State& state, const LinuxServices::Roots& roots) {
    std::shared_ptr<LinuxNetworkPathProvider> path;
    auto sampler = LinuxServices::makeSampler(roots, &path);
    path->waitForFirstUpdate(std::chrono::seconds(2));
    sampler->sampleNow(); // the first sample discovers the layouts and takes the baselines
    for (auto _ : state)
        benchmark::DoNotOptimize(sampler->sampleNow());
}

void BM_SampleThisMachine(benchmark::State& state) {
    sampleLoop(state, LinuxServices::Roots{});
}

void BM_SampleRecordedIntelLaptop(benchmark::State& state) {
    sampleLoop(state,
               LinuxServices::Roots::recordedTree(QStringLiteral(KESTRUM_FIXTURES_DIR "/intel-laptop")));
}

} // namespace

BENCHMARK(BM_SampleThisMachine)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_SampleRecordedIntelLaptop)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
