// One loop iteration of the monitor (sample + judge + observe + the minute's persistence), and the
// resident memory over two hours of simulated 2-second samples (the 1800-snapshot history is the bound).

#include "LinuxServices.h"
#include "history/FileHealthArchiveRepository.h"
#include "monitor/SystemMonitorStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <qcoro/qcorotask.h>

using namespace kestrum;

namespace {

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Restamps the real sampler's snapshots with the simulated clock.
class SimulatedTimeSampler : public SystemMetricsSampling {
public:
    SimulatedTimeSampler(std::unique_ptr<DefaultSystemMetricsSampler> real, const Date* now)
        : m_real(std::move(real)), m_now(now) {}
    QFuture<SystemSnapshot> sample() override {
        SystemSnapshot snapshot = m_real->sampleNow();
        snapshot.timestamp = *m_now;
        return QtFuture::makeReadyFuture(snapshot);
    }

private:
    std::unique_ptr<DefaultSystemMetricsSampler> m_real;
    const Date* m_now;
};

struct Rig {
    QTemporaryDir dir;
    InMemoryPreferencesStore preferences;
    Date now = Date::now();
    std::unique_ptr<SystemMonitorStore> store;

    // `simulatedClock`: every sample is two seconds after the previous one, whatever the real time.
    explicit Rig(bool simulatedClock) {
        SystemMonitorStore::Dependencies d;
        if (simulatedClock)
            d.sampler = std::make_shared<SimulatedTimeSampler>(LinuxServices::makeSampler(), &now);
        else
            d.sampler = std::shared_ptr<SystemMetricsSampling>(LinuxServices::makeSampler().release());
        d.preferences = &preferences;
        d.archiveRepository = std::make_shared<FileHealthArchiveRepository>(
            dir.path() + QStringLiteral("/health-archive.json"));
        if (simulatedClock)
            d.dateProvider = [this] { return now; };
        store = std::make_unique<SystemMonitorStore>(std::move(d));
        QCoro::waitFor(store->prepareArchive());
    }
};

void BM_MonitorIteration(benchmark::State& state) {
    Rig rig(false);
    QCoro::waitFor(rig.store->refresh());
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoro::waitFor(rig.store->refresh()));
    state.counters["history"] = double(rig.store->history().size());
}

} // namespace

BENCHMARK(BM_MonitorIteration)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--memory") {
        // The sampler's own dates are real; persistence and compaction follow the simulated clock.
        Rig rig(true);
        std::printf("samples  history  persisted  RSS (KiB)\n");
        for (int i = 1; i <= 3600; ++i) {
            rig.now = rig.now.addingSeconds(2);
            QCoro::waitFor(rig.store->refresh());
            if (i == 1 || i % 600 == 0)
                std::printf("%7d  %7zu  %9zu  %9ld\n", i, rig.store->history().size(),
                            rig.store->persistentHistory().size(), residentKilobytes());
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
