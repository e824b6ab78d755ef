#pragma once

#include "foundation/EnumTraits.h"
#include "foundation/Translatable.h"

#include <QString>
#include <optional>

namespace kestrum {

enum class WiFiStandard { legacy, wifi4, wifi5, wifi6, wifi6E, wifi7 };
enum class WiFiBand { twoPointFourGHz, fiveGHz, sixGHz };
// The raw value is the Turkish label.
enum class WiFiSecurity {
    open,
    wep,
    wpaPersonal,
    wpaMixedPersonal,
    wpa2Personal,
    wpa3Personal,
    wpa3Transition,
    wpaEnterprise,
    wpaMixedEnterprise,
    wpa2Enterprise,
    wpa3Enterprise,
    owe,
    oweTransition,
    dynamicWEP,
    personal,
    enterprise
};

template <> struct EnumTraits<WiFiStandard> {
    static constexpr std::pair<WiFiStandard, std::string_view> cases[] = {
        {WiFiStandard::legacy, TR_MARK("Eski nesil Wi-Fi")},
        {WiFiStandard::wifi4, "Wi-Fi 4"},
        {WiFiStandard::wifi5, "Wi-Fi 5"},
        {WiFiStandard::wifi6, "Wi-Fi 6"},
        {WiFiStandard::wifi6E, "Wi-Fi 6E"},
        {WiFiStandard::wifi7, "Wi-Fi 7"},
    };
};

template <> struct EnumTraits<WiFiBand> {
    static constexpr std::pair<WiFiBand, std::string_view> cases[] = {
        {WiFiBand::twoPointFourGHz, TR_MARK("2,4 GHz")},
        {WiFiBand::fiveGHz, "5 GHz"},
        {WiFiBand::sixGHz, "6 GHz"},
    };
};

template <> struct EnumTraits<WiFiSecurity> {
    static constexpr std::pair<WiFiSecurity, std::string_view> cases[] = {
        {WiFiSecurity::open, TR_MARK("Açık ağ")},
        {WiFiSecurity::wep, "WEP"},
        {WiFiSecurity::wpaPersonal, TR_MARK("WPA Kişisel")},
        {WiFiSecurity::wpaMixedPersonal, TR_MARK("WPA/WPA2 Kişisel")},
        {WiFiSecurity::wpa2Personal, TR_MARK("WPA2 Kişisel")},
        {WiFiSecurity::wpa3Personal, TR_MARK("WPA3 Kişisel")},
        {WiFiSecurity::wpa3Transition, TR_MARK("WPA2/WPA3 Kişisel")},
        {WiFiSecurity::wpaEnterprise, TR_MARK("WPA Kurumsal")},
        {WiFiSecurity::wpaMixedEnterprise, TR_MARK("WPA/WPA2 Kurumsal")},
        {WiFiSecurity::wpa2Enterprise, TR_MARK("WPA2 Kurumsal")},
        {WiFiSecurity::wpa3Enterprise, TR_MARK("WPA3 Kurumsal")},
        {WiFiSecurity::owe, "Enhanced Open (OWE)"},
        {WiFiSecurity::oweTransition, TR_MARK("Enhanced Open geçiş modu")},
        {WiFiSecurity::dynamicWEP, TR_MARK("Dinamik WEP")},
        {WiFiSecurity::personal, TR_MARK("Kişisel güvenlik")},
        {WiFiSecurity::enterprise, TR_MARK("Kurumsal güvenlik")},
    };
};

// "Wi-Fi 6E (802.11ax)": the raw value with the IEEE amendment.
QString displayName(WiFiStandard standard);

struct WiFiConnectionDetails {
    std::optional<QString> interfaceName;
    std::optional<QString> networkName;
    std::optional<QString> accessPointIdentifier;
    std::optional<WiFiStandard> standard;
    std::optional<WiFiBand> band;
    std::optional<int> channelWidthMHz;
    std::optional<WiFiSecurity> security;
    std::optional<QString> countryCode;

    bool operator==(const WiFiConnectionDetails&) const = default;
};

} // namespace kestrum
