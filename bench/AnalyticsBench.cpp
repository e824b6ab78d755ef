// What recording one usage event costs the feature that records it: the hand-off on the caller's
// thread, with consent given and the pipeline taking events on its own thread. Only the calls to
// `record` are timed; between rounds the pipeline is let finish writing the queue file, so every event
// timed was accepted, not refused for a full hand-off list.

#include "analytics/ProductAnalyticsRuntime.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>

using namespace kestrum;

namespace {

constexpr int kEventsPerRound = 20;

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The processor time of this thread alone: what the recording feature pays, whatever else the machine
// (and the pipeline's thread) is doing meanwhile.
double threadSeconds() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) + double(time.tv_nsec) * 1e-9;
}

void recordRounds(benchmark::State& state, double (*clock)()) {
    QTemporaryDir directory;
    InMemoryPreferencesStore preferences;
    preferences.setValue(ProductAnalyticsEndpointConfiguration::kEndpointPreferenceKey,
                         QStringLiteral("https://collector.example/v1/events"));
    ProductAnalyticsRuntime::Configuration configuration;
    configuration.preferences = &preferences;
    configuration.endpoint = ProductAnalyticsEndpointConfiguration::resolve(preferences, {}, {});
    configuration.queueFile = directory.filePath(QStringLiteral("analytics-queue.json"));
    configuration.metadata = {QStringLiteral("0.1.0"), QStringLiteral("0.1.0"),
                              ProductAnalyticsDistributionCategory::advanced,
                              ProductAnalyticsLanguageCategory::en};
    configuration.deliversEvents = false; // queued only: no request leaves this machine
    ProductAnalyticsRuntime runtime(std::move(configuration));
    runtime.optIn(ProductAnalyticsConsentSource::settings);
    runtime.settle();
    if (runtime.mode() != ProductAnalyticsMode::optedInRemote) {
        state.SkipWithError("analytics did not switch on");
        return;
    }
    const ProductAnalyticsRecorder recorder = runtime.recorder();
    for (auto _ : state) {
        const double start = clock();
        for (int i = 0; i < kEventsPerRound; ++i)
            recorder.record(ProductAnalyticsEvent::testStartAccepted(ProductAnalyticsTestKind::quickHealth,
                                                                     QStringLiteral("overview")));
        state.SetIterationTime((clock() - start) / kEventsPerRound);
        runtime.settle();
    }
    state.counters["queued"] =
        double(ProductAnalyticsDeliveryQueue::peek(runtime.queueFile(), Date::now()).size());
}

void BM_RecordOneEventWallTime(benchmark::State& state) {
    recordRounds(state, wallSeconds);
}

void BM_RecordOneEventCallerThreadCPU(benchmark::State& state) {
    recordRounds(state, threadSeconds);
}

} // namespace

BENCHMARK(BM_RecordOneEventCallerThreadCPU)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecordOneEventWallTime)->UseManualTime()->Iterations(50)->Unit(benchmark::kMicrosecond);
