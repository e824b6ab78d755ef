#include "FirstHealthSummaryPresentationPolicy.h"

#include "foundation/Translatable.h"

namespace kestrum::FirstHealthSummaryPresentationPolicy {

namespace {

using State = FirstHealthSummaryOverallState;
using Category = FirstHealthSummaryEvidenceCategory;
using Status = FirstHealthSummaryCoverageStatus;
using Kind = FirstHealthSummaryFindingKind;
using Action = FirstHealthSummaryAction;

QString headline(const FirstHealthSummary& summary) {
    switch (summary.overallState) {
    case State::healthy:
        return summary.coverage.isComplete()
                   ? trText("Mac’in genel sağlık göstergeleri iyi görünüyor.")
                   : trText("Okunabilen göstergelere göre Mac’in genel durumu iyi görünüyor.");
    case State::attention:
        return trText("Mac’in genel durumu dengeli, ancak bazı alanlar dikkat gerektiriyor.");
    case State::concern:
        return trText("Kestrum yakından kontrol edilmesi gereken bir durum buldu.");
    case State::insufficientEvidence:
        break;
    }
    return trText("Güvenli bir değerlendirme için henüz yeterli kanıt yok.");
}

QString explanation(const FirstHealthSummary& summary) {
    switch (summary.overallState) {
    case State::healthy:
        return summary.coverage.isComplete()
                   ? trText("Tamamlanan kontrollerde önemli bir sorun işareti görülmedi.")
                   : trText(
                         "Kontrol edilebilen alanlarda önemli bir sorun işareti görülmedi; eksik kontroller "
                         "aşağıda gösteriliyor.");
    case State::attention:
        if (summary.findings.size() == 1)
            return trText("Bir önemli bulgu, önce kontrol edilmesi gereken alanı gösteriyor.");
        if (summary.findings.size() == 2)
            return trText("İki önemli bulgu, önce kontrol edilmesi gereken alanları gösteriyor.");
        return trText("Üç önemli bulgu, önce kontrol edilmesi gereken alanları gösteriyor.");
    case State::concern:
        if (!summary.findings.empty() &&
            summary.findings.front().urgency == FirstHealthSummaryFindingUrgency::safety)
            return trText("Önce güvenli adımı uygulayın, ardından ölçümü yeniden değerlendirin.");
        return trText("En önemli bulguyu ve önerilen güvenli adımı önce kontrol edin.");
    case State::insufficientEvidence:
        break;
    }
    return trText("Eksik veriler normal kabul edilmedi; daha güvenli bir sonuç için önerilen ücretsiz adımı "
                  "tamamlayın.");
}

QString systemHealthText(Status status) {
    switch (status) {
    case Status::checked:
        return trText("Temel sistem sağlığı kontrol edildi.");
    case Status::partiallyChecked:
        return trText("Temel sistem sağlığı kısmen kontrol edildi.");
    case Status::unavailable:
        return trText("Temel sistem sağlığı henüz kontrol edilemedi.");
    case Status::stale:
        return trText("Canlı sistem ölçümü güncel değil.");
    default:
        return {};
    }
}

QString quickTestText(Status status) {
    switch (status) {
    case Status::checked:
        return trText("Hızlı Sağlık Testi tamamlandı.");
    case Status::partiallyChecked:
        return trText("Hızlı Sağlık Testi bazı ölçümleri tamamladı.");
    case Status::skipped:
        return trText("Hızlı Sağlık Testi henüz çalıştırılmadı.");
    case Status::stale:
        return trText("Son Hızlı Sağlık Testi güncel değil.");
    default:
        return {};
    }
}

QString networkText(const FirstHealthSummaryCoverageItem& item) {
    switch (item.status) {
    case Status::checked:
        return trText("Ağ kalitesi kontrol edildi.");
    case Status::skipped:
        return item.reason == FirstHealthSummaryCoverageReason::offline
                   ? trText("Mac çevrimdışı olduğu için ağ kalite testi atlandı.")
                   : trText("Ağ kalite testi çalıştırılmadı.");
    case Status::unavailable:
        return trText("Ağ bağlantısı durumu okunamadı.");
    case Status::stale:
        return trText("Son ağ kalite sonucu güncel değil.");
    default:
        return {};
    }
}

QString batteryText(Status status) {
    switch (status) {
    case Status::checked:
        return trText("Batarya durumu kontrol edildi.");
    case Status::partiallyChecked:
        return trText("Batarya bulundu, ancak sağlık durumu tam okunamadı.");
    case Status::unavailable:
        return trText("Batarya sağlık bilgisi okunamadı.");
    case Status::notApplicable:
        return trText("Bu Mac’te dahili batarya olmadığı için batarya kontrolü uygulanmıyor.");
    case Status::stale:
        return trText("Batarya sağlık bilgisi güncel değil.");
    default:
        return {};
    }
}

} // namespace

QString confidenceText(FirstHealthSummaryConfidence confidence) {
    switch (confidence) {
    case FirstHealthSummaryConfidence::limited:
        return trText("Sınırlı güven");
    case FirstHealthSummaryConfidence::moderate:
        return trText("Orta güven");
    case FirstHealthSummaryConfidence::high:
        break;
    }
    return trText("Yüksek güven");
}

QString coverageText(const FirstHealthSummaryCoverageItem& item) {
    QString text;
    switch (item.category) {
    case Category::systemHealth:
        text = systemHealthText(item.status);
        break;
    case Category::quickHealthTest:
        text = quickTestText(item.status);
        break;
    case Category::networkQuality:
        text = networkText(item);
        break;
    case Category::battery:
        text = batteryText(item.status);
        break;
    }
    return text.isEmpty() ? trText("Bu kanıt alanı henüz değerlendirilemedi.") : text;
}

QString findingTitle(FirstHealthSummaryFindingKind kind) {
    switch (kind) {
    case Kind::generalSystemConcern:
        return trText("Temel sistem kontrolü dikkat gerektiriyor");
    case Kind::thermalPressure:
        return trText("Isı performansı etkiliyor olabilir");
    case Kind::processorPressure:
        return trText("İşlemci yükü kontrol edilmeli");
    case Kind::memoryPressure:
        return trText("Bellek kullanımı kontrol edilmeli");
    case Kind::lowStorage:
        return trText("Başlangıç diskinde boş alan azalıyor");
    case Kind::batteryCondition:
        return trText("Batarya durumu kontrol edilmeli");
    case Kind::weakWiFi:
        return trText("Wi-Fi sinyali zayıf görünüyor");
    case Kind::poorNetworkQuality:
        return trText("Ağ kalitesi kontrol edilmeli");
    case Kind::reducedStability:
        return trText("Kısa testte kararlılık düşüşü görüldü");
    case Kind::personalCapacityBelowReference:
        break;
    }
    return trText("Kişisel kapasite karşılaştırması düşük kaldı");
}

QString findingExplanation(FirstHealthSummaryFindingKind kind) {
    switch (kind) {
    case Kind::generalSystemConcern:
        return trText("Okunabilen temel sistem kanıtlarından biri yeniden kontrol gerektiriyor.");
    case Kind::thermalPressure:
        return trText(
            "macOS veya Hızlı Sağlık Testi, ısının performansı etkileyebileceğine dair işaretler buldu.");
    case Kind::processorPressure:
        return trText("Doğrulanan sistem kanıtı, işlemci yükünün olağanın üzerinde kaldığını gösterdi.");
    case Kind::memoryPressure:
        return trText(
            "Yüksek kullanım tek başına bellek baskısı veya arıza kanıtı değildir. Yavaşlama da varsa "
            "Etkinlik Monitörü’nde Bellek Baskısı grafiğini ve uygulama kullanımını kontrol et.");
    case Kind::lowStorage:
        return trText("Başlangıç diskindeki boş alan güvenli çalışma payına yaklaşıyor.");
    case Kind::batteryCondition:
        return trText("macOS veya Hızlı Sağlık Testi, batarya durumunun doğrulanmasını öneriyor.");
    case Kind::weakWiFi:
        return trText("Doğrulanan bağlantı kanıtı, Wi-Fi sinyalinin zayıf kaldığını gösterdi.");
    case Kind::poorNetworkQuality:
        return trText("Kullanıcı tarafından başlatılan ağ testi, bağlantı kalitesinin ideal aralığın altında "
                      "olduğunu gösterdi.");
    case Kind::reducedStability:
        return trText("Hızlı Sağlık Testi, ikinci kapasite geçişinde tekrarlanması gereken bir düşüş gördü.");
    case Kind::personalCapacityBelowReference:
        break;
    }
    return trText(
        "Güncel test, aynı sürümdeki kişisel referansın altında kaldı; bu tek başına donanım arızası "
        "anlamına gelmez.");
}

QString actionText(FirstHealthSummaryAction action) {
    switch (action) {
    case Action::stopIntensiveWorkAndCool:
        return trText("Yoğun işleri durdur ve Mac’in soğumasını bekle");
    case Action::freeDiskSpace:
        return trText("Güvenli biçimde disk alanı aç");
    case Action::reviewBatteryCondition:
        return trText("Batarya durumunu gözden geçir");
    case Action::reduceSystemLoad:
        return trText("Yoğun sistem yükünü azalt");
    case Action::improveWiFi:
        return trText("Wi-Fi bağlantı koşullarını iyileştir");
    case Action::improveNetworkConditions:
        return trText("Ağ bağlantı koşullarını kontrol et");
    case Action::runQuickHealthTest:
        return trText("Hızlı Sağlık Testi’ni çalıştır");
    case Action::runNetworkQualityTest:
        return trText("Ağ Kalite Testi’ni çalıştır");
    case Action::retryLiveMeasurement:
        return trText("Canlı ölçümü yeniden dene");
    case Action::rerunQuickHealthTestAfterRestart:
        return trText("Yeniden başlattıktan sonra Hızlı Sağlık Testi’ni tekrarla");
    case Action::retryNetworkWhenOnline:
        return trText("İnternete bağlandığında Ağ Kalite Testi’ni çalıştır");
    case Action::noActionNeeded:
        break;
    }
    return trText("Şu anda işlem gerekmiyor");
}

QString actionButton(FirstHealthSummaryAction action) {
    switch (action) {
    case Action::stopIntensiveWorkAndCool:
    case Action::reduceSystemLoad:
        return trText("Performans görünümünü aç");
    case Action::freeDiskSpace:
        return trText("Finder’ı Aç");
    case Action::reviewBatteryCondition:
        return trText("Batarya görünümünü aç");
    case Action::improveWiFi:
    case Action::improveNetworkConditions:
    case Action::runNetworkQualityTest:
    case Action::retryNetworkWhenOnline:
        return trText("Ağ ve Wi-Fi görünümünü aç");
    case Action::runQuickHealthTest:
    case Action::rerunQuickHealthTestAfterRestart:
        return trText("Hızlı Sağlık Testi’ni aç");
    case Action::retryLiveMeasurement:
        return trText("Şimdi Yenile");
    case Action::noActionNeeded:
        break;
    }
    return trText("Genel Bakışa Devam Et");
}

FirstHealthSummaryPresentation resolve(const FirstHealthSummary& summary) {
    FirstHealthSummaryPresentation presentation;
    presentation.headline = headline(summary);
    presentation.explanation = explanation(summary);
    presentation.confidenceText = confidenceText(summary.confidence);
    for (const FirstHealthSummaryCoverageItem& item : summary.coverage.items)
        presentation.coverage.push_back({item.category, item.status, coverageText(item)});
    for (const FirstHealthSummaryFinding& finding : summary.findings) {
        presentation.findings.push_back({rawValue(finding.source) + QLatin1Char('.') + rawValue(finding.kind),
                                         findingTitle(finding.kind), findingExplanation(finding.kind),
                                         finding.urgency});
    }
    presentation.nextActionText = actionText(summary.nextAction);
    presentation.nextActionButton = actionButton(summary.nextAction);
    return presentation;
}

} // namespace kestrum::FirstHealthSummaryPresentationPolicy
