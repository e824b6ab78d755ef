#include "OperationDescription.h"

#include "foundation/Translatable.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kestrum {

namespace {

using Op = UserOperation;
using Check = StartCheck;

QString deepTestThermalRefusal(ThermalLevel level) {
    if (level == ThermalLevel::unavailable)
        return trText("Derin test için macOS termal durumunun okunabilmesi gerekiyor. Termal izleme "
                      "kullanılamıyorken yoğun test başlatılmadı.");
    return trTemplate("Termal durum \\(level) seviyesine ulaştığı için test güvenli biçimde durduruldu. "
                      "Mac’in soğumasını bekleyip yeniden deneyin.",
                      {thermalLevelTitle(level)});
}

QString benchmarkThermalRefusal(ThermalLevel level) {
    if (level == ThermalLevel::unavailable)
        return trText("Güvenli benchmark için macOS termal durumunun okunabilmesi gerekiyor.");
    return trTemplate("Termal durum \\(level) olduğu için benchmark güvenli biçimde durduruldu.",
                      {thermalLevelTitle(level)});
}

const std::array<OperationDescription, 6>& descriptions() {
    static const std::array<OperationDescription, 6> table = {{
        {Op::networkQuality,
         false,
         false,
         std::nullopt,
         {Check::conflicts, Check::network},
         nullptr,
         nullptr,
         nullptr,
         TR_MARK("Ağ kalite testi iptal edildi.")},
        {Op::networkSpeed,
         false,
         false,
         std::nullopt,
         {Check::conflicts, Check::network},
         nullptr,
         nullptr,
         nullptr,
         TR_MARK("İnternet hız testi iptal edildi.")},
        {Op::quickHealthTest,
         true,
         false,
         std::nullopt,
         {Check::conflicts, Check::measurementRequired},
         nullptr,
         nullptr,
         nullptr,
         TR_MARK("Hızlı sağlık testi iptal edildi.")},
        {Op::deepHealthTest,
         true,
         true,
         470.0,
         {Check::conflicts, Check::cooldown, Check::measurementRequired, Check::lowBattery,
          Check::thermalGate},
         nullptr,
         TR_MARK("Batarya %20’nin altında. Prize bağlayın veya düşük batarya uyarısında devam etmeyi seçin."),
         deepTestThermalRefusal,
         TR_MARK("Derin sağlık testi iptal edildi.")},
        {Op::cpuBenchmark,
         true,
         false,
         std::nullopt,
         {Check::conflicts, Check::measurementRequired, Check::thermalGate, Check::lowBattery},
         TR_MARK("Başka bir test çalışıyor. CPU benchmark’ı test tamamlandıktan sonra başlatın."),
         TR_MARK("Batarya %20’nin altında. Benchmark için Mac’i güç adaptörüne bağlayın."),
         benchmarkThermalRefusal,
         TR_MARK("CPU benchmark iptal edildi.")},
        {Op::fullSystemScan,
         true,
         true,
         545.0,
         {Check::conflicts, Check::cooldown, Check::lowBattery},
         TR_MARK("Başka bir test çalışıyor. Tam Tarama’yı test tamamlandıktan sonra başlat."),
         TR_MARK("Batarya %20’nin altında. Prize bağla veya düşük batarya uyarısında devam etmeyi seç."),
         nullptr,
         TR_MARK("Tam Tarama iptal edildi. Tamamlanmayan tarama geçmişe kaydedilmedi.")},
    }};
    return table;
}

constexpr OperationConflict kConflicts[] = {
    {Op::networkSpeed, Op::fullSystemScan, TR_MARK("Tam Tarama sırasında ayrı bir hız testi başlatılamaz.")},
    {Op::networkSpeed, Op::cpuBenchmark, TR_MARK("CPU benchmark çalışırken hız testi başlatılamaz.")},
    {Op::networkSpeed, Op::networkQuality, TR_MARK("Ağ kalite testi çalışırken hız testi başlatılamaz.")},
    {Op::networkQuality, Op::fullSystemScan, TR_MARK("Tam Tarama sırasında ayrı bir ağ testi başlatılamaz.")},
    {Op::networkQuality, Op::cpuBenchmark, TR_MARK("CPU benchmark çalışırken ağ testi başlatılamaz.")},
    {Op::networkQuality, Op::networkSpeed, TR_MARK("İnternet hız testi çalışırken ağ testi başlatılamaz.")},
    {Op::quickHealthTest, Op::fullSystemScan,
     TR_MARK("Tam Tarama sırasında ayrı bir sağlık testi başlatılamaz.")},
    {Op::quickHealthTest, Op::deepHealthTest, TR_MARK("Derin test çalışırken hızlı test başlatılamaz.")},
    {Op::quickHealthTest, Op::cpuBenchmark, TR_MARK("CPU benchmark çalışırken sağlık testi başlatılamaz.")},
    {Op::deepHealthTest, Op::fullSystemScan,
     TR_MARK("Tam Tarama sırasında ayrı bir derin test başlatılamaz.")},
    {Op::deepHealthTest, Op::quickHealthTest, TR_MARK("Hızlı test çalışırken derin test başlatılamaz.")},
    {Op::deepHealthTest, Op::cpuBenchmark, TR_MARK("CPU benchmark çalışırken derin test başlatılamaz.")},
};

} // namespace

bool OperationDescription::checksLowBattery() const {
    return std::find(checks.begin(), checks.end(), StartCheck::lowBattery) != checks.end();
}

bool OperationDescription::isThermalGated() const {
    return std::find(checks.begin(), checks.end(), StartCheck::thermalGate) != checks.end();
}

const OperationDescription& OperationDescription::of(UserOperation operation) {
    for (const OperationDescription& description : descriptions()) {
        if (description.operation == operation)
            return description;
    }
    Q_UNREACHABLE();
}

std::span<const OperationConflict> operationConflicts() {
    return kConflicts;
}

QString cooldownRefusal(double remainingSeconds) {
    return trTemplate("Mac’in soğuması için yaklaşık \\(minutes) dakika sonra yeniden deneyin.",
                      {QString::number(static_cast<long long>(std::ceil(remainingSeconds / 60.0)))});
}

QString thermalLevelTitle(ThermalLevel level) {
    // The titles of the levels, in lower case as the refusals use them.
    static const char* const titles[] = {TR_MARK("normal"), TR_MARK("hafif yüksek"), TR_MARK("ciddi"),
                                         TR_MARK("kritik"), TR_MARK("kullanılamıyor")};
    return QString::fromUtf8(titles[declarationIndex(level)]);
}

} // namespace kestrum
