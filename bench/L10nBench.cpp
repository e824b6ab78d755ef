// The lookup runs on every label of every redraw: a table hit, a pattern match, a miss, and a long report.

#include "localisation/L10nEngine.h"

#include <benchmark/benchmark.h>

using namespace kestrum;

namespace {

// What a machine that is not a Mac shows: the English table or none, with the overlays.
const L10nEngine& english() {
    static const L10nEngine engine(true, bundledDisplayTable(true, false));
    return engine;
}

const L10nEngine& turkish() {
    static const L10nEngine engine(false, bundledDisplayTable(false, false));
    return engine;
}

void BM_Hit(benchmark::State& state) {
    const QString key = QStringLiteral("Toplam kullanım");
    for (auto _ : state)
        benchmark::DoNotOptimize(english().string(key));
}

void BM_PatternMatchFirstTime(benchmark::State& state) {
    // A different text each time, so the result cache cannot answer.
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            english().string(QStringLiteral("Anlık kullanım %%1; uyarı eşiği %90.").arg(++i % 100000)));
}

void BM_PatternMatchRepeated(benchmark::State& state) {
    const QString key = QStringLiteral("Anlık kullanım %93; uyarı eşiği %90.");
    for (auto _ : state)
        benchmark::DoNotOptimize(english().string(key));
}

void BM_MissFirstTime(benchmark::State& state) {
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            english().string(QStringLiteral("Tabloda olmayan bir metin %1").arg(++i % 100000)));
}

void BM_TurkishWithoutOverlay(benchmark::State& state) {
    static const L10nEngine plain(false, nullptr);
    const QString key = QStringLiteral("Toplam kullanım");
    for (auto _ : state)
        benchmark::DoNotOptimize(plain.string(key));
}

// Most Turkish texts are shown as written: a miss of the overlay, answered again and again.
void BM_TurkishOverlayMissRepeated(benchmark::State& state) {
    const QString key = QStringLiteral("Toplam kullanım");
    for (auto _ : state)
        benchmark::DoNotOptimize(turkish().string(key));
}

void BM_TurkishOverlayMissFirstTime(benchmark::State& state) {
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            turkish().string(QStringLiteral("Anlık kullanım %%1; uyarı eşiği %90.").arg(++i % 100000)));
}

void BM_TurkishOverlayHit(benchmark::State& state) {
    const QString key = QStringLiteral("Önemli sağlık uyarıları için Mac bildirimleri açıldı.");
    for (auto _ : state)
        benchmark::DoNotOptimize(turkish().string(key));
}

void BM_LongReport(benchmark::State& state) {
    QString report;
    for (int i = 0; i < 40; ++i) {
        report += QStringLiteral("# Bölüm %1\n").arg(i);
        report += QStringLiteral("İşlemci kullanım oranı yüksek\nAnlık kullanım %93; uyarı eşiği %90.\n");
        report += QStringLiteral("- Kullanılabilir alan %12. Büyük dosyaları güvenli biçimde gözden geçir; "
                                 "otomatik silme yapma.\n");
        report += QStringLiteral("- İndirme 1.234,5 MB/sn, gecikme 12 ms, süre 3 dk\n\n");
    }
    state.counters["lines"] = double(report.count(u'\n'));
    for (auto _ : state)
        benchmark::DoNotOptimize(english().report(report));
}

} // namespace

BENCHMARK(BM_Hit);
BENCHMARK(BM_PatternMatchRepeated);
BENCHMARK(BM_PatternMatchFirstTime)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MissFirstTime)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TurkishWithoutOverlay);
BENCHMARK(BM_TurkishOverlayMissRepeated);
BENCHMARK(BM_TurkishOverlayMissFirstTime)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TurkishOverlayHit);
BENCHMARK(BM_LongReport)->Unit(benchmark::kMillisecond);
