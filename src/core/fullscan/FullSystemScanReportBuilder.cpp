#include "FullSystemScanReportBuilder.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "monitor/OperationDescription.h"
#include "reports/ReportFormatting.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

using Kind = FullSystemScanComponentKind;
using State = FullSystemScanComponentState;
using Category = FullSystemScanFindingCategory;

QString integer(long long value) {
    return QString::number(value);
}

QString milliseconds(double value) {
    return integer(std::llround(value));
}

FullSystemScanComponentResult notRun(Kind kind) {
    return {kind, State::skipped, std::nullopt, trText("Bu test çalıştırılmadı."),
            trText("Sonuç üretilemedi ve bileşen genel puana katılmadı.")};
}

FullSystemScanComponentResult failed(Kind kind, const QString& error) {
    return {kind, State::failed, std::nullopt, trText("Bu test tamamlanamadı."), error};
}

FullSystemScanComponentResult unavailable(Kind kind, const QString& simple) {
    return {kind, State::unavailable, std::nullopt, simple, trText("Bu bileşen genel puana katılmadı.")};
}

// The shared rules for a step without a result: failed with its error, skipped for its reason, else not run.
template <class T>
std::optional<FullSystemScanComponentResult> withoutResult(Kind kind, const FullSystemScanStep<T>& step) {
    if (step.result)
        return std::nullopt;
    if (step.failure)
        return failed(kind, *step.failure);
    FullSystemScanComponentResult out = notRun(kind);
    if (step.skipReason)
        out.technicalEvidence = *step.skipReason;
    return out;
}

QString lowerConfidenceTitle(HealthTestConfidence confidence) {
    return FullSystemScanReportBuilder::confidenceTitle(confidence);
}

FullSystemScanComponentResult hardwareComponent(const FullSystemScanEvidence& e) {
    if (e.hardware.failure)
        return failed(Kind::hardware, *e.hardware.failure);
    if (!e.hardware.result)
        return unavailable(Kind::hardware, trText("Donanım profili okunamadı."));
    const HardwareProfile& profile = *e.hardware.result;
    const QString identifier =
        profile.modelIdentifier.trimmed().isEmpty() ? trText("okunamadı") : profile.modelIdentifier.trimmed();
    return {
        Kind::hardware, State::completed, std::nullopt,
        trTemplate("\\(count) donanım bileşeni tanındı.", {integer(qsizetype(profile.components.size()))}),
        trTemplate("Model kimliği: \\(identifier). Katalog eşleşmesi: \\(match).",
                   {identifier, profile.catalogMatched ? trText("var") : trText("yok")})};
}

FullSystemScanComponentResult systemHealthComponent(const FullSystemScanEvidence& e) {
    if (!e.assessment || e.assessment->level == HealthLevel::unavailable)
        return unavailable(Kind::systemHealth, trText("Anlık sistem değerlendirmesi yapılamadı."));
    const HealthAssessment& a = *e.assessment;
    int score = 100;
    if (a.level == HealthLevel::attention)
        score = 65;
    else if (a.level == HealthLevel::critical)
        score = 20;
    return {Kind::systemHealth, State::completed, score,
            trTemplate("Anlık sistem değerlendirmesi: \\(title)", {a.title}),
            trTemplate("Değerlendirilen sinyal sayısı \\(evaluated), okunamayan sinyal sayısı \\(missing).",
                       {integer(qsizetype(a.coverage.evaluatedSignals.size())),
                        integer(qsizetype(a.coverage.unavailableSignals.size()))})};
}

FullSystemScanComponentResult quickHealthComponent(const FullSystemScanEvidence& e) {
    if (auto out = withoutResult(Kind::quickHealth, e.quickHealth))
        return *out;
    const HealthTestResult& r = *e.quickHealth.result;
    const auto scored = std::count_if(r.components.begin(), r.components.end(),
                                      [](const HealthTestComponentScore& c) { return c.score.has_value(); });
    return {Kind::quickHealth, State::completed, r.healthScore,
            trTemplate("Kısa kapasite testi %\\(stability) kararlılık sonucu verdi.",
                       {integer(r.stabilityScore)}),
            trTemplate("Test sürümü \\(version); \\(confidence) güven, kapsam \\(scored)/\\(count) bileşen.",
                       {integer(r.benchmarkVersion), lowerConfidenceTitle(r.confidence), integer(scored),
                        integer(qsizetype(r.components.size()))})};
}

FullSystemScanComponentResult deepHealthComponent(const FullSystemScanEvidence& e) {
    if (auto out = withoutResult(Kind::deepHealth, e.deepHealth))
        return *out;
    const DeepHealthTestResult& r = *e.deepHealth.result;
    return {Kind::deepHealth, State::completed, r.healthScore,
            trTemplate("Uzun süreli test %\\(capacity) sürdürülebilir kapasite sonucu verdi.",
                       {integer(r.sustainedCapacityScore)}),
            trTemplate("Test sürümü \\(version); \\(confidence) güven, en yüksek termal düzey \\(level).",
                       {integer(r.benchmarkVersion), lowerConfidenceTitle(r.confidence),
                        thermalLevelTitle(r.highestThermalLevel)})};
}

FullSystemScanComponentResult batteryComponent(const FullSystemScanEvidence& e) {
    if (!e.snapshot || !e.snapshot->battery.isPresent || !e.snapshot->battery.availability.isAvailable())
        return unavailable(Kind::battery, trText("Batarya verisi okunamadı."));
    const BatteryStats& b = e.snapshot->battery;
    std::optional<int> score;
    QString condition = trText("okunamadı");
    if (b.healthCondition && !b.healthCondition->trimmed().isEmpty()) {
        condition = b.healthCondition->trimmed();
        const QString lower = condition.toLower();
        score = lower == u"good" || lower == u"normal" ? 100 : lower == u"fair" ? 70 : 35;
    }
    const QString adapter = !b.isConnectedToPowerAdapter   ? trText("bilinmiyor")
                            : *b.isConnectedToPowerAdapter ? trText("bağlı")
                                                           : trText("bağlı değil");
    return {Kind::battery, State::completed, score,
            b.chargeFraction ? trTemplate("Batarya sağlığı \\(condition), doluluk %\\(charge).",
                                          {condition, integer(std::llround(*b.chargeFraction * 100))})
                             : trTemplate("Batarya sağlığı \\(condition), doluluk okunamadı.", {condition}),
            score ? trTemplate("Sistemin bildirdiği sağlık durumu puana çevrildi; güç adaptörü \\(adapter).",
                               {adapter})
                  : trTemplate("Sistem bir sağlık durumu bildirmediği için puan verilmedi; güç adaptörü "
                               "\\(adapter).",
                               {adapter})};
}

FullSystemScanComponentResult thermalComponent(const FullSystemScanEvidence& e) {
    const ThermalLevel level = e.snapshot ? e.snapshot->thermal : ThermalLevel::unavailable;
    if (level == ThermalLevel::unavailable)
        return unavailable(Kind::thermal, trText("macOS termal durumu okunamadı."));
    const int score = level == ThermalLevel::nominal   ? 100
                      : level == ThermalLevel::fair    ? 70
                      : level == ThermalLevel::serious ? 30
                                                       : 0;
    return {Kind::thermal, State::completed, score,
            trTemplate("macOS termal durumu \\(level) olarak bildirdi.", {thermalLevelTitle(level)}),
            trTemplate("ProcessInfo.thermalState eşlemesi: \\(state) → \\(score).",
                       {rawValue(level), integer(score)})};
}

int storageScore(double freeFraction) {
    if (freeFraction >= 0.20)
        return 100;
    if (freeFraction >= 0.15)
        return 85;
    if (freeFraction >= 0.10)
        return 65;
    if (freeFraction >= 0.05)
        return 40;
    return 15;
}

FullSystemScanComponentResult storageComponent(const FullSystemScanEvidence& e) {
    if (!e.snapshot || !e.snapshot->disk.availability.isAvailable() || e.snapshot->disk.totalBytes == 0)
        return unavailable(Kind::storage, trText("Depolama kapasitesi okunamadı."));
    const DiskStats& d = e.snapshot->disk;
    const double fraction = double(d.availableBytes) / double(d.totalBytes);
    return {Kind::storage, State::completed, storageScore(fraction),
            trTemplate("Başlangıç diskinde yaklaşık \\(free) boş alan var.",
                       {MetricFormatting::bytes(double(d.availableBytes))}),
            trTemplate("Boş alan oranı %\\(percent) (toplam \\(total)); eşikler %20, %15, %10 ve %5.",
                       {integer(static_cast<long long>(std::floor(fraction * 100))),
                        MetricFormatting::bytes(double(d.totalBytes))})};
}

int wifiScore(int rssi) {
    if (rssi >= -55)
        return 100;
    if (rssi >= -67)
        return 85;
    if (rssi >= -75)
        return 65;
    if (rssi >= -82)
        return 40;
    return 25;
}

FullSystemScanComponentResult wifiComponent(const FullSystemScanEvidence& e) {
    if (!e.snapshot || !e.snapshot->network.isConnected)
        return unavailable(Kind::wifi, trText("Etkin bir ağ bağlantısı bulunamadı."));
    const NetworkStats& n = e.snapshot->network;
    if (n.interfaceKind != NetworkInterfaceKind::wifi)
        return {Kind::wifi, State::completed, std::nullopt,
                trTemplate("Wi-Fi kullanılmıyor; bağlantı \\(kind) üzerinden kurulu.",
                           {rawValue(n.interfaceKind)}),
                trText("Wi-Fi radyo puanı uygulanmadı.")};
    if (!n.wifiRSSI)
        return unavailable(Kind::wifi, trText("Wi-Fi sinyal seviyesi okunamadı."));
    return {Kind::wifi, State::completed, wifiScore(*n.wifiRSSI),
            trTemplate("Wi-Fi sinyali \\(rssi) dBm seviyesinde.", {integer(*n.wifiRSSI)}),
            trTemplate("RSSI \\(rssi) dBm; eşikler -55, -67, -75 ve -82 dBm.", {integer(*n.wifiRSSI)})};
}

int qualityScore(NetworkQualityLevel level) {
    switch (level) {
    case NetworkQualityLevel::excellent:
        return 100;
    case NetworkQualityLevel::good:
        return 85;
    case NetworkQualityLevel::fair:
        return 65;
    case NetworkQualityLevel::poor:
        break;
    }
    return 35;
}

QString lowerQualityTitle(NetworkQualityLevel level) {
    switch (level) {
    case NetworkQualityLevel::excellent:
        return trText("çok iyi");
    case NetworkQualityLevel::good:
        return trText("iyi");
    case NetworkQualityLevel::fair:
        return trText("orta");
    case NetworkQualityLevel::poor:
        break;
    }
    return trText("zayıf");
}

FullSystemScanComponentResult networkQualityComponent(const FullSystemScanEvidence& e) {
    if (auto out = withoutResult(Kind::networkQuality, e.networkQuality))
        return *out;
    const NetworkQualityResult& r = *e.networkQuality.result;
    return {Kind::networkQuality, State::completed, qualityScore(r.quality),
            trTemplate("Ağ kararlılığı \\(grade) düzeyinde; ortanca yanıt süresi \\(median) ms.",
                       {lowerQualityTitle(r.quality), milliseconds(r.medianResponseMilliseconds)}),
            trTemplate("DNS çözümleme \\(dns) ms, ortanca yanıt \\(median) ms, dalgalanma \\(jitter) ms; "
                       "\\(succeeded)/\\(attempted) deneme başarılı.",
                       {milliseconds(r.dnsResolutionMilliseconds), milliseconds(r.medianResponseMilliseconds),
                        milliseconds(r.jitterMilliseconds), integer(r.successfulProbes),
                        integer(r.attemptedProbes)})};
}

FullSystemScanComponentResult internetSpeedComponent(const FullSystemScanEvidence& e) {
    if (auto out = withoutResult(Kind::internetSpeed, e.internetSpeed))
        return *out;
    const NetworkSpeedTestResult& r = *e.internetSpeed.result;
    return {Kind::internetSpeed, State::completed, std::nullopt,
            trTemplate("İndirme \\(download) Mbps, yükleme \\(upload) Mbps ölçüldü.",
                       {MetricFormatting::number(r.downloadMegabitsPerSecond, 1),
                        MetricFormatting::number(r.uploadMegabitsPerSecond, 1)}),
            trTemplate("\\(bytes) veri \\(seconds) saniyede aktarıldı; hız genel puana katılmaz.",
                       {MetricFormatting::bytes(double(r.transferredBytes)),
                        MetricFormatting::number(r.durationSeconds, 1)})};
}

FullSystemScanComponentResult aiComponent(const FullSystemScanEvidence& e) {
    if (e.aiExplanation.failure)
        return {Kind::aiAnalysis, State::failed, std::nullopt,
                trText("AI kullanılamadı; rapor yerel kanıt kurallarıyla tamamlandı."),
                *e.aiExplanation.failure};
    if (e.aiExplanation.result)
        return {Kind::aiAnalysis, State::completed, std::nullopt,
                trText("Doğrulanmış kanıtlar cihaz içi AI ile açıklandı."),
                trText("Açıklama yalnızca doğrulanmış bulgulardan üretildi; puana katılmaz.")};
    return {Kind::aiAnalysis, State::completed, std::nullopt,
            trText("AI kullanılamadı; rapor yerel kanıt kurallarıyla tamamlandı."),
            e.aiExplanation.skipReason.value_or(
                trText("Cihaz içi açıklayıcı bu tarama sırasında hazır değildi."))};
}

Category categoryOf(Kind kind) {
    switch (kind) {
    case Kind::battery:
        return Category::battery;
    case Kind::thermal:
        return Category::thermal;
    case Kind::storage:
        return Category::storage;
    case Kind::wifi:
    case Kind::networkQuality:
    case Kind::internetSpeed:
        return Category::network;
    default:
        return Category::general;
    }
}

Category categoryOf(DeepHealthTestFindingKind kind) {
    switch (kind) {
    case DeepHealthTestFindingKind::thermal:
        return Category::thermal;
    case DeepHealthTestFindingKind::processor:
        return Category::processor;
    case DeepHealthTestFindingKind::graphics:
        return Category::graphics;
    case DeepHealthTestFindingKind::memory:
        return Category::memory;
    case DeepHealthTestFindingKind::storage:
        return Category::storage;
    default:
        return Category::general;
    }
}

Category categoryOf(HardwareComponentKind kind) {
    switch (kind) {
    case HardwareComponentKind::processor:
        return Category::processor;
    case HardwareComponentKind::graphics:
        return Category::graphics;
    case HardwareComponentKind::memory:
        return Category::memory;
    case HardwareComponentKind::storage:
        return Category::storage;
    case HardwareComponentKind::battery:
        return Category::battery;
    default:
        return Category::general;
    }
}

QString joinedTitles(const std::vector<FullSystemScanComponentResult>& components, State state) {
    QStringList titles;
    for (const auto& c : components) {
        if (c.state == state)
            titles << FullSystemScanReportBuilder::title(c.kind);
    }
    return titles.isEmpty() ? trText("yok") : titles.join(QStringLiteral(", "));
}

// What identifies the network in the sample: never part of a result, hidden wherever a text repeats it.
QStringList hiddenWords(const QStringList& privateWords, const std::optional<SystemSnapshot>& snapshot) {
    QStringList words = privateWords;
    if (!snapshot)
        return words;
    const auto hide = [&words](const std::optional<QString>& word) {
        if (word && !word->trimmed().isEmpty())
            words << *word;
    };
    const WiFiConnectionDetails& wifi = snapshot->network.wifiConnectionDetails;
    hide(wifi.networkName);
    hide(wifi.accessPointIdentifier);
    const NetworkConnectionDetails& connection = snapshot->network.connectionDetails;
    hide(connection.localIPv4Address);
    hide(connection.localIPv6Address);
    hide(connection.routerIPv4Address);
    hide(connection.routerIPv6Address);
    for (const QString& server : connection.dnsServerAddresses)
        hide(server);
    return words;
}

} // namespace

int FullSystemScanReportBuilder::weight(FullSystemScanComponentKind kind) {
    switch (kind) {
    case Kind::systemHealth:
    case Kind::quickHealth:
    case Kind::battery:
        return 15;
    case Kind::deepHealth:
        return 30;
    case Kind::thermal:
        return 10;
    case Kind::storage:
    case Kind::wifi:
    case Kind::networkQuality:
        return 5;
    case Kind::hardware:
    case Kind::internetSpeed:
    case Kind::aiAnalysis:
        break;
    }
    return 0;
}

std::vector<FullSystemScanComponentResult>
FullSystemScanReportBuilder::makeComponents(const FullSystemScanEvidence& e) const {
    return {hardwareComponent(e),
            systemHealthComponent(e),
            quickHealthComponent(e),
            deepHealthComponent(e),
            batteryComponent(e),
            thermalComponent(e),
            storageComponent(e),
            wifiComponent(e),
            networkQualityComponent(e),
            internetSpeedComponent(e),
            aiComponent(e)};
}

std::vector<FullSystemScanFinding> FullSystemScanReportBuilder::makeFindings(
    const FullSystemScanEvidence& e, const std::vector<FullSystemScanComponentResult>& components) const {
    std::vector<FullSystemScanFinding> findings;
    if (e.assessment &&
        (e.assessment->level == HealthLevel::attention || e.assessment->level == HealthLevel::critical)) {
        const HealthAssessment& a = *e.assessment;
        QStringList reasons;
        for (const QString& reason : a.reasons)
            reasons << reason;
        findings.push_back({QStringLiteral("current-health-assessment"), Category::general, a.level, a.title,
                            reasons.isEmpty() ? a.title : reasons.join(QStringLiteral(" ")),
                            trTemplate("Anlık değerlendirme \\(evaluated) sinyale dayanıyor.",
                                       {integer(qsizetype(a.coverage.evaluatedSignals.size()))}),
                            a.recommendations.empty()
                                ? trText("Belirti sürerse Tam Tarama’yı daha sonra tekrarla.")
                                : a.recommendations.front()});
    }
    if (e.deepHealth.result) {
        for (const DeepHealthTestFinding& f : e.deepHealth.result->findings) {
            if (f.level != HealthLevel::attention && f.level != HealthLevel::critical)
                continue;
            findings.push_back({QStringLiteral("deep-health-") + rawValue(f.kind), categoryOf(f.kind),
                                f.level, f.title, f.evidence, trText("Derin sağlık testinin bulgusu."),
                                f.recommendation});
        }
    }
    for (const HardwareRecommendation& r : e.hardwareRecommendations) {
        if (r.urgency == HardwareRecommendationUrgency::information)
            continue;
        const HealthLevel level = r.urgency == HardwareRecommendationUrgency::serviceRecommended
                                      ? HealthLevel::critical
                                      : HealthLevel::attention;
        findings.push_back({QStringLiteral("hardware-") + r.id, categoryOf(r.componentKind), level, r.title,
                            r.evidence, trText("Donanım önerisi, profil ve ölçümlere dayanıyor."), r.action});
    }
    if (e.snapshot && e.snapshot->network.isConnected &&
        e.snapshot->network.interfaceKind == NetworkInterfaceKind::wifi && e.snapshot->network.wifiRSSI &&
        *e.snapshot->network.wifiRSSI < -75) {
        findings.push_back(
            {QStringLiteral("wifi-weak-signal"), Category::network, HealthLevel::attention,
             trText("Wi-Fi sinyali zayıf"),
             trTemplate("Sinyal seviyesi \\(rssi) dBm olarak ölçüldü.",
                        {integer(*e.snapshot->network.wifiRSSI)}),
             trText("RSSI eşiği -75 dBm altında."),
             trText("Yönlendiriciye yaklaş veya 5/6 GHz kapsamasını ve kanal yoğunluğunu kontrol et.")});
    }
    if (e.networkQuality.result && (e.networkQuality.result->quality == NetworkQualityLevel::fair ||
                                    e.networkQuality.result->quality == NetworkQualityLevel::poor)) {
        const NetworkQualityResult& r = *e.networkQuality.result;
        findings.push_back(
            {QStringLiteral("network-quality-weak"), Category::network, HealthLevel::attention,
             trText("Ağ yanıtı iyileştirilebilir"),
             trTemplate("Ağ kararlılığı \\(grade) olarak ölçüldü.", {lowerQualityTitle(r.quality)}),
             trTemplate("Ortanca yanıt \\(median) ms, dalgalanma \\(jitter) ms; \\(succeeded)/\\(attempted) "
                        "deneme başarılı.",
                        {milliseconds(r.medianResponseMilliseconds), milliseconds(r.jitterMilliseconds),
                         integer(r.successfulProbes), integer(r.attemptedProbes)}),
             trText(
                 "Yönlendiriciye yaklaş, yoğun ağ kullanan işlemleri kontrol et ve testi farklı bir zamanda "
                 "tekrarla.")});
    }
    for (const FullSystemScanComponentResult& c : components) {
        if (c.state != State::failed)
            continue;
        findings.push_back(
            {QStringLiteral("component-failed-") + rawValue(c.kind), categoryOf(c.kind),
             HealthLevel::attention, trTemplate("\\(component) tamamlanamadı", {title(c.kind)}),
             trText("Bu kontrol sırasında bir hata oluştu ve bileşen genel puana katılmadı."),
             c.technicalEvidence, trText("Koşullar uygun olduğunda Tam Tarama’yı yeniden çalıştır.")});
    }
    if (findings.empty()) {
        findings.push_back(
            {QStringLiteral("no-confirmed-issue"), Category::general, HealthLevel::normal,
             trText("Belirgin bir sorun sinyali bulunmadı"),
             trText("Tamamlanan testlerde servis veya acil müdahale gerektiren bir kanıt oluşmadı."),
             trText("Bu sonuç yalnızca tamamlanan ve kullanılabilir ölçümlerin kapsamıyla sınırlıdır."),
             trText("Yeni bir belirti oluşursa taramayı tekrarla veya Apple Diagnostics çalıştır.")});
    }
    // Most severe first; within a level the category order, then the order the sources were read in.
    std::stable_sort(findings.begin(), findings.end(), [](const auto& a, const auto& b) {
        if (severityRank(a.level) != severityRank(b.level))
            return severityRank(a.level) > severityRank(b.level);
        return declarationIndex(a.category) < declarationIndex(b.category);
    });
    return findings;
}

std::optional<int>
FullSystemScanReportBuilder::weightedScore(const std::vector<FullSystemScanComponentResult>& components) {
    double weighted = 0;
    double weights = 0;
    for (const FullSystemScanComponentResult& c : components) {
        const int w = weight(c.kind);
        if (c.state != State::completed || !c.score || w == 0)
            continue;
        weighted += double(*c.score) * w;
        weights += w;
    }
    if (weights == 0)
        return std::nullopt;
    return roundedClampedScore(weighted / weights);
}

HealthTestConfidence
FullSystemScanReportBuilder::confidence(const std::vector<FullSystemScanComponentResult>& components,
                                        const std::optional<HealthTestResult>& quick,
                                        const std::optional<DeepHealthTestResult>& deep) {
    const auto completed = std::count_if(components.begin(), components.end(),
                                         [](const auto& c) { return c.state == State::completed; });
    const auto fullyScored = [](const std::vector<HealthTestComponentScore>& scores) {
        return std::all_of(scores.begin(), scores.end(), [](const auto& c) { return c.score.has_value(); });
    };
    if (completed >= 9 && quick && deep && fullyScored(quick->components) && fullyScored(deep->components) &&
        quick->confidence == HealthTestConfidence::high && deep->confidence == HealthTestConfidence::high)
        return HealthTestConfidence::high;
    if (completed > 5)
        return HealthTestConfidence::medium;
    return HealthTestConfidence::low;
}

QString FullSystemScanReportBuilder::simpleSummary(const std::vector<FullSystemScanFinding>& findings,
                                                   int completedComponentCount,
                                                   std::optional<int> overallScore) {
    const auto count = [&findings](HealthLevel level) {
        return std::count_if(findings.begin(), findings.end(),
                             [level](const auto& f) { return f.level == level; });
    };
    if (const auto critical = count(HealthLevel::critical); critical > 0)
        return trTemplate("Taramada hemen dikkat edilmesi gereken \\(count) bulgu belirlendi. Ayrıntılardaki "
                          "güvenli adımları izle.",
                          {integer(critical)});
    if (const auto attention = count(HealthLevel::attention); attention > 0)
        return trTemplate("\\(completed) kontrol tamamlandı ve \\(count) konu için iyileştirme veya yeniden "
                          "kontrol önerildi. Bu, kesin donanım arızası anlamına gelmez.",
                          {integer(completedComponentCount), integer(attention)});
    if (!overallScore)
        return trText(
            "Yeterli sayıda test tamamlanamadı; koşullar uygun olduğunda taramayı yeniden çalıştır.");
    if (*overallScore > 89)
        return trText(
            "Tamamlanan kontrollerde Mac’in genel durumu güçlü görünüyor. Belirgin bir servis sinyali "
            "bulunmadı.");
    if (*overallScore > 74)
        return trText(
            "Tamamlanan kontroller genel olarak iyi sonuç verdi. Düzenli izlemeye devam edebilirsin.");
    return trText("Bazı ölçümler beklenen aralığın altında kaldı; bulguları ve önerileri gözden geçir.");
}

QString
FullSystemScanReportBuilder::technicalSummary(const FullSystemScanEvidence& e,
                                              const std::vector<FullSystemScanComponentResult>& components,
                                              std::optional<int> overallScore) {
    // One sentence per source, so that each is shown whole in either language.
    QStringList sentences;
    sentences << trTemplate(
        "Ağırlıklı genel puan \\(score); \\(unavailable) kullanılamıyor, \\(failed) başarısız.",
        {overallScore ? integer(*overallScore) : trText("hesaplanamadı"),
         joinedTitles(components, State::unavailable), joinedTitles(components, State::failed)});
    if (const auto& quick = e.quickHealth.result)
        sentences << trTemplate("Hızlı sağlık: puan \\(score), kararlılık %\\(stability).",
                                {integer(quick->healthScore), integer(quick->stabilityScore)});
    else
        sentences << trText("Hızlı sağlık: sonuç yok.");
    if (const auto& deep = e.deepHealth.result)
        sentences << trTemplate("Derin sağlık: puan \\(score), sürdürülebilir kapasite %\\(capacity).",
                                {integer(deep->healthScore), integer(deep->sustainedCapacityScore)});
    else
        sentences << trText("Derin sağlık: sonuç yok.");
    if (const auto& quality = e.networkQuality.result)
        sentences << trTemplate(
            "Ağ kararlılığı: \\(grade), ortanca yanıt \\(median) ms.",
            {lowerQualityTitle(quality->quality), milliseconds(quality->medianResponseMilliseconds)});
    else
        sentences << trText("Ağ kararlılığı: ölçülmedi.");
    if (const auto& speed = e.internetSpeed.result)
        sentences << trTemplate("İnternet hızı: indirme \\(download) Mbps, yükleme \\(upload) Mbps.",
                                {MetricFormatting::number(speed->downloadMegabitsPerSecond, 1),
                                 MetricFormatting::number(speed->uploadMegabitsPerSecond, 1)});
    else
        sentences << trText("İnternet hızı: ölçülmedi.");
    return sentences.join(u' ');
}

FullSystemScanResult FullSystemScanReportBuilder::makeResult(const FullSystemScanEvidence& e,
                                                             QUuid id) const {
    const QStringList words = hiddenWords(privateWords, e.snapshot);
    const auto clean = [&words](const QString& text) { return ReportFormatting::redacted(text, words); };

    FullSystemScanResult result;
    result.id = id;
    result.startedAt = e.startedAt;
    result.endedAt = e.endedAt;
    result.components = makeComponents(e);
    for (FullSystemScanComponentResult& c : result.components) {
        c.simpleExplanation = clean(c.simpleExplanation);
        c.technicalEvidence = clean(c.technicalEvidence);
    }
    result.overallScore = weightedScore(result.components);
    result.confidence = confidence(result.components, e.quickHealth.result, e.deepHealth.result);
    result.findings = makeFindings(e, result.components);
    for (FullSystemScanFinding& f : result.findings) {
        f.title = clean(f.title);
        f.simpleExplanation = clean(f.simpleExplanation);
        f.technicalEvidence = clean(f.technicalEvidence);
        f.recommendation = clean(f.recommendation);
    }
    if (e.aiExplanation.result) {
        result.aiExplanation = clean(*e.aiExplanation.result);
        result.mode = FullSystemScanReportMode::onDeviceAI;
    }
    result.simpleSummary =
        simpleSummary(result.findings, result.completedComponentCount(), result.overallScore);
    result.technicalSummary = clean(technicalSummary(e, result.components, result.overallScore));
    result.privacyNote = privacyNote();
    return result;
}

QString FullSystemScanReportBuilder::privacyNote() {
    return trText(
        "Rapor bu Mac’te oluşturuldu ve yerel sağlık geçmişinde saklandı. Seri numarası, Wi-Fi adı, "
        "erişim noktası kimliği, yerel IP adresleri, ağ geçidi, DNS sunucuları ve dosya yolları rapora "
        "eklenmedi.");
}

QString FullSystemScanReportBuilder::durationText(double seconds) {
    const long long s = std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(seconds) : 0;
    if (s < 60)
        return trTemplate("\\(seconds) sn", {integer(s)});
    return trTemplate("\\(minutes) dk \\(seconds) sn", {integer(s / 60), integer(s % 60)});
}

QString FullSystemScanReportBuilder::markdown(const FullSystemScanResult& r) const {
    // Each free text is shown on its own first, so that a text starting with a value ("3 donanım bileşeni
    // tanındı.") is read as a whole and not as the rest of the line's label.
    const auto clean = [this](const QString& text) {
        return L10n::localizedFragment(ReportFormatting::redacted(text, privateWords));
    };
    QStringList lines;
    lines << trText("# Kestrum Tam Sistem Tarama Raporu") << QString();
    lines << trTemplate("- Başlangıç: \\(time)", {ReportFormatting::time(r.startedAt)});
    lines << trTemplate("- Bitiş: \\(time)", {ReportFormatting::time(r.endedAt)});
    lines << trTemplate("- Süre: \\(duration)", {durationText(r.endedAt.secondsSince(r.startedAt))});
    lines << trTemplate(
        "- Genel puan: \\(score)",
        {r.overallScore ? QStringLiteral("%") + integer(*r.overallScore) : trText("Hesaplanamadı")});
    lines << trTemplate("- Güven: \\(confidence)", {confidenceTitle(r.confidence)});
    lines << trTemplate("- Rapor modu: \\(mode)", {r.mode == FullSystemScanReportMode::onDeviceAI
                                                       ? trText("Cihaz içi AI destekli açıklama")
                                                       : trText("Yerel kanıt raporu")});
    lines << trTemplate("- Kapsam: \\(completed)/\\(count)",
                        {integer(r.completedComponentCount()), integer(qsizetype(r.components.size()))});
    lines << QString();
    lines << trText("## Herkes İçin Özet") << QString() << clean(r.simpleSummary) << QString();
    lines << trText("## Teknik Özet") << QString()
          << L10n::localizeSentences(ReportFormatting::redacted(r.technicalSummary, privateWords))
          << QString();
    lines << trText("## Bileşen Sonuçları") << QString();
    for (const FullSystemScanComponentResult& c : r.components) {
        lines << trTemplate("### \\(title)", {title(c.kind)}) << QString();
        lines << trTemplate("- Durum: \\(state)", {title(c.state)});
        lines << trTemplate("- Puan: \\(score)", {c.score ? integer(*c.score) : trText("Uygulanamaz")});
        lines << trTemplate("- Sade açıklama: \\(text)", {clean(c.simpleExplanation)});
        lines << trTemplate("- Teknik kanıt: \\(text)", {clean(c.technicalEvidence)});
        lines << QString();
    }
    lines << trText("## Bulgular ve Öneriler") << QString();
    for (const FullSystemScanFinding& f : r.findings) {
        lines << trTemplate("### \\(title)", {clean(f.title)}) << QString();
        lines << trTemplate("- Kategori: \\(category)", {title(f.category)});
        lines << trTemplate("- Düzey: \\(level)", {title(f.level)});
        lines << trTemplate("- Sade açıklama: \\(text)", {clean(f.simpleExplanation)});
        lines << trTemplate("- Teknik kanıt: \\(text)", {clean(f.technicalEvidence)});
        lines << trTemplate("- Öneri: \\(text)", {clean(f.recommendation)});
        lines << QString();
    }
    if (r.aiExplanation)
        lines << trText("## Cihaz İçi AI Açıklaması") << QString() << clean(*r.aiExplanation) << QString();
    lines << trText("## Gizlilik ve Sınırlar") << QString() << clean(r.privacyNote);
    lines << trText("- Bu rapor servis teşhisi veya arıza olmadığına dair garanti değildir.");
    lines << trText(
        "- Apple Diagnostics ayrıca kullanıcı tarafından yeniden başlatma sırasında çalıştırılır; "
        "uygulama bunu otomatik başlatamaz.");
    lines << QString();

    // A vendor word doubled after an English hardware label ("Processor: Apple Apple M2") is said once.
    static const QRegularExpression doubledVendor(
        QStringLiteral("\\b(Processor|Graphics|Battery|Cooling):\\s+Apple\\s+Apple(?=\\s)"));
    for (QString& line : lines)
        line.replace(doubledVendor, QStringLiteral("\\1: Apple"));
    return L10n::report(lines.join(u'\n'));
}

QString FullSystemScanReportBuilder::title(FullSystemScanComponentKind kind) {
    static const char* const titles[] = {TR_MARK("Donanım"),
                                         TR_MARK("Genel sistem sağlığı"),
                                         TR_MARK("Hızlı sağlık testi"),
                                         TR_MARK("Derin sağlık testi"),
                                         TR_MARK("Batarya"),
                                         TR_MARK("Termal durum"),
                                         TR_MARK("Depolama"),
                                         TR_MARK("Wi-Fi"),
                                         TR_MARK("Ağ kararlılığı"),
                                         TR_MARK("İnternet hızı"),
                                         TR_MARK("AI destekli yorum")};
    return QString::fromUtf8(titles[declarationIndex(kind)]);
}

QString FullSystemScanReportBuilder::title(FullSystemScanComponentState state) {
    static const char* const titles[] = {TR_MARK("Tamamlandı"), TR_MARK("Kullanılamıyor"), TR_MARK("Atlandı"),
                                         TR_MARK("Tamamlanamadı")};
    return QString::fromUtf8(titles[declarationIndex(state)]);
}

QString FullSystemScanReportBuilder::title(FullSystemScanFindingCategory category) {
    static const char* const titles[] = {TR_MARK("Genel"),  TR_MARK("İşlemci"),  TR_MARK("Grafik"),
                                         TR_MARK("Bellek"), TR_MARK("Depolama"), TR_MARK("Batarya"),
                                         TR_MARK("Termal"), TR_MARK("Ağ")};
    return QString::fromUtf8(titles[declarationIndex(category)]);
}

QString FullSystemScanReportBuilder::title(HealthLevel level) {
    static const char* const titles[] = {TR_MARK("Normal"), TR_MARK("Dikkat"), TR_MARK("Kritik"),
                                         TR_MARK("Bilinmiyor")};
    return QString::fromUtf8(titles[declarationIndex(level)]);
}

QString FullSystemScanReportBuilder::title(FullSystemScanPhase phase) {
    static const char* const titles[] = {TR_MARK("Hazırlanıyor"),       TR_MARK("Donanım tanıma"),
                                         TR_MARK("Hızlı sağlık testi"), TR_MARK("Derin sağlık testi"),
                                         TR_MARK("Ağ kararlılığı"),     TR_MARK("İnternet hızı"),
                                         TR_MARK("Rapor hazırlanıyor")};
    return QString::fromUtf8(titles[declarationIndex(phase)]);
}

QString FullSystemScanReportBuilder::confidenceTitle(HealthTestConfidence confidence) {
    switch (confidence) {
    case HealthTestConfidence::low:
        return trText("Sınırlı");
    case HealthTestConfidence::medium:
        return trText("Orta");
    case HealthTestConfidence::high:
        break;
    }
    return trText("Yüksek");
}

} // namespace kestrum
