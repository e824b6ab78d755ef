#include "NetworkTestErrors.h"

#include "foundation/Translatable.h"

namespace kestrum {

namespace {
const QString kSpeedPrefix = QStringLiteral("networkSpeed.");
const QString kQualityPrefix = QStringLiteral("networkQuality.");
} // namespace

QString description(NetworkSpeedTestError error) {
    switch (error) {
    case NetworkSpeedTestError::invalidEndpoint:
        return trText("Hız testi adresi hazırlanamadı.");
    case NetworkSpeedTestError::downloadFailed:
        return trText("İndirme hızı ölçülemedi. Ağ bağlantısını kontrol edip yeniden deneyin.");
    case NetworkSpeedTestError::uploadFailed:
        return trText("Yükleme hızı ölçülemedi. Ağ bağlantısını kontrol edip yeniden deneyin.");
    case NetworkSpeedTestError::providerLimited:
        return trText(
            "Hız testi sağlayıcısı isteği geçici olarak sınırladı. Kısa bir süre sonra yeniden deneyin.");
    case NetworkSpeedTestError::transferLimitReached:
        return trText("Hız testi için belirlenen veri sınırına ulaşıldı.");
    }
    return {};
}

QString description(NetworkQualityTestError error) {
    switch (error) {
    case NetworkQualityTestError::dnsResolutionFailed:
        return trText("DNS çözüm denemesi tamamlanamadı.");
    case NetworkQualityTestError::internetUnreachable:
        return trText("Güvenli internet bağlantısı doğrulanamadı.");
    case NetworkQualityTestError::invalidEndpoint:
        return trText("Ağ testi adresi hazırlanamadı.");
    }
    return {};
}

KestrumError makeError(NetworkSpeedTestError error) {
    return KestrumError(kSpeedPrefix + rawValue(error), description(error));
}

KestrumError makeError(NetworkQualityTestError error) {
    return KestrumError(kQualityPrefix + rawValue(error), description(error));
}

std::optional<NetworkSpeedTestError> speedTestErrorCase(const KestrumError& error) {
    if (!error.code().startsWith(kSpeedPrefix))
        return std::nullopt;
    return fromRawValue<NetworkSpeedTestError>(error.code().mid(kSpeedPrefix.size()));
}

std::optional<NetworkQualityTestError> qualityTestErrorCase(const KestrumError& error) {
    if (!error.code().startsWith(kQualityPrefix))
        return std::nullopt;
    return fromRawValue<NetworkQualityTestError>(error.code().mid(kQualityPrefix.size()));
}

} // namespace kestrum
