// Treemap layout of 100,000 items.

#include "storage/FileSystemStorageMapScanner.h"
#include "storage/StorageTreemapLayout.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

void BM_TreemapLayout(benchmark::State& state) {
    std::vector<StorageMapItem> items;
    for (int64_t i = 0; i < state.range(0); ++i) {
        const QString name = QStringLiteral("item%1").arg(i);
        items.push_back({name, name, static_cast<uint64_t>(1 + (i * 7919) % 1'000'000), 1});
    }
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.allocatedBytes > b.allocatedBytes; });
    for (auto _ : state)
        benchmark::DoNotOptimize(StorageTreemapLayout::tiles(items));
}

} // namespace

BENCHMARK(BM_TreemapLayout)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

namespace {
// A full scan of the tree in $KESTRUM_SCAN_BENCH_TREE (skipped when unset), per thread count, with the
// file limit in $KESTRUM_SCAN_BENCH_LIMIT (default 500,000). Counters: files counted, status reads of
// files and directory listings of the last scan.
void BM_ScanTree(benchmark::State& state) {
    const QString tree = qEnvironmentVariable("KESTRUM_SCAN_BENCH_TREE");
    if (tree.isEmpty()) {
        state.SkipWithError("set KESTRUM_SCAN_BENCH_TREE to a folder");
        return;
    }
    bool ok = false;
    int64_t limit = qEnvironmentVariable("KESTRUM_SCAN_BENCH_LIMIT").toLongLong(&ok);
    if (!ok || limit <= 0)
        limit = kestrum::FileSystemStorageMapScanner::kDefaultMaximumFileCount;
    kestrum::FileSystemStorageMapScanner scanner(limit, static_cast<int>(state.range(0)));
    int64_t files = 0;
    for (auto _ : state)
        files = scanner.scan(tree, std::stop_token{}).fileCount;
    const auto work = scanner.lastWork();
    state.counters["files"] = static_cast<double>(files);
    state.counters["fileStatusReads"] = static_cast<double>(work.fileStatusReads);
    state.counters["listings"] = static_cast<double>(work.directoriesRead);
    state.counters["limitPass"] = work.limitPassRan ? 1 : 0;
}
} // namespace
BENCHMARK(BM_ScanTree)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
