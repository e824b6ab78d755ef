// The archive cycle the monitor runs about once a minute: load + compact + save of a full-size archive
// (30 days at one sample a minute after compaction, full result lists), and the seven-day baseline.

#include "FullSizeArchive.h"
#include "foundation/Uuid.h"
#include "healthtests/CPUBenchmarkScoreEngine.h"
#include "healthtests/DeepHealthTestScoreEngine.h"
#include "history/FileHealthArchiveRepository.h"
#include "history/HealthArchiveCompaction.h"
#include "interpretation/PersonalBaselineEngine.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

const Date kNow = Date::now();

void BM_ArchiveLoadCompactSave(benchmark::State& state) {
    QTemporaryDir dir;
    FileHealthArchiveRepository repository(dir.path() + QStringLiteral("/health-archive.json"));
    repository.saveNow(bench::fullSizeArchive(kNow));
    for (auto _ : state) {
        HealthArchive archive = repository.loadNow();
        archive = HealthArchiveCompaction::compacted(archive, Date::now());
        repository.saveNow(archive);
    }
    state.counters["samples"] = double(repository.loadNow().samples.size());
}

void BM_ArchiveSaveOnly(benchmark::State& state) {
    QTemporaryDir dir;
    FileHealthArchiveRepository repository(dir.path() + QStringLiteral("/health-archive.json"));
    const HealthArchive archive = bench::fullSizeArchive(kNow);
    for (auto _ : state)
        repository.saveNow(HealthArchiveCompaction::compacted(archive, Date::now()));
}

void BM_BaselineSevenDays(benchmark::State& state) {
    const HealthArchive archive = bench::fullSizeArchive(kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(PersonalBaselineEngine::makeBaseline(
            archive.samples, kNow, PersonalBaselineEngine::kLookbackSeconds));
}

} // namespace

BENCHMARK(BM_ArchiveLoadCompactSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveSaveOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineSevenDays)->Unit(benchmark::kMillisecond);

namespace {
void BM_EncodeOnly(benchmark::State& state) {
    const HealthArchive archive = bench::fullSizeArchive(kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeHealthArchive(archive));
}
void BM_DecodeOnly(benchmark::State& state) {
    const QByteArray bytes = encodeHealthArchive(bench::fullSizeArchive(kNow));
    state.counters["bytes"] = bytes.size();
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeHealthArchive(bytes));
}
void BM_CompactOnly(benchmark::State& state) {
    const HealthArchive archive = bench::fullSizeArchive(kNow);
    for (auto _ : state)
        benchmark::DoNotOptimize(HealthArchiveCompaction::compacted(archive, Date::now()));
}
} // namespace
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactOnly)->Unit(benchmark::kMillisecond);
