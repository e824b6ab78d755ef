// CPU and wall time of one hardware discovery (what `kestrum-cli hardware` does before printing) on this
// machine and over the recorded Intel laptop tree (LUKS + LVM on NVMe, battery, GPU through pci.ids),
// and of the four recommendations over a full week of stored samples.

#include "LinuxServices.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "hardware/HardwareRecommendationEngine.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

void discoverLoop(benchmark::State& state, const LinuxServices::Roots& roots) {
    const HardwareDependencies dependencies = LinuxServices::makeHardwareDependencies(roots);
    auto* discoverer = dynamic_cast<DefaultHardwareProfileDiscoverer*>(dependencies.discoverer.get());
    for (auto _ : state)
        benchmark::DoNotOptimize(discoverer->discoverNow());
}

void BM_DiscoverThisMachine(benchmark::State& state) {
    discoverLoop(state, LinuxServices::Roots{});
}

void BM_DiscoverRecordedIntelLaptop(benchmark::State& state) {
    discoverLoop(state, LinuxServices::Roots::recordedTree(
                            QStringLiteral(KESTRUM_FIXTURES_DIR "/hardware/intel-laptop")));
}

void BM_RecommendationsOverAWeek(benchmark::State& state) {
    const Date now = Date::fromUnixSeconds(1'770'000'000);
    std::vector<HealthSample> week;
    for (int minute = 0; minute < 7 * 24 * 60; ++minute) {
        HealthSample sample;
        sample.timestamp = now.addingSeconds(-60.0 * minute);
        sample.memoryUsage = minute % 3 == 0 ? 0.95 : 0.6;
        sample.cpuUsage = 0.2;
        sample.thermalLevel = minute % 500 == 0 ? ThermalLevel::serious : ThermalLevel::nominal;
        week.push_back(sample);
    }
    SystemSnapshot snapshot = SystemSnapshot::empty();
    snapshot.memory = MemoryStats{8ULL << 30, 16ULL << 30, 0, 1ULL << 30, MetricAvailability::available()};
    const HardwareProfile profile = HardwareProfile::unavailable();
    for (auto _ : state)
        benchmark::DoNotOptimize(HardwareRecommendationEngine::recommendations(profile, snapshot, week, now));
}

} // namespace

BENCHMARK(BM_DiscoverThisMachine)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_DiscoverRecordedIntelLaptop)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_RecommendationsOverAWeek)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
