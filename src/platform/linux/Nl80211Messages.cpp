#include "Nl80211Messages.h"

#include <cstring>
#include <linux/nl80211.h>
#include <netlink/attr.h>
#include <vector>

namespace kestrum::Nl80211Messages {

namespace {

// Attribute table over a copy of the stream (libnl wants aligned, writable memory). Attribute types
// above `maxType` are skipped, so a newer kernel is harmless.
class AttributeTable {
public:
    AttributeTable(QByteArrayView bytes, int maxType)
        : m_buffer(bytes.toByteArray()), m_table(size_t(maxType) + 1) {
        if (m_buffer.isEmpty())
            return;
        m_ok = nla_parse(m_table.data(), maxType, reinterpret_cast<nlattr*>(m_buffer.data()),
                         int(m_buffer.size()), nullptr) == 0;
    }
    bool ok() const { return m_ok; }
    const nlattr* operator[](int type) const {
        return m_ok && type >= 0 && size_t(type) < m_table.size() ? m_table[size_t(type)] : nullptr;
    }
    // Payload of an attribute, only when it holds at least `minimum` bytes.
    std::optional<QByteArrayView> payload(int type, int minimum = 0) const {
        const nlattr* a = (*this)[type];
        if (!a || nla_len(a) < minimum)
            return std::nullopt;
        return QByteArrayView(static_cast<const char*>(nla_data(a)), nla_len(a));
    }
    std::optional<uint32_t> u32(int type) const {
        const auto p = payload(type, 4);
        if (!p)
            return std::nullopt;
        uint32_t v = 0;
        std::memcpy(&v, p->data(), 4);
        return v;
    }
    std::optional<uint16_t> u16(int type) const {
        const auto p = payload(type, 2);
        if (!p)
            return std::nullopt;
        uint16_t v = 0;
        std::memcpy(&v, p->data(), 2);
        return v;
    }
    std::optional<int32_t> s32(int type) const {
        const auto v = u32(type);
        return v ? std::optional<int32_t>(int32_t(*v)) : std::nullopt;
    }
    std::optional<int> s8(int type) const {
        const auto p = payload(type, 1);
        return p ? std::optional<int>(int(int8_t(p->at(0)))) : std::nullopt;
    }
    bool flag(int type) const { return (*this)[type] != nullptr; }

private:
    QByteArray m_buffer;
    std::vector<nlattr*> m_table;
    bool m_ok = false;
};

uint16_t le16(QByteArrayView data, qsizetype at) {
    return uint16_t(uint8_t(data[at])) | uint16_t(uint8_t(data[at + 1])) << 8;
}

bool isPersonal(int akm) {
    return akm == 2 || akm == 4 || akm == 6;
}
bool isSAE(int akm) {
    return akm == 8 || akm == 9 || akm == 24 || akm == 25;
}
bool isSuiteB(int akm) {
    return akm == 11 || akm == 12 || akm == 13;
}
bool isEnterprise(int akm) {
    return akm == 1 || akm == 3 || akm == 5;
}

// Suite selectors: three OUI bytes, then the type.
int suiteType(QByteArrayView suite, const char* oui) {
    const bool ours = std::memcmp(suite.data(), oui, 3) == 0;
    return ours ? int(uint8_t(suite[3])) : 1000 + int(uint8_t(suite[3]));
}

// Reads the AKM list of an RSN or WPA body that starts at `at` with the group cipher. A list the element
// stops before is absent.
std::optional<std::set<int>> akmSuites(QByteArrayView body, qsizetype at, const char* oui) {
    at += 4; // group cipher
    if (at + 2 > body.size())
        return std::nullopt;
    const qsizetype pairwise = le16(body, at);
    at += 2 + 4 * pairwise;
    if (at + 2 > body.size())
        return std::nullopt;
    const qsizetype count = le16(body, at);
    at += 2;
    std::set<int> suites;
    for (qsizetype i = 0; i < count && at + 4 <= body.size(); ++i, at += 4)
        suites.insert(suiteType(body.sliced(at, 4), oui));
    return suites;
}

} // namespace

std::optional<Nl80211InterfaceInfo> parseInterface(QByteArrayView attributes) {
    const AttributeTable t(attributes, NL80211_ATTR_MAX);
    if (!t.ok())
        return std::nullopt;
    Nl80211InterfaceInfo info;
    if (const auto name = t.payload(NL80211_ATTR_IFNAME, 1)) {
        QByteArray text = name->toByteArray();
        text.truncate(qsizetype(qstrnlen(text.constData(), size_t(text.size()))));
        if (!text.isEmpty())
            info.name = QString::fromUtf8(text);
    }
    if (const auto ssid = t.payload(NL80211_ATTR_SSID))
        if (ssid->size() <= 32)
            info.ssid = ssid->toByteArray();
    info.frequencyMHz = t.u32(NL80211_ATTR_WIPHY_FREQ);
    info.channelWidth = t.u32(NL80211_ATTR_CHANNEL_WIDTH);
    return info;
}

std::optional<Nl80211BssInfo> parseScanResult(QByteArrayView attributes) {
    const AttributeTable top(attributes, NL80211_ATTR_MAX);
    const auto nested = top.payload(NL80211_ATTR_BSS);
    if (!nested)
        return std::nullopt;
    const AttributeTable t(*nested, NL80211_BSS_MAX);
    const auto bssid = t.payload(NL80211_BSS_BSSID, 6);
    if (!bssid)
        return std::nullopt;
    Nl80211BssInfo info;
    info.bssid = bssid->first(6).toByteArray();
    info.frequencyMHz = t.u32(NL80211_BSS_FREQUENCY);
    info.status = t.u32(NL80211_BSS_STATUS);
    if (const auto capability = t.u16(NL80211_BSS_CAPABILITY))
        info.privacy = (*capability & 0x0010) != 0;
    if (const auto ies = t.payload(NL80211_BSS_INFORMATION_ELEMENTS, 1))
        info.informationElements = ies->toByteArray();
    else if (const auto beacon = t.payload(NL80211_BSS_BEACON_IES, 1))
        info.informationElements = beacon->toByteArray();
    if (const auto mbm = t.s32(NL80211_BSS_SIGNAL_MBM))
        info.signalDbm = *mbm / 100;
    return info;
}

std::optional<Nl80211StationInfo> parseStation(QByteArrayView attributes) {
    const AttributeTable top(attributes, NL80211_ATTR_MAX);
    const auto nested = top.payload(NL80211_ATTR_STA_INFO);
    if (!nested)
        return std::nullopt;
    const AttributeTable t(*nested, NL80211_STA_INFO_MAX);
    if (!t.ok())
        return std::nullopt;
    Nl80211StationInfo info;
    info.signalDbm = t.s8(NL80211_STA_INFO_SIGNAL);
    if (!info.signalDbm)
        info.signalDbm = t.s8(NL80211_STA_INFO_SIGNAL_AVG);
    if (const auto rate = t.payload(NL80211_STA_INFO_TX_BITRATE)) {
        const AttributeTable r(*rate, NL80211_RATE_INFO_MAX);
        if (r.ok()) {
            std::optional<uint32_t> units = r.u32(NL80211_RATE_INFO_BITRATE32);
            if (!units)
                if (const auto shortUnits = r.u16(NL80211_RATE_INFO_BITRATE))
                    units = *shortUnits;
            if (units && *units > 0)
                info.transmitRateMbps = double(*units) / 10.0;
            if (r.flag(NL80211_RATE_INFO_EHT_MCS))
                info.rateKind = Nl80211StationInfo::RateKind::eht;
            else if (r.flag(NL80211_RATE_INFO_HE_MCS))
                info.rateKind = Nl80211StationInfo::RateKind::he;
            else if (r.flag(NL80211_RATE_INFO_VHT_MCS))
                info.rateKind = Nl80211StationInfo::RateKind::vht;
            else if (r.flag(NL80211_RATE_INFO_MCS))
                info.rateKind = Nl80211StationInfo::RateKind::ht;
            else if (units)
                info.rateKind = Nl80211StationInfo::RateKind::legacy;
            if (r.flag(NL80211_RATE_INFO_320_MHZ_WIDTH))
                info.rateWidthMHz = 320;
            else if (r.flag(NL80211_RATE_INFO_160_MHZ_WIDTH) || r.flag(NL80211_RATE_INFO_80P80_MHZ_WIDTH))
                info.rateWidthMHz = 160;
            else if (r.flag(NL80211_RATE_INFO_80_MHZ_WIDTH))
                info.rateWidthMHz = 80;
            else if (r.flag(NL80211_RATE_INFO_40_MHZ_WIDTH))
                info.rateWidthMHz = 40;
            else if (info.rateKind)
                info.rateWidthMHz = 20;
        }
    }
    return info;
}

std::optional<Nl80211SurveyInfo> parseSurvey(QByteArrayView attributes) {
    const AttributeTable top(attributes, NL80211_ATTR_MAX);
    const auto nested = top.payload(NL80211_ATTR_SURVEY_INFO);
    if (!nested)
        return std::nullopt;
    const AttributeTable t(*nested, NL80211_SURVEY_INFO_MAX);
    if (!t.ok())
        return std::nullopt;
    Nl80211SurveyInfo info;
    info.frequencyMHz = t.u32(NL80211_SURVEY_INFO_FREQUENCY);
    info.noiseDbm = t.s8(NL80211_SURVEY_INFO_NOISE);
    info.inUse = t.flag(NL80211_SURVEY_INFO_IN_USE);
    return info;
}

std::optional<QString> parseRegulatoryCountry(QByteArrayView attributes) {
    const AttributeTable t(attributes, NL80211_ATTR_MAX);
    const auto alpha2 = t.payload(NL80211_ATTR_REG_ALPHA2, 2);
    if (!alpha2)
        return std::nullopt;
    const QString code = QString::fromLatin1(alpha2->first(2).toByteArray());
    // "00" is the world domain and "99" a driver-built one: neither is a country.
    if (code == u"00" || code == u"99" || !code.at(0).isLetter() || !code.at(1).isLetter())
        return std::nullopt;
    return code;
}

WiFiSecurityEvidence securityFromInformationElements(QByteArrayView elements, bool privacy) {
    WiFiSecurityEvidence evidence;
    evidence.privacy = privacy;
    static constexpr char rsnOUI[] = {0x00, 0x0F, char(0xAC)};
    static constexpr char microsoftOUI[] = {0x00, 0x50, char(0xF2)};
    static constexpr char wfaOUI[] = {0x50, 0x6F, char(0x9A)};
    qsizetype at = 0;
    while (at + 2 <= elements.size()) {
        const int id = uint8_t(elements[at]);
        const qsizetype length = uint8_t(elements[at + 1]);
        if (at + 2 + length > elements.size())
            break; // overrun: the rest is not trustworthy
        const QByteArrayView body = elements.sliced(at + 2, length);
        if (id == 48 && body.size() >= 2) {
            evidence.hasRSN = true;
            // Without an AKM list the default suite is 802.1X.
            evidence.rsnAKMs = akmSuites(body, 2, rsnOUI).value_or(std::set<int>{1});
        } else if (id == 221 && body.size() >= 4 && std::memcmp(body.data(), microsoftOUI, 3) == 0 &&
                   uint8_t(body[3]) == 1) {
            evidence.hasWPA = true;
            evidence.wpaAKMs = body.size() >= 6 ? akmSuites(body, 6, microsoftOUI).value_or(std::set<int>{1})
                                                : std::set<int>{1};
        } else if (id == 221 && body.size() >= 4 && std::memcmp(body.data(), wfaOUI, 3) == 0 &&
                   uint8_t(body[3]) == 0x1C) {
            evidence.oweTransition = true;
        }
        at += 2 + length;
    }
    return evidence;
}

std::optional<QByteArray> ssidFromInformationElements(QByteArrayView elements) {
    qsizetype at = 0;
    while (at + 2 <= elements.size()) {
        const int id = uint8_t(elements[at]);
        const qsizetype length = uint8_t(elements[at + 1]);
        if (at + 2 + length > elements.size())
            return std::nullopt;
        if (id == 0)
            return elements.sliced(at + 2, length).toByteArray();
        at += 2 + length;
    }
    return std::nullopt;
}

WiFiSecurityEvidence securityFromNetworkManager(uint32_t flags, uint32_t wpaFlags, uint32_t rsnFlags) {
    WiFiSecurityEvidence evidence;
    evidence.privacy = (flags & 0x1) != 0;
    const auto akms = [](uint32_t bits) {
        std::set<int> out;
        if (bits & 0x100)
            out.insert(2);
        if (bits & 0x200)
            out.insert(1);
        if (bits & 0x400)
            out.insert(8);
        if (bits & 0x800)
            out.insert(18);
        return out;
    };
    evidence.rsnAKMs = akms(rsnFlags);
    evidence.hasRSN = !evidence.rsnAKMs.empty();
    evidence.wpaAKMs = akms(wpaFlags);
    evidence.hasWPA = !evidence.wpaAKMs.empty();
    evidence.oweTransition = ((rsnFlags | wpaFlags) & 0x1000) != 0;
    return evidence;
}

std::optional<int> securityCode(const WiFiSecurityEvidence& e) {
    const auto any = [](const std::set<int>& akms, bool (*test)(int)) {
        for (int akm : akms)
            if (test(akm))
                return true;
        return false;
    };
    if (e.hasRSN) {
        if (e.rsnAKMs.count(18))
            return 14; // OWE
        const bool sae = any(e.rsnAKMs, isSAE);
        const bool psk = any(e.rsnAKMs, isPersonal);
        if (sae)
            return psk ? 13 : 11; // WPA2/WPA3 transition, WPA3 Personal
        if (any(e.rsnAKMs, isSuiteB))
            return 12; // WPA3 Enterprise
        if (any(e.rsnAKMs, isEnterprise))
            return e.hasWPA ? 8 : 9; // WPA/WPA2 or WPA2 Enterprise
        if (psk)
            return e.hasWPA ? 3 : 4; // WPA/WPA2 or WPA2 Personal
        return std::nullopt;
    }
    if (e.hasWPA) {
        if (e.wpaAKMs.count(1))
            return 7; // WPA Enterprise
        if (e.wpaAKMs.count(2))
            return 2; // WPA Personal
        return std::nullopt;
    }
    if (e.oweTransition)
        return 15;
    return e.privacy ? 1 : 0; // WEP, open
}

int channelFromFrequency(uint32_t f) {
    if (f == 2484)
        return 14;
    if (f < 2484)
        return f > 2407 ? int(f - 2407) / 5 : 0;
    if (f >= 4910 && f <= 4980)
        return int(f - 4000) / 5;
    if (f < 5925)
        return f > 5000 ? int(f - 5000) / 5 : 0;
    if (f == 5935)
        return 2;
    if (f <= 45000)
        return int(f - 5950) / 5;
    if (f >= 58320 && f <= 70200)
        return int(f - 56160) / 2160;
    return 0;
}

std::optional<int> bandCode(uint32_t f) {
    if (f >= 2400 && f < 2500)
        return 1;
    if (f >= 4900 && f <= 5924)
        return 2;
    if (f >= 5925 && f <= 7125)
        return 3;
    return std::nullopt;
}

std::optional<int> widthCode(uint32_t width) {
    switch (width) {
    case NL80211_CHAN_WIDTH_20_NOHT:
    case NL80211_CHAN_WIDTH_20:
        return 1;
    case NL80211_CHAN_WIDTH_40:
        return 2;
    case NL80211_CHAN_WIDTH_80:
        return 3;
    case NL80211_CHAN_WIDTH_80P80:
    case NL80211_CHAN_WIDTH_160:
        return 4;
    default:
        return std::nullopt; // 5/10 MHz, S1G and 320 MHz have no code of their own
    }
}

} // namespace kestrum::Nl80211Messages
