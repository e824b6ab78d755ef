#include "ResourceCulpritPresentation.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "measurement/MetricFormatting.h"

#include <cmath>

namespace kestrum::ResourceCulpritPresentation {

namespace {

QString percent(double fraction) {
    return QString::number(roundedInteger(fraction * 100));
}

QString caveatText() {
    return trText(
        "Bu, uygulamanın kendi tüketiminin doğrudan ölçümü değildir; arka plandaki bir süreç aynı anda "
        "baskı oluşturabilir.");
}

} // namespace

ConsentRequest consentRequest(double sampleInterval) {
    ConsentRequest request;
    request.title = trText("Kaynak korelasyonu");
    request.subtitle = trText("Ön plandaki uygulama ile sistem baskısını zaman içinde eşleştirir.");
    request.badge = trText("Açık onayın gerekiyor");
    request.explanation = trText(
        "Açık onayınla Kestrum, uygulama ön plandayken sistem genelindeki CPU, bellek, ağ ve termal "
        "baskıyı gözlemler. Aynı uygulama sırasında yüksek değerler tekrarlanırsa gözlenen korelasyonu "
        "gösterir.");
    request.caveat = caveatText();
    request.privacyPoints = {
        trTemplate(
            "Bu özellik açıkken Kestrum, hangi uygulamanın ön planda olduğunu yaklaşık her \\(interval) "
            "saniyede bir sistem yüküyle eşleştirir.",
            {MetricFormatting::number(sampleInterval, sampleInterval == std::floor(sampleInterval) ? 0 : 1)}),
        trText("Yalnızca uygulama adı ve paket kimliği okunur; pencere başlığı, ekran görüntüsü, klavye "
               "girdisi, "
               "dosya içeriği ve gezilen adresler okunmaz."),
        trText("Gözlemler yalnızca bellekte tutulur, sunucuya gönderilmez ve uygulama kapanınca ya da sen "
               "gözlemi "
               "kapatınca silinir."),
        trText("Onay vermesen de canlı sistem ölçümü ve diğer Kestrum özellikleri çalışmaya devam eder."),
    };
    request.button = trText("Açık Onay Ver ve Başlat");
    return request;
}

QString impactLabel(CulpritImpact impact) {
    switch (impact) {
    case CulpritImpact::low:
        return trText("Düşük");
    case CulpritImpact::medium:
        return trText("Orta");
    case CulpritImpact::high:
        break;
    }
    return trText("Yüksek");
}

QString confidenceLabel(CulpritConfidence confidence) {
    switch (confidence) {
    case CulpritConfidence::low:
        return trText("Düşük güven");
    case CulpritConfidence::medium:
        return trText("Orta güven");
    case CulpritConfidence::high:
        break;
    }
    return trText("Yüksek güven");
}

QString leadingSentence(const AppResourceSummary& summary) {
    return trTemplate(
        "\\(name) ön plandayken sistem CPU kullanımı ortalama %\\(average), tepe %\\(peak); ortalama "
        "bellek kullanımı %\\(memory)",
        {summary.application.name, percent(summary.averageCPUUsage), percent(summary.peakCPUUsage),
         percent(summary.averageMemoryUsage)});
}

ActiveObservation activeObservation(const ResourceCulpritAnalysis& analysis) {
    ActiveObservation screen;
    screen.title = trText("Kaynak korelasyonu");
    screen.subtitle = trText("Ön plandaki uygulama ile sistem baskısını zaman içinde eşleştirir.");
    screen.state = trText("Etkinlik gözlemi açık");
    screen.switchOffHint = trText("Uygulama etkinliği gözlemini durdurur ve oturum verisini siler");
    screen.clearButton = trText("Oturum Verisini Temizle");
    screen.clearHint = trText("Yalnızca bu oturumdaki uygulama korelasyonlarını temizler");
    screen.caveat = caveatText();
    screen.isEmpty = analysis.applications.empty();
    if (screen.isEmpty) {
        screen.emptyTitle = trText("Henüz uygulama gözlemi yok");
        screen.emptyDetail =
            trText("Gözlem göstergesi açıkken başka uygulamaları normal şekilde kullan. Kestrum, ön "
                   "plandaki uygulamalar için yalnızca bu oturumda korelasyon oluşturmaya "
                   "başlayacak.");
        return screen;
    }
    if (const auto leading = analysis.leadingCandidate()) {
        screen.leadingTitle = trText("En güçlü gözlenen korelasyon");
        screen.leadingDetail = leadingSentence(*leading);
    } else {
        screen.leadingTitle = trText("Belirgin bir etken yok");
        screen.leadingDetail =
            trText("Yeterli tekrar veya belirgin sistem baskısı oluşmadı. Analiz canlı izleme "
                   "sürdükçe güven kazanacak.");
    }
    screen.tableTitle = trText("Uygulama karşılaştırması");
    screen.columns = {trText("Uygulama"), trText("CPU ort."), trText("CPU tepe"), trText("Bellek"),
                      trText("Sinyal")};
    for (const AppResourceSummary& app : analysis.applications) {
        screen.rows.push_back({app.application.name, MetricFormatting::percentage(app.averageCPUUsage),
                               MetricFormatting::percentage(app.peakCPUUsage),
                               MetricFormatting::percentage(app.averageMemoryUsage),
                               impactLabel(app.impact)});
    }
    return screen;
}

BatterySection batterySection(const BatteryImpactAnalysis& analysis) {
    BatterySection section;
    section.title = trText("Pildeyken ön plandaki uygulamalar");
    section.caveat =
        trText("Uygulama öndeyken sistemin pilden çektiği ortalama güç; uygulamanın kendi tüketimi "
               "değildir, aynı anda çalışan her şeyi içerir.");
    if (analysis.applications.empty())
        section.emptyText = trText("Bu oturumda pille çalışırken gözlem yok.");
    for (const AppBatteryImpactSummary& app : analysis.applications) {
        section.rows.push_back({app.resourceSummary.application.name,
                                app.averageSystemDischargeWatts
                                    ? MetricFormatting::power(app.averageSystemDischargeWatts)
                                    : trText("Güç ölçümü yok"),
                                trTemplate("\\(count) ölçüm", {QString::number(app.powerMeasurementCount)})});
    }
    return section;
}

UsageTable usageTable(const ApplicationUsageReport& report) {
    UsageTable table;
    table.title = trText("Uygulamaların kendi kullanımı");
    table.caption = trText("Çekirdeğin her uygulama için ölçtüğü gerçek tüketim (korelasyon değil): uygulama "
                           "başladığından beri.");
    if (!report.availability.isAvailable()) {
        table.unavailableReason = report.availability.reason;
        return table;
    }
    table.columns = {trText("Uygulama"), trText("CPU süresi"), trText("Son CPU"),
                     trText("Bellek"),   trText("Disk okuma"), trText("Disk yazma")};
    if (report.diskSource == DiskUsageSource::runningProcesses)
        table.diskNote =
            trText("Disk değerleri uygulamanın şu an çalışan süreçlerinin toplamıdır: bu sistem io "
                   "denetleyicisini kullanıcı oturumuna açmıyor.");
    const auto optionalBytes = [](const std::optional<uint64_t>& value) {
        return value ? MetricFormatting::bytes(static_cast<double>(*value))
                     : MetricFormatting::unavailableText();
    };
    for (const ApplicationUsage& app : report.applications) {
        table.rows.push_back(
            {app.name, MetricFormatting::duration(app.cpuTimeSeconds),
             app.recentCPUCores ? MetricFormatting::percentage(*app.recentCPUCores) : QStringLiteral("—"),
             app.memoryBytes ? MetricFormatting::bytes(static_cast<double>(*app.memoryBytes),
                                                       MetricFormatting::ByteCountStyle::memory)
                             : MetricFormatting::unavailableText(),
             optionalBytes(app.diskReadBytes), optionalBytes(app.diskWrittenBytes)});
    }
    return table;
}

} // namespace kestrum::ResourceCulpritPresentation
