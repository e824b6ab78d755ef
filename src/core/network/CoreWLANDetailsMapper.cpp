#include "CoreWLANDetailsMapper.h"

#include "foundation/Translatable.h"

namespace kestrum {

std::optional<WiFiStandard> CoreWLANDetailsMapper::standard(int phyMode, std::optional<WiFiBand> band) {
    switch (phyMode) {
    case 1:
    case 2:
    case 3:
        return WiFiStandard::legacy;
    case 4:
        return WiFiStandard::wifi4;
    case 5:
        return WiFiStandard::wifi5;
    case 6:
        return band == WiFiBand::sixGHz ? WiFiStandard::wifi6E : WiFiStandard::wifi6;
    case 7:
        return WiFiStandard::wifi7;
    default:
        return std::nullopt;
    }
}

std::optional<WiFiBand> CoreWLANDetailsMapper::band(int channelBand) {
    switch (channelBand) {
    case 1:
        return WiFiBand::twoPointFourGHz;
    case 2:
        return WiFiBand::fiveGHz;
    case 3:
        return WiFiBand::sixGHz;
    default:
        return std::nullopt;
    }
}

std::optional<int> CoreWLANDetailsMapper::channelWidthMHz(int widthCode) {
    switch (widthCode) {
    case 1:
        return 20;
    case 2:
        return 40;
    case 3:
        return 80;
    case 4:
        return 160;
    default:
        return std::nullopt;
    }
}

std::optional<WiFiSecurity> CoreWLANDetailsMapper::security(int securityCode) {
    static constexpr WiFiSecurity table[] = {
        WiFiSecurity::open,
        WiFiSecurity::wep,
        WiFiSecurity::wpaPersonal,
        WiFiSecurity::wpaMixedPersonal,
        WiFiSecurity::wpa2Personal,
        WiFiSecurity::personal,
        WiFiSecurity::dynamicWEP,
        WiFiSecurity::wpaEnterprise,
        WiFiSecurity::wpaMixedEnterprise,
        WiFiSecurity::wpa2Enterprise,
        WiFiSecurity::enterprise,
        WiFiSecurity::wpa3Personal,
        WiFiSecurity::wpa3Enterprise,
        WiFiSecurity::wpa3Transition,
        WiFiSecurity::owe,
        WiFiSecurity::oweTransition,
    };
    if (securityCode < 0 || securityCode >= int(std::size(table)))
        return std::nullopt;
    return table[securityCode];
}

std::optional<QString> CoreWLANDetailsMapper::text(const QString& value) {
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

QString WiFiDetailsPermissionController::permissionExplanation() {
    return trText(
        "Wi-Fi standardı, kanal, bant, hız ve sinyal ölçümleri bu izin olmadan gösterilebilir. macOS, "
        "bağlı ağ adı (SSID), erişim noktası kimliği (BSSID) ve ülke kodunu yalnız Konum izni "
        "verildiğinde sağlayabilir. Kestrum fiziksel konum koordinatı istemez, konum takibi başlatmaz ve "
        "konum verisi saklamaz veya göndermez.");
}

QString WiFiDetailsPermissionController::deniedInstruction() {
    return trText("İzni açmak isterseniz Sistem Ayarları > Gizlilik ve Güvenlik > Konum Servisleri bölümünde "
                  "Kestrum’yu etkinleştirin.");
}

} // namespace kestrum
