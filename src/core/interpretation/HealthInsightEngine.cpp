#include "HealthInsightEngine.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

#include <algorithm>
#include <cmath>

namespace kestrum::HealthInsightEngine {

namespace {

bool isPersonal(const PersonalBaseline& baseline) {
    return baseline.confidence != BaselineConfidence::learning;
}

QString percentText(double fraction) {
    return QString::number(roundedInteger(fraction * 100));
}

QString conditionText(const std::optional<QString>& condition) {
    return condition ? condition->trimmed() : QString();
}

} // namespace

Thresholds thresholds(const PersonalBaseline& baseline) {
    Thresholds t;
    if (isPersonal(baseline) && baseline.highCPUUsage) {
        t.cpu = std::clamp(*baseline.highCPUUsage + 0.15, 0.80, 0.90);
        t.cpuIsPersonal = true;
    }
    if (isPersonal(baseline) && baseline.highMemoryUsage)
        t.memory = std::clamp(*baseline.highMemoryUsage + 0.10, 0.85, 0.95);
    return t;
}

int wifiThreshold(const PersonalBaseline& baseline) {
    if (isPersonal(baseline) && baseline.medianWiFiRSSI && std::isfinite(*baseline.medianWiFiRSSI))
        return static_cast<int>(
            std::clamp<long long>(roundedInteger(*baseline.medianWiFiRSSI) - 15, -72, -60));
    return -72;
}

std::vector<HealthInsight> insights(const SystemSnapshot& snapshot, const PersonalBaseline& baseline) {
    std::vector<HealthInsight> out;
    const Thresholds t = thresholds(baseline);

    switch (snapshot.thermal) {
    case ThermalLevel::fair:
        out.push_back(
            {HealthInsightKind::thermal, HealthLevel::attention, trText("Isıl baskı normalin üzerinde"),
             trText("macOS termal durumu hafif yüksek olarak bildiriyor."),
             trText("Değer yükselirse yoğun uygulamaları gözden geçir."), QStringLiteral("thermal-fair")});
        break;
    case ThermalLevel::serious:
        out.push_back({HealthInsightKind::thermal, HealthLevel::critical, trText("Isıl baskı ciddi"),
                       trText("macOS performansın ısıdan etkilenebileceğini bildiriyor."),
                       trText("Yüksek işlemci kullanan işleri azalt."), QStringLiteral("thermal-serious")});
        break;
    case ThermalLevel::critical:
        out.push_back({HealthInsightKind::thermal, HealthLevel::critical, trText("Isıl baskı kritik"),
                       trText("macOS termal durumu kritik olarak bildiriyor."),
                       trText("Yoğun işleri durdur ve hava akışını açık bırak."),
                       QStringLiteral("thermal-critical")});
        break;
    case ThermalLevel::nominal:
    case ThermalLevel::unavailable:
        break;
    }

    const CPUStats& cpu = snapshot.cpu;
    if (cpu.availability.isAvailable() && std::isfinite(cpu.totalUsage) && cpu.totalUsage >= t.cpu) {
        out.push_back({HealthInsightKind::cpu,
                       cpu.totalUsage >= 0.97 ? HealthLevel::critical : HealthLevel::attention,
                       t.cpuIsPersonal ? trText("İşlemci kullanımı kişisel normalin üzerinde")
                                       : trText("İşlemci kullanım oranı yüksek"),
                       trTemplate("Anlık kullanım %\\(usagePercent); uyarı eşiği %\\(thresholdPercent).",
                                  {percentText(cpu.totalUsage), percentText(t.cpu)}),
                       trText("Yoğun kullanım sürerse en çok işlemci kullanan uygulamaları Etkinlik "
                              "Monitörü’nde kontrol et."),
                       QStringLiteral("cpu-high")});
    }

    const MemoryStats& memory = snapshot.memory;
    if (memory.availability.isAvailable() && memory.totalBytes > 0) {
        const double ratio = clampedUnit(double(memory.usedBytes) / double(memory.totalBytes));
        if (ratio >= t.memory) {
            out.push_back(
                {HealthInsightKind::memory, HealthLevel::attention, trText("Bellek kullanım oranı yüksek"),
                 trTemplate("Anlık kullanım %\\(usagePercent); uyarı eşiği %\\(thresholdPercent).",
                            {percentText(ratio), percentText(t.memory)}),
                 trText("Yüksek kullanım tek başına bellek baskısı veya arıza kanıtı değildir. Yavaşlama da "
                        "varsa "
                        "Etkinlik Monitörü’nde Bellek Baskısı grafiğini ve uygulama kullanımını kontrol et."),
                 QStringLiteral("memory-high")});
        }
    }

    const DiskStats& disk = snapshot.disk;
    if (disk.availability.isAvailable() && disk.totalBytes > 0) {
        const double free = double(disk.availableBytes) / double(disk.totalBytes);
        if (free < 0.15) {
            const bool critical = free < 0.05;
            out.push_back({HealthInsightKind::disk, critical ? HealthLevel::critical : HealthLevel::attention,
                           trText("Başlangıç diskinde boş alan azalıyor"),
                           trTemplate("Kullanılabilir alan %\\(freePercent).", {percentText(free)}),
                           trText("Büyük dosyaları güvenli biçimde gözden geçir; otomatik silme yapma."),
                           critical ? QStringLiteral("disk-critical") : QStringLiteral("disk-low")});
        }
    }

    const BatteryStats& battery = snapshot.battery;
    const QString condition = conditionText(battery.healthCondition);
    if (battery.availability.isAvailable() && battery.isPresent && !condition.isEmpty() &&
        condition.toLower() != u"good" && condition.toLower() != u"normal") {
        out.push_back({HealthInsightKind::battery, HealthLevel::attention,
                       trText("Batarya sağlığı kontrol edilmeli"),
                       trTemplate("macOS batarya durumunu “\\(condition)” olarak bildiriyor.", {condition}),
                       trText("Sistem Ayarları’ndaki Batarya Sağlığı bilgisini doğrula."),
                       QStringLiteral("battery-health")});
    }

    const NetworkStats& network = snapshot.network;
    const int wifi = wifiThreshold(baseline);
    if (network.interfaceKind == NetworkInterfaceKind::wifi && network.wifiRSSI && *network.wifiRSSI < wifi) {
        out.push_back({HealthInsightKind::wifi,
                       *network.wifiRSSI < -82 ? HealthLevel::critical : HealthLevel::attention,
                       trText("Wi-Fi sinyali belirgin biçimde zayıf"),
                       trTemplate("Anlık sinyal \\(rssi) dBm; uyarı eşiği \\(threshold) dBm.",
                                  {QString::number(*network.wifiRSSI), QString::number(wifi)}),
                       trText("Mac’i erişim noktasına yaklaştır veya Ağ Kalite Testi’ni çalıştır."),
                       QStringLiteral("wifi-weak")});
    }

    std::stable_sort(out.begin(), out.end(), [](const HealthInsight& a, const HealthInsight& b) {
        return severityRank(a.level) > severityRank(b.level);
    });
    return out;
}

std::vector<HealthEvent> newEvents(const std::vector<HealthInsight>& insights,
                                   const std::vector<HealthEvent>& existingEvents, Date now,
                                   double cooldownSeconds, const std::function<QUuid()>& idProvider) {
    std::vector<HealthEvent> out;
    for (const HealthInsight& insight : insights) {
        const HealthEvent* latest = nullptr;
        for (const HealthEvent& event : existingEvents) {
            if (event.signature != insight.signature || event.kind != insight.kind || event.timestamp > now)
                continue;
            if (!latest || event.timestamp > latest->timestamp)
                latest = &event; // on equal times the earlier one in the list stays
        }
        if (latest && latest->level == insight.level && now.secondsSince(latest->timestamp) < cooldownSeconds)
            continue;
        out.push_back(HealthEvent{idProvider ? idProvider() : newUuid(), now, insight.kind, insight.level,
                                  insight.title, insight.evidence, insight.recommendation,
                                  insight.signature});
    }
    return out;
}

} // namespace kestrum::HealthInsightEngine
