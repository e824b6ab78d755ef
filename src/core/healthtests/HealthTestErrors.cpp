#include "HealthTestErrors.h"

#include "foundation/Translatable.h"
#include "measurement/MetricFormatting.h"
#include "monitor/OperationDescription.h"

namespace kestrum {

namespace QuickHealthTestError {

KestrumError unsafeThermalState(ThermalLevel level) {
    return KestrumError(QStringLiteral("unsafeThermalState"),
                        trTemplate("Termal durum \\(level) seviyesine ulaştığı için test güvenli biçimde "
                                   "durduruldu. Mac’in soğumasını bekleyip yeniden deneyin.",
                                   {thermalLevelTitle(level)}));
}

KestrumError invalidWorkloadResult(const QString& workloadName) {
    return KestrumError(QStringLiteral("invalidWorkloadResult"),
                        trTemplate("\\(workload) ölçümü geçerli bir sonuç üretmedi.", {workloadName}));
}

KestrumError deepTestInsufficientStorage(uint64_t requiredBytes) {
    return KestrumError(
        QStringLiteral("deepTestInsufficientStorage"),
        trTemplate("Derin test için en az \\(bytes) boş alan gerekiyor.",
                   {MetricFormatting::bytes(double(requiredBytes), MetricFormatting::ByteCountStyle::file)}));
}

KestrumError measurementRequired() {
    return KestrumError(QStringLiteral("measurementRequired"),
                        trText("Testten önce güncel bir sistem ölçümü gerekiyor."));
}

KestrumError deepTestThermalUnavailable() {
    return KestrumError(QStringLiteral("deepTestThermalUnavailable"),
                        trText("Derin test için macOS termal durumunun okunabilmesi gerekiyor. Termal izleme "
                               "kullanılamıyorken yoğun test başlatılmadı."));
}

KestrumError deepTestStorageUnavailable() {
    return KestrumError(QStringLiteral("deepTestStorageUnavailable"),
                        trText("Derin testten önce kullanılabilir depolama alanı okunmalıdır."));
}

QString processorWorkloadName() {
    return trText("İşlemci");
}
QString memoryWorkloadName() {
    return trText("Bellek");
}
QString storageWriteWorkloadName() {
    return trText("Depolama yazma");
}
QString storageReadWorkloadName() {
    return trText("Depolama okuma");
}
QString storageWorkloadName() {
    return trText("Depolama");
}

} // namespace QuickHealthTestError

namespace CPUBenchmarkError {

KestrumError unsafeThermalState(ThermalLevel level) {
    return KestrumError(QStringLiteral("unsafeThermalState"),
                        trTemplate("Termal durum \\(level) olduğu için benchmark güvenli biçimde durduruldu.",
                                   {thermalLevelTitle(level)}));
}

KestrumError measurementRequired() {
    return KestrumError(QStringLiteral("measurementRequired"),
                        trText("Benchmark başlamadan önce güncel sistem ölçümü gerekiyor."));
}

KestrumError thermalUnavailable() {
    return KestrumError(QStringLiteral("thermalUnavailable"),
                        trText("Güvenli benchmark için macOS termal durumunun okunabilmesi gerekiyor."));
}

KestrumError lowBattery() {
    return KestrumError(QStringLiteral("lowBattery"),
                        trText("Batarya %20’nin altında. Benchmark için Mac’i güç adaptörüne bağlayın."));
}

KestrumError invalidWorkloadResult() {
    return KestrumError(QStringLiteral("invalidWorkloadResult"),
                        trText("CPU benchmark geçerli ve tekrarlanabilir bir sonuç üretemedi."));
}

} // namespace CPUBenchmarkError

QString thermalProtectionUnavailableWarning() {
    return trText("Bu makine termal durum bilgisi sunmadığı için test sırasında termal koruma yapılamadı.");
}

} // namespace kestrum
