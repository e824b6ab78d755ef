// Per-sample cost of the resource analysis: recording one observation into a full list, ranking the whole
// list (what a screen does when it redraws), and the per-application use over a generated app.slice with
// 200 running scopes (each with one process, io controller not delegated: the heavier path): one sample
// every 2 s as the monitor takes them, so the slower refreshes are spread over the samples they cover,
// and the first reading of a fresh reader, which opens and lists everything.

#include "CgroupApplicationUsageReader.h"
#include "culprits/ResourceCulpritAnalyzer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

const Date kNow{800000000};

std::vector<AppResourceObservation> fullList(int applications) {
    std::vector<AppResourceObservation> list;
    for (int i = 0; i < ResourceCulpritAnalyzer::kDefaultMaximumObservations; ++i) {
        AppResourceObservation o;
        o.timestamp = kNow.addingSeconds(-7000 + i * 0.9);
        o.application = {QStringLiteral("Uygulama %1").arg(i % applications),
                         QStringLiteral("org.example.App%1").arg(i % applications)};
        o.cpuUsage = (i % 100) / 100.0;
        o.memoryUsage = 0.5 + (i % 7) / 20.0;
        o.networkBytesPerSecond = i % 5000;
        o.thermalLevel = i % 13 == 0 ? ThermalLevel::fair : ThermalLevel::nominal;
        o.batteryUsesPowerAdapter = i % 2 == 0;
        o.systemPowerWatts = -8.5;
        list.push_back(o);
    }
    return list;
}

void BM_RecordIntoFullList(benchmark::State& state) {
    const ResourceCulpritAnalyzer analyzer;
    std::vector<AppResourceObservation> list = fullList(20);
    AppResourceObservation next = list.back();
    for (auto _ : state) {
        next.timestamp = next.timestamp.addingSeconds(2);
        benchmark::DoNotOptimize(analyzer.appendCompacting(list, next, next.timestamp));
    }
}

void BM_AnalyzeFullList(benchmark::State& state) {
    const std::vector<AppResourceObservation> list = fullList(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ResourceCulpritAnalyzer::analyze(list, 2));
        benchmark::DoNotOptimize(BatteryImpactAnalyzer::analyze(list, 2));
    }
}

void write(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::abort();
    file.write(content);
}

struct GeneratedSlice {
    QTemporaryDir root;
    GeneratedSlice() {
        const QString slice =
            root.path() + QStringLiteral("/cgroup/user.slice/user-1000.slice/user@1000.service/app.slice");
        QDir().mkpath(slice);
        write(root.path() + QStringLiteral("/cgroup/cgroup.controllers"), "cpu io memory pids\n");
        for (int i = 0; i < 200; ++i) {
            const QString unit =
                slice + QStringLiteral("/app-gnome-org.example.App%1-%2.scope").arg(i % 40).arg(i);
            QDir().mkpath(unit);
            const int pid = 10000 + i;
            write(unit + QStringLiteral("/cpu.stat"),
                  QByteArray("usage_usec ") + QByteArray::number(i * 12345) +
                      "\nuser_usec 1\nsystem_usec 1\nnr_periods 0\nnr_throttled 0\nthrottled_usec 0\n");
            write(unit + QStringLiteral("/memory.current"), QByteArray::number(i * 1048576) + "\n");
            write(unit + QStringLiteral("/cgroup.procs"), QByteArray::number(pid) + "\n");
            QDir().mkpath(root.path() + QStringLiteral("/proc/%1").arg(pid));
            write(root.path() + QStringLiteral("/proc/%1/io").arg(pid),
                  "rchar: 1\nwchar: 1\nsyscr: 1\nsyscw: 1\nread_bytes: 4096\nwrite_bytes: 8192\n"
                  "cancelled_write_bytes: 0\n");
        }
    }
    CgroupApplicationUsageReader::Roots roots() const {
        return {root.path() + QStringLiteral("/cgroup"), root.path() + QStringLiteral("/proc")};
    }
};

void BM_ReadAppSlice200Scopes(benchmark::State& state) {
    const GeneratedSlice slice;
    auto catalog = std::make_shared<DesktopEntryCatalog>(QStringList{});
    double now = 0;
    CgroupApplicationUsageReader reader(slice.roots(), 1000, catalog, [&now] { return now; });
    ApplicationUsageAccounting accounting;
    for (auto _ : state) {
        now += 2;
        benchmark::DoNotOptimize(accounting.update(reader.read()));
    }
    state.counters["units"] = static_cast<double>(reader.read().units.size());
}

void BM_ReadAppSlice200ScopesFirstReading(benchmark::State& state) {
    const GeneratedSlice slice;
    auto catalog = std::make_shared<DesktopEntryCatalog>(QStringList{});
    for (auto _ : state) {
        const CgroupApplicationUsageReader reader(slice.roots(), 1000, catalog);
        ApplicationUsageAccounting accounting;
        benchmark::DoNotOptimize(accounting.update(reader.read()));
    }
}

} // namespace

BENCHMARK(BM_RecordIntoFullList)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyzeFullList)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAppSlice200Scopes)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_ReadAppSlice200ScopesFirstReading)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
