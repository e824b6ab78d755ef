#include "HealthAssessmentEngine.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"

namespace kestrum::HealthAssessmentEngine {

namespace {

void raise(HealthLevel& level, HealthLevel to) {
    if (severityRank(to) > severityRank(level))
        level = to;
}

} // namespace

HealthAssessment assess(const SystemSnapshot& snapshot) {
    HealthAssessment a;
    HealthLevel level = HealthLevel::normal;
    auto& evaluated = a.coverage.evaluatedSignals;
    auto& unavailable = a.coverage.unavailableSignals;
    const auto finding = [&](HealthLevel to, QString reason, QString recommendation) {
        raise(level, to);
        a.reasons.push_back(std::move(reason));
        a.recommendations.push_back(std::move(recommendation));
    };

    const QString thermal = trText("Termal durum");
    switch (snapshot.thermal) {
    case ThermalLevel::unavailable:
        unavailable.push_back(thermal);
        break;
    case ThermalLevel::nominal:
        evaluated.push_back(thermal);
        break;
    case ThermalLevel::fair:
        evaluated.push_back(thermal);
        finding(HealthLevel::attention, trText("macOS, ısıl baskıyı normalin biraz üzerinde bildiriyor."),
                trText("Isı yükselmeye devam ederse çalışan uygulamaları gözden geçir."));
        break;
    case ThermalLevel::serious:
        evaluated.push_back(thermal);
        finding(HealthLevel::critical, trText("macOS, ısıl baskıyı ciddi olarak bildiriyor."),
                trText("Yüksek işlemci kullanan uygulamaları kontrol et."));
        break;
    case ThermalLevel::critical:
        evaluated.push_back(thermal);
        finding(HealthLevel::critical, trText("macOS, ısıl baskıyı kritik olarak bildiriyor."),
                trText("Yoğun işlemleri durdurup Mac’in hava akışını açık bırak."));
        break;
    }

    const QString memorySignal = trText("Bellek kullanımı");
    const MemoryStats& memory = snapshot.memory;
    if (!memory.availability.isAvailable() || memory.totalBytes == 0) {
        unavailable.push_back(memorySignal);
    } else {
        evaluated.push_back(memorySignal);
        if (clampedUnit(double(memory.usedBytes) / double(memory.totalBytes)) >= 0.95) {
            finding(
                HealthLevel::attention,
                trText("Bellek kullanım oranı %95 veya üzerinde; bu ölçüm macOS Bellek Baskısı değeri "
                       "değildir."),
                trText("Yüksek kullanım tek başına bellek baskısı veya arıza kanıtı değildir. Yavaşlama da "
                       "varsa "
                       "Etkinlik Monitörü’nde Bellek Baskısı grafiğini ve uygulama kullanımını kontrol et."));
        }
    }

    const QString storageSignal = trText("Depolama alanı");
    const DiskStats& disk = snapshot.disk;
    if (!disk.availability.isAvailable() || disk.totalBytes == 0) {
        unavailable.push_back(storageSignal);
    } else {
        evaluated.push_back(storageSignal);
        const double free = double(disk.availableBytes) / double(disk.totalBytes);
        if (free < 0.05) {
            finding(HealthLevel::critical, trText("Başlangıç diskinde %5’ten az boş alan kaldı."),
                    trText("Güvenli biçimde disk alanı aç."));
        } else if (free < 0.15) {
            finding(HealthLevel::attention, trText("Başlangıç diskinde %15’ten az boş alan kaldı."),
                    trText("Disk dolmadan önce büyük dosyaları gözden geçir."));
        }
    }

    const QString batterySignal = trText("Batarya sağlığı");
    const BatteryStats& battery = snapshot.battery;
    if (!battery.availability.isAvailable()) {
        unavailable.push_back(batterySignal);
    } else if (battery.isPresent) {
        const QString condition = battery.healthCondition ? battery.healthCondition->trimmed() : QString();
        if (condition.isEmpty()) {
            unavailable.push_back(batterySignal);
        } else {
            evaluated.push_back(batterySignal);
            const QString lower = condition.toLower();
            if (lower != u"good" && lower != u"normal") {
                finding(HealthLevel::attention,
                        trTemplate("macOS batarya durumunu “\\(condition)” olarak bildiriyor.", {condition}),
                        trText("Batarya ayrıntılarını Sistem Ayarları’ndan doğrula."));
            }
        }
    }

    if (evaluated.empty()) {
        a.level = HealthLevel::unavailable;
        a.title = trText("Sağlık durumu belirlenemedi");
        a.reasons = {trText("Değerlendirme için gerekli sistem verileri okunamadı.")};
        a.recommendations = {trText("Bir sonraki ölçümü bekle veya canlı izlemeyi yeniden başlat.")};
        a.confidence = HealthAssessmentConfidence::low;
        return a;
    }
    if (a.reasons.empty()) {
        a.reasons.push_back(
            !unavailable.empty()
                ? trText("Okunabilen temel sistem göstergelerinde belirgin bir sorun görülmedi.")
                : trText("Değerlendirilen temel sistem göstergeleri normal aralıkta."));
    }
    a.level = level;
    switch (level) {
    case HealthLevel::critical:
        a.title = trText("Hemen dikkat etmen gereken bir durum var");
        break;
    case HealthLevel::attention:
        a.title = trText("Kontrol edilmesi gereken noktalar var");
        break;
    default:
        a.title = !unavailable.empty() ? trText("Okunabilen sinyaller normal")
                                       : trText("Temel sağlık sinyalleri normal");
        break;
    }
    if (unavailable.empty() && evaluated.size() >= 3)
        a.confidence = HealthAssessmentConfidence::high;
    else if (evaluated.size() == 1)
        a.confidence = HealthAssessmentConfidence::low;
    else
        a.confidence = HealthAssessmentConfidence::medium;
    return a;
}

} // namespace kestrum::HealthAssessmentEngine
