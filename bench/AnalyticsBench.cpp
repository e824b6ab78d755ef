// What recording one usage event costs the feature that records it: the hand-off on the caller's
// thread, with consent given and the pipeline taking events on its own thread. Only the calls to
// `record` are timed; between rounds the pipeline is let finish writing the queue file, so every event
// timed was accepted, not refused for a full hand-off list.

#include "analytics/ProductAnalyticsRuntime.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>

using namespace kestrum;

namespace {

constexpr int kEventsPerRound = 20;

void BM_RecordOneEventOnTheCallersThread(benchmark::State& state) {
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
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kEventsPerRound; ++i)
            recorder.record(ProductAnalyticsEvent::testStartAccepted(ProductAnalyticsTestKind::quickHealth,
                                                                     QStringLiteral("overview")));
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count() / kEventsPerRound);
        runtime.settle();
    }
    state.counters["queued"] =
        double(ProductAnalyticsDeliveryQueue::peek(runtime.queueFile(), Date::now()).size());
}

} // namespace

BENCHMARK(BM_RecordOneEventOnTheCallersThread)
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMicrosecond);
