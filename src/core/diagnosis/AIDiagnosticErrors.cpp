#include "AIDiagnosticErrors.h"

#include "foundation/Translatable.h"

namespace kestrum {

QString description(AIDiagnosticServiceError error) {
    switch (error) {
    case AIDiagnosticServiceError::modelUnavailable:
        return trText("Cihaz içi AI modeli şu anda kullanılamıyor.");
    case AIDiagnosticServiceError::emptyResponse:
        return trText("AI modeli kullanılabilir bir açıklama üretmedi.");
    case AIDiagnosticServiceError::invalidClassification:
        return trText("AI modeli güvenli donanım kategorilerinden birini seçmedi.");
    case AIDiagnosticServiceError::unsupportedCertainty:
        return trText("AI yanıtı ölçümlerin desteklemediği kesin bir sağlık veya arıza iddiası içerdi.");
    }
    return trText("Cihaz içi AI modeli şu anda kullanılamıyor.");
}

KestrumError makeError(AIDiagnosticServiceError error) {
    return KestrumError(QStringLiteral("aiDiagnostic.") + rawValue(error), description(error));
}

std::optional<AIDiagnosticServiceError> aiDiagnosticServiceError(const KestrumError& error) {
    if (!error.code().startsWith(u"aiDiagnostic."))
        return std::nullopt;
    return fromRawValue<AIDiagnosticServiceError>(error.code().mid(13));
}

QString AIDiagnosticAvailability::explanation() const {
    switch (kind) {
    case Case::checking:
        return trText("Apple’ın cihaz içi modelinin kullanılabilirliği kontrol ediliyor.");
    case Case::availableOnDevice:
        return trText("Ön değerlendirme açıklaması bu Mac üzerinde çalışır; donanım verisi bir sunucuya "
                      "gönderilmez.");
    case Case::requiresNewerSystem:
        return trText("Yerel kanıt motoru çalışmaya devam eder. Cihaz içi üretken açıklama macOS 26 veya "
                      "sonrasını gerektirir.");
    case Case::deviceNotEligible:
        return trText(
            "Yerel kanıt motoru çalışmaya devam eder; bu cihaz Apple Intelligence için uygun değil.");
    case Case::appleIntelligenceDisabled:
        return trText("Yerel kanıt motoru çalışır. Cihaz içi açıklama için Sistem Ayarları’nda Apple "
                      "Intelligence açılabilir.");
    case Case::modelNotReady:
        return trText("Yerel kanıt motoru çalışır. Apple’ın modeli indiriliyor veya sistem tarafından "
                      "hazırlanıyor olabilir.");
    case Case::languageUnsupported:
        return trText(
            "Yerel kanıt motoru Türkçe sonuç verir; cihaz içi model Türkçe açıklama için kullanılmaz.");
    case Case::unavailable:
        return trText("Yerel kanıt motoru çalışmaya devam eder. Ayrıntı: ") + reason;
    }
    return {};
}

} // namespace kestrum
