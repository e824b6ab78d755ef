// One sample of every sensor provider over a recorded tree: the fans, the die temperatures, the battery
// bridge and the GPU utilization a compatibility record admits (the channels are resolved before).

#include "SysfsHwmonReading.h"
#include "advanced/AdvancedReadOnlyTelemetryProviders.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

void sampleSensors(benchmark::State& state, const char* machine) {
    const QString root = QStringLiteral(KESTRUM_FIXTURES_DIR "/") + QLatin1String(machine);
    const QString sys = root + QStringLiteral("/sys");
    const auto identity = readAdvancedTelemetryIdentity(root + QStringLiteral("/proc"), sys);
    const AdvancedHwmonConnector connector = [sys] { return std::make_shared<SysfsHwmonReading>(sys); };
    AdvancedReadOnlyFanStatsProvider fans(identity, connector);
    AdvancedReadOnlyComponentTemperatureProvider temperatures(identity, connector);
    AdvancedBatteryTelemetryHwmonProvider battery(identity, connector);
    AdvancedGPUUtilizationHwmonProvider gpu(identity, connector);
    fans.sample();
    temperatures.sample();
    for (auto _ : state) {
        benchmark::DoNotOptimize(fans.sample());
        benchmark::DoNotOptimize(temperatures.sample());
        benchmark::DoNotOptimize(battery.sample());
        benchmark::DoNotOptimize(gpu.sample());
    }
}

void BM_SensorsIntelLaptop(benchmark::State& state) {
    sampleSensors(state, "intel-laptop");
}
void BM_SensorsAmdDesktop(benchmark::State& state) {
    sampleSensors(state, "amd-desktop");
}
void BM_SensorsAppleSiliconMBP(benchmark::State& state) {
    sampleSensors(state, "apple-silicon-mbp");
}

} // namespace

BENCHMARK(BM_SensorsIntelLaptop)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_SensorsAmdDesktop)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_SensorsAppleSiliconMBP)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
