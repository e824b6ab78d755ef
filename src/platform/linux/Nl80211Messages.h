#pragma once

// What the kernel's nl80211 replies say about a Wi-Fi link, parsed from the attribute stream of each
// reply (the bytes after the generic-netlink header). Pure functions: a malformed or truncated stream
// gives fewer fields, never a crash.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <set>

namespace kestrum {

struct Nl80211InterfaceInfo {
    std::optional<QString> name;
    std::optional<QByteArray> ssid;
    std::optional<uint32_t> frequencyMHz;
    std::optional<uint32_t> channelWidth; // enum nl80211_chan_width
    bool operator==(const Nl80211InterfaceInfo&) const = default;
};

struct Nl80211BssInfo {
    QByteArray bssid; // 6 bytes
    std::optional<uint32_t> frequencyMHz;
    std::optional<uint32_t> status; // 1: associated
    bool privacy = false;           // capability bit 4
    QByteArray informationElements; // probe response IEs, else beacon IEs
    std::optional<int> signalDbm;   // from 1/100 dBm
    bool operator==(const Nl80211BssInfo&) const = default;
};

struct Nl80211StationInfo {
    enum class RateKind { legacy, ht, vht, he, eht };
    std::optional<int> signalDbm;
    std::optional<double> transmitRateMbps;
    std::optional<RateKind> rateKind;
    std::optional<int> rateWidthMHz; // from the rate's width flags; 20 when a rate names none
    bool operator==(const Nl80211StationInfo&) const = default;
};

struct Nl80211SurveyInfo {
    std::optional<uint32_t> frequencyMHz;
    std::optional<int> noiseDbm;
    bool inUse = false;
    bool operator==(const Nl80211SurveyInfo&) const = default;
};

// Security as the access point advertises it (information elements) or as NetworkManager reports it.
struct WiFiSecurityEvidence {
    bool privacy = false;
    bool hasRSN = false;
    std::set<int> rsnAKMs; // suite types under 00-0F-AC; other vendors' suites as 1000 + type
    bool hasWPA = false;
    std::set<int> wpaAKMs; // suite types under 00-50-F2
    bool oweTransition = false;
    bool operator==(const WiFiSecurityEvidence&) const = default;
};

namespace Nl80211Messages {

std::optional<Nl80211InterfaceInfo> parseInterface(QByteArrayView attributes);
std::optional<Nl80211BssInfo> parseScanResult(QByteArrayView attributes);
std::optional<Nl80211StationInfo> parseStation(QByteArrayView attributes);
std::optional<Nl80211SurveyInfo> parseSurvey(QByteArrayView attributes);
std::optional<QString> parseRegulatoryCountry(QByteArrayView attributes);

// Walks id(1) len(1) data[len] elements, stopping at an overrun.
WiFiSecurityEvidence securityFromInformationElements(QByteArrayView elements, bool privacy);
// The SSID element (id 0), when present.
std::optional<QByteArray> ssidFromInformationElements(QByteArrayView elements);
// NetworkManager AccessPoint Flags (privacy 0x1), WpaFlags and RsnFlags (PSK 0x100, 802.1X 0x200,
// SAE 0x400, OWE 0x800, OWE transition 0x1000).
WiFiSecurityEvidence securityFromNetworkManager(uint32_t flags, uint32_t wpaFlags, uint32_t rsnFlags);
// The platform security code (0 open … 15 OWE transition) the evidence amounts to; absent when it names
// nothing known.
std::optional<int> securityCode(const WiFiSecurityEvidence& evidence);

// Channel number of a frequency (0 when unknown), band code (1 2.4 GHz, 2 5 GHz, 3 6 GHz) and width code
// (1 20, 2 40, 3 80, 4 160 MHz) from nl80211's width enumeration.
int channelFromFrequency(uint32_t frequencyMHz);
std::optional<int> bandCode(uint32_t frequencyMHz);
std::optional<int> widthCode(uint32_t channelWidth);

} // namespace Nl80211Messages

} // namespace kestrum
