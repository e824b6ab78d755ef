#include "HealthTestTitles.h"

#include "foundation/Translatable.h"

namespace kestrum::HealthTestTitles {

QString title(HealthTestPhase phase) {
    switch (phase) {
    case HealthTestPhase::preparing:
        return trText("Hazırlanıyor");
    case HealthTestPhase::cpuFirstPass:
        return trText("İşlemci yükü, ilk geçiş");
    case HealthTestPhase::graphics:
        return trText("Grafik hesaplama");
    case HealthTestPhase::storage:
        return trText("Depolama yazma ve okuma");
    case HealthTestPhase::cpuSecondPass:
        return trText("İşlemci yükü, ikinci geçiş");
    case HealthTestPhase::analyzing:
        break;
    }
    return trText("Sonuçlar değerlendiriliyor");
}

QString title(DeepHealthTestPhase phase) {
    switch (phase) {
    case DeepHealthTestPhase::preparing:
        return trText("Hazırlanıyor");
    case DeepHealthTestPhase::sustainedCPU:
        return trText("Sürekli işlemci yükü");
    case DeepHealthTestPhase::sustainedGPU:
        return trText("Sürekli grafik yükü");
    case DeepHealthTestPhase::memory:
        return trText("Bellek aktarımı");
    case DeepHealthTestPhase::storage:
        return trText("Depolama akışı");
    case DeepHealthTestPhase::coolingObservation:
        return trText("Soğuma gözlemi");
    case DeepHealthTestPhase::analyzing:
        break;
    }
    return trText("Sonuçlar değerlendiriliyor");
}

QString title(CPUBenchmarkPhase phase) {
    switch (phase) {
    case CPUBenchmarkPhase::preparing:
        return trText("Hazırlanıyor");
    case CPUBenchmarkPhase::warmingUp:
        return trText("Isınma");
    case CPUBenchmarkPhase::singleCore:
        return trText("Tek çekirdek");
    case CPUBenchmarkPhase::multiCore:
        return trText("Çok çekirdek");
    case CPUBenchmarkPhase::analyzing:
        break;
    }
    return trText("Sonuçlar değerlendiriliyor");
}

QString title(HealthTestComponentKind kind) {
    switch (kind) {
    case HealthTestComponentKind::battery:
        return trText("Batarya");
    case HealthTestComponentKind::thermal:
        return trText("Termal");
    case HealthTestComponentKind::memory:
        return trText("Bellek");
    case HealthTestComponentKind::storage:
        return trText("Depolama");
    case HealthTestComponentKind::stability:
        break;
    }
    return trText("Kararlılık");
}

QString title(HealthTestConfidence confidence) {
    switch (confidence) {
    case HealthTestConfidence::low:
        return trText("Düşük güven");
    case HealthTestConfidence::medium:
        return trText("Orta güven");
    case HealthTestConfidence::high:
        break;
    }
    return trText("Yüksek güven");
}

QString title(CPUBenchmarkMode mode) {
    return mode == CPUBenchmarkMode::quick ? trText("Hızlı") : trText("Standart");
}

} // namespace kestrum::HealthTestTitles
