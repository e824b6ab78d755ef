#include "HardwareEvidence.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "measurement/MetricFormatting.h"

namespace kestrum::HardwareEvidence {

namespace {

QString capacityText(double value, const QString& unit) {
    return MetricFormatting::number(value, unit == u"Wh" ? 1 : 0) + u' ' + unit;
}

} // namespace

std::vector<QString> storageLines(const StorageHealth& health) {
    std::vector<QString> lines;
    if (health.failurePredicted) {
        lines.push_back(*health.failurePredicted
                            ? trText("Sürücü kendi SMART değerlendirmesinde arıza öngörüyor.")
                            : trText("Sürücünün kendi SMART değerlendirmesi arıza öngörmüyor."));
    }
    if (health.percentageUsed) {
        lines.push_back(trTemplate("Sürücünün bildirdiği dayanıklılık kullanımı: %\\(percent)",
                                   {QString::number(*health.percentageUsed)}));
    }
    if (health.mediaErrors) {
        lines.push_back(trTemplate("Ortam ve veri bütünlüğü hataları: \\(count)",
                                   {QString::number(*health.mediaErrors)}));
    }
    if (health.badSectors) {
        lines.push_back(trTemplate("Yeniden atanmış veya bekleyen hatalı sektör: \\(count)",
                                   {QString::number(*health.badSectors)}));
    }
    if (health.powerOnHours) {
        lines.push_back(trTemplate("Çalışma süresi: \\(hours) saat",
                                   {QString::number(roundedInteger(*health.powerOnHours))}));
    }
    if (health.temperatureCelsius) {
        lines.push_back(trTemplate("Sürücü sıcaklığı: \\(temperature)",
                                   {MetricFormatting::temperature(health.temperatureCelsius)}));
    }
    if (health.unavailableReason)
        lines.push_back(trTemplate("SMART verisi okunamadı: \\(reason)", {*health.unavailableReason}));
    else if (lines.empty())
        lines.push_back(trText("Depolama sağlık verisi okunamadı."));
    return lines;
}

std::vector<QString> batteryLines(const BatteryServiceInfo& info) {
    std::vector<QString> lines;
    lines.push_back(info.cycleCount
                        ? trTemplate("Şarj döngüsü sayısı: \\(count)", {QString::number(*info.cycleCount)})
                        : trText("Şarj döngüsü sayısı batarya sürücüsü tarafından sunulmuyor."));
    if (const auto fraction = info.capacityFraction()) {
        lines.push_back(
            trTemplate("Tam şarj kapasitesi / tasarım kapasitesi: %\\(percent) (\\(full) / \\(design))",
                       {QString::number(roundedInteger(*fraction * 100.0)),
                        capacityText(*info.fullChargeCapacity, info.capacityUnit),
                        capacityText(*info.designCapacity, info.capacityUnit)}));
    } else if (info.designCapacity) {
        lines.push_back(trTemplate("Tasarım kapasitesi: \\(design)",
                                   {capacityText(*info.designCapacity, info.capacityUnit)}));
    } else {
        lines.push_back(trText("Tasarım kapasitesi batarya sürücüsü tarafından sunulmuyor."));
    }
    return lines;
}

} // namespace kestrum::HardwareEvidence
