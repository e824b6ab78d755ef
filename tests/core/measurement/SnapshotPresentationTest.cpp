#include "measurement/SnapshotPresentation.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

std::optional<QString> rowValue(const PresentationGroup& group, const QString& label) {
    for (const PresentationRow& row : group.rows)
        if (row.label == label)
            return row.value;
    return std::nullopt;
}

PresentationGroup networkGroupOf(const NetworkStats& network) {
    SystemSnapshot snapshot = SystemSnapshot::empty(QUuid(), Date{0});
    snapshot.network = network;
    for (const PresentationGroup& group : SnapshotPresentation::groups(snapshot))
        if (group.key == u"network")
            return group;
    return {};
}

} // namespace

TEST(SnapshotPresentation, NetworkGroupShowsTheWiFiLinkAndTheConnectionDetails) {
    NetworkStats wifi = NetworkStats::disconnected();
    wifi.pathAvailability = MetricAvailability::available();
    wifi.isConnected = true;
    wifi.interfaceKind = NetworkInterfaceKind::wifi;
    wifi.wifiRSSI = -57;
    wifi.wifiConnectionDetails.networkName = QStringLiteral("Ev Ağı");
    wifi.wifiConnectionDetails.standard = WiFiStandard::wifi6E;
    wifi.wifiConnectionDetails.band = WiFiBand::twoPointFourGHz;
    wifi.wifiConnectionDetails.security = WiFiSecurity::wpa3Transition;
    wifi.connectionDetails.primaryInterfaceName = QStringLiteral("wlan0");
    wifi.connectionDetails.dnsServerAddresses = {QStringLiteral("192.168.1.1"), QStringLiteral("fd00::1")};

    NetworkStats wired = wifi;
    wired.interfaceKind = NetworkInterfaceKind::ethernet;

    NetworkStats offline = wifi;
    offline.isConnected = false;

    struct Case {
        const char* name;
        const NetworkStats& network;
        bool english;
        std::vector<std::pair<const char*, std::optional<const char*>>> rows; // absent: no such row
    };
    const Case cases[] = {
        {"Wi-Fi",
         wifi,
         false,
         {{"Ağ adı (SSID)", "Ev Ağı"},
          {"Standart", "Wi-Fi 6E (802.11ax)"},
          {"Bant", "2,4 GHz"},
          {"Güvenlik", "WPA2/WPA3 Kişisel"},
          // Not read: said so, never a zero or an empty cell.
          {"Kanal genişliği", "Kullanılamıyor"},
          {"Erişim noktası (BSSID)", "Kullanılamıyor"},
          {"Birincil arayüz", "wlan0"},
          {"Yerel IPv4", "Kullanılamıyor"},
          {"DNS sunucuları", "192.168.1.1, fd00::1"}}},
        {"Wi-Fi, in English",
         wifi,
         true,
         {{"Band", "2.4 GHz"}, {"Security", "WPA2/WPA3 Personal"}, {"Channel width", "Unavailable"}}},
        {"wired: no Wi-Fi rows, the connection rows stay",
         wired,
         false,
         {{"Standart", std::nullopt}, {"Birincil arayüz", "wlan0"}}},
        {"not connected", offline, false, {{"Standart", std::nullopt}, {"Birincil arayüz", std::nullopt}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScopedLanguage language(c.english);
        const PresentationGroup group = networkGroupOf(c.network);
        for (const auto& [label, value] : c.rows) {
            const auto shown = rowValue(group, QString::fromUtf8(label));
            EXPECT_EQ(shown, value ? std::optional(QString::fromUtf8(*value)) : std::nullopt) << label;
        }
    }
}
