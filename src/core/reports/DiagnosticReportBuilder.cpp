#include "DiagnosticReportBuilder.h"

#include "ReportFormatting.h"
#include "foundation/EnumTraits.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/SnapshotPresentation.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

using namespace ReportFormatting;

QString levelText(HealthLevel level) {
    switch (level) {
    case HealthLevel::normal:
        return trText("Normal");
    case HealthLevel::attention:
        return trText("Dikkat");
    case HealthLevel::critical:
        return trText("Kritik");
    case HealthLevel::unavailable:
        break;
    }
    return trText("Bilinmiyor");
}

QString confidenceText(HealthAssessmentConfidence confidence) {
    switch (confidence) {
    case HealthAssessmentConfidence::low:
        return trText("Sınırlı güven");
    case HealthAssessmentConfidence::medium:
        return trText("Orta güven");
    case HealthAssessmentConfidence::high:
        break;
    }
    return trText("Yüksek güven");
}

QString interfaceText(NetworkInterfaceKind kind) {
    return rawValue(kind); // the raw value is the label
}

QString baselineConfidenceText(BaselineConfidence confidence) {
    switch (confidence) {
    case BaselineConfidence::learning:
        return trText("Öğreniyor");
    case BaselineConfidence::early:
        return trText("İlk kişisel normal hazır");
    case BaselineConfidence::established:
        break;
    }
    return trText("Kişisel normal güvenilir");
}

QString qualityText(NetworkQualityLevel level) {
    switch (level) {
    case NetworkQualityLevel::excellent:
        return trText("Çok iyi");
    case NetworkQualityLevel::good:
        return trText("İyi");
    case NetworkQualityLevel::fair:
        return trText("Orta");
    case NetworkQualityLevel::poor:
        break;
    }
    return trText("Zayıf");
}

// used / total within 0…1; absent without a total.
std::optional<double> clampedShare(double part, double total) {
    if (!(total > 0) || !std::isfinite(part) || !std::isfinite(total))
        return std::nullopt;
    return std::clamp(part / total, 0.0, 1.0);
}

// Each section after the title: an empty line, its heading, another empty line.
void section(QStringList& lines, const QString& heading) {
    lines << QString() << heading << QString();
}

} // namespace

QString DiagnosticReportBuilder::build(const SystemSnapshot& snapshot, const HealthAssessment& assessment,
                                       const PersonalBaseline& baseline,
                                       const std::vector<HealthEvent>& events,
                                       const std::optional<IncidentSession>& incident,
                                       const std::optional<NetworkQualityResult>& networkQualityResult,
                                       Date generatedAt) const {
    // What the snapshot itself knows about the network identifies it: never printed, and hidden
    // wherever another input repeats it.
    QStringList hiddenWords = privateWords;
    const auto hide = [&hiddenWords](const std::optional<QString>& word) {
        if (word && !word->trimmed().isEmpty())
            hiddenWords << *word;
    };
    const WiFiConnectionDetails& wifi = snapshot.network.wifiConnectionDetails;
    hide(wifi.networkName);
    hide(wifi.accessPointIdentifier);
    const NetworkConnectionDetails& connection = snapshot.network.connectionDetails;
    hide(connection.localIPv4Address);
    hide(connection.localIPv6Address);
    hide(connection.routerIPv4Address);
    hide(connection.routerIPv6Address);
    for (const QString& server : connection.dnsServerAddresses)
        hide(server);
    const auto clean = [&hiddenWords](const QString& text) { return redacted(text, hiddenWords); };
    const auto joined = [&clean](const std::vector<QString>& items) {
        QStringList list;
        for (const QString& item : items)
            list << clean(item);
        return list.join(QStringLiteral(", "));
    };

    QStringList lines;
    lines << trText("# Kestrum Cihaz Sağlığı Raporu") << QString();
    lines << trTemplate("- Oluşturulma: \\(time)", {time(generatedAt)});
    const QString version = clean(operatingSystemVersion.trimmed());
    lines << trTemplate("- macOS: \\(version)", {version.isEmpty() ? trText("Kullanılamıyor") : version});
    lines << trText("- Gizlilik: Kullanıcı adı, seri numarası, Wi-Fi ağ adı, IP adresi ve dosya yolları bu "
                    "rapora eklenmez.");

    section(lines, trText("## Sağlık Özeti"));
    const auto& coverage = assessment.coverage;
    lines << trTemplate("- Durum: \\(level)", {levelText(assessment.level)});
    lines << trTemplate("- Açıklama: \\(title)", {clean(assessment.title)});
    lines << trTemplate("- Sonuç güveni: \\(confidence)", {confidenceText(assessment.confidence)});
    lines << trTemplate(
        "- Ölçüm kapsamı: \\(evaluated)/\\(total)",
        {QString::number(coverage.evaluatedSignals.size()),
         QString::number(coverage.evaluatedSignals.size() + coverage.unavailableSignals.size())});
    lines << trTemplate("- Değerlendirilen sinyaller: \\(signals)", {joined(coverage.evaluatedSignals)});
    lines << trTemplate(
        "- Alınamayan sinyaller: \\(signals)",
        {coverage.unavailableSignals.empty() ? trText("Yok") : joined(coverage.unavailableSignals)});
    for (const QString& reason : assessment.reasons)
        lines << trTemplate("- Kanıt: \\(reason)", {clean(reason)});
    for (const QString& recommendation : assessment.recommendations)
        lines << trTemplate("- Öneri: \\(recommendation)", {clean(recommendation)});

    section(lines, trText("## Anlık Göstergeler"));
    lines << trTemplate("- Ölçüm zamanı: \\(time)", {time(snapshot.timestamp)});
    lines << trTemplate("- CPU: \\(value)", {percentage(snapshot.cpu.availability.isAvailable()
                                                            ? std::optional<double>(snapshot.cpu.totalUsage)
                                                            : std::nullopt)});
    const MemoryStats& memory = snapshot.memory;
    lines << trTemplate("- Bellek: \\(value)",
                        {percentage(memory.availability.isAvailable()
                                        ? clampedShare(double(memory.usedBytes), double(memory.totalBytes))
                                        : std::nullopt)});
    const BatteryStats& battery = snapshot.battery;
    lines << trTemplate(
        "- Batarya: \\(value)",
        {percentage(battery.availability.isAvailable() ? battery.chargeFraction : std::nullopt)});
    const DiskStats& disk = snapshot.disk;
    std::optional<double> diskUsage;
    if (disk.availability.isAvailable() && disk.totalBytes > 0) {
        const double available = double(std::min(disk.availableBytes, disk.totalBytes));
        diskUsage = clampedShare(double(disk.totalBytes) - available, double(disk.totalBytes));
    }
    lines << trTemplate("- Disk kullanımı: \\(value)", {percentage(diskUsage)});
    lines << trTemplate("- Termal durum: \\(value)",
                        {SnapshotPresentation::thermalLevelText(snapshot.thermal)});
    const NetworkStats& network = snapshot.network;
    lines << trTemplate("- Ağ arayüzü: \\(value)", {interfaceText(network.interfaceKind)});
    const bool traffic = network.trafficAvailability.isAvailable();
    lines << trTemplate(
        "- İndirme: \\(value)",
        {rate(traffic ? std::optional<double>(network.downloadBytesPerSecond) : std::nullopt)});
    lines << trTemplate("- Yükleme: \\(value)",
                        {rate(traffic ? std::optional<double>(network.uploadBytesPerSecond) : std::nullopt)});
    lines << trTemplate("- Wi-Fi sinyali: \\(value)",
                        {signal(network.wifiRSSI ? std::optional<double>(*network.wifiRSSI) : std::nullopt)});

    section(lines, trText("## Kişisel Normal"));
    lines << trTemplate("- Güven: \\(confidence)", {baselineConfidenceText(baseline.confidence)});
    lines << trTemplate("- Geçerli örnek: \\(count)", {QString::number(baseline.sampleCount)});
    lines << trTemplate("- Gözlenen gün: \\(count)", {QString::number(baseline.observedDayCount)});
    lines << trTemplate("- Medyan CPU: \\(value)", {percentage(baseline.medianCPUUsage)});
    lines << trTemplate("- Yüksek CPU sınırı: \\(value)", {percentage(baseline.highCPUUsage)});
    lines << trTemplate("- Medyan bellek: \\(value)", {percentage(baseline.medianMemoryUsage)});
    lines << trTemplate("- Medyan Wi-Fi sinyali: \\(value)", {signal(baseline.medianWiFiRSSI)});
    lines << trTemplate("- Medyan batarya tüketimi: \\(value)",
                        {batteryDrain(baseline.medianBatteryDrainPerHour)});

    if (networkQualityResult) {
        const NetworkQualityResult& result = *networkQualityResult;
        section(lines, trText("## Son Ağ Kalite Testi"));
        lines << trTemplate("- Test zamanı: \\(time)", {time(result.timestamp)});
        lines << trTemplate("- Sonuç: \\(quality)", {qualityText(result.quality)});
        lines << trTemplate("- DNS çözüm denemesi: \\(value)",
                            {milliseconds(result.dnsResolutionMilliseconds)});
        lines << trTemplate("- Ortanca yanıt: \\(value)", {milliseconds(result.medianResponseMilliseconds)});
        lines << trTemplate("- Gecikme değişkenliği: \\(value)", {milliseconds(result.jitterMilliseconds)});
        lines << trTemplate(
            "- Başarılı deneme: \\(successful)/\\(attempted)",
            {QString::number(result.successfulProbes), QString::number(result.attemptedProbes)});
        lines << trText("- Not: Başarılı deneme oranı gerçek fiziksel paket kaybı ölçümü değildir.");
    }

    if (incident) {
        section(lines, trText("## Olay Zaman Aralığı"));
        lines << trTemplate("- Başlangıç: \\(time)", {time(incident->startedAt)});
        if (incident->endedAt)
            lines << trTemplate("- Bitiş: \\(time)", {time(*incident->endedAt)});
        else
            lines << trText("- Durum: Olay işaretleyici açık");
        lines << trText("- Not gizliliği: Kullanıcının serbest metin notu rapora otomatik eklenmedi.");
    }

    section(lines, trText("## Son Akıllı Uyarılar"));
    std::vector<const HealthEvent*> newest;
    newest.reserve(events.size());
    for (const HealthEvent& event : events)
        newest.push_back(&event);
    const size_t shown = std::min<size_t>(newest.size(), 10);
    std::partial_sort(newest.begin(), newest.begin() + qsizetype(shown), newest.end(),
                      [](const HealthEvent* a, const HealthEvent* b) {
                          return a->timestamp.secondsSinceReferenceDate >
                                 b->timestamp.secondsSinceReferenceDate;
                      });
    if (newest.empty())
        lines << trText("- Kayıtlı uyarı yok.");
    for (size_t i = 0; i < shown; ++i) {
        const HealthEvent& event = *newest[i];
        lines << trTemplate(
            "- \\(time) — \\(title): \\(evidence) Öneri: \\(recommendation)",
            {time(event.timestamp), clean(event.title), clean(event.evidence), clean(event.recommendation)});
    }

    section(lines, trText("## Ölçüm Sınırları"));
    lines << (distribution == ReportDistribution::advanced
                  ? trText(
                        "- Bu Advanced paketinde fan devri salt okunur izlenebilir; fan kontrolü bu sürümde "
                        "yayımlanmamıştır.")
                  : trText("- Bu App Store uyumlu sürüm fan devri veya fan kontrolü sunmaz."));
    lines << trText("- Sistem geneli GPU kullanım yüzdesi herkese açık macOS arayüzüyle ölçülmez.");
    lines << trText("- Rapor bir servis teşhisi veya donanım arızası garantisi değildir.");
    lines << QString();
    return L10n::report(lines.join(u'\n'));
}

} // namespace kestrum
