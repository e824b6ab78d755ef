// The Wi-Fi link from recorded nl80211 replies and the connection details from recorded route and resolver
// files; malformed replies and files give fewer values, never a crash.

#include "LinuxConnectionDetailsProvider.h"
#include "Nl80211LinkMetricsProvider.h"
#include "TestSupport.h"
#include "measurement/MeasurementJsonFields.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <random>

namespace kestrum {
// Readable failure messages: the record's JSON form.
void PrintTo(const NetworkConnectionDetails& details, std::ostream* os) {
    *os << QJsonDocument(json::encode(details).toObject()).toJson(QJsonDocument::Compact).toStdString();
}
} // namespace kestrum

using namespace kestrum;
using test::fixture;

namespace {

// Replies read from a recorded folder: one file per request, one reply message per line in hex; a
// missing file is a request that failed.
class RecordedNl80211 : public Nl80211Querying {
public:
    explicit RecordedNl80211(QString folder) : m_folder(std::move(folder)) {}
    std::optional<Nl80211Replies> query(const QString& interfaceName) override {
        Nl80211Replies replies;
        replies.interfaceName = interfaceName;
        replies.interface = read(QStringLiteral("interface"));
        replies.scan = read(QStringLiteral("scan"));
        replies.station = read(QStringLiteral("station"));
        replies.survey = read(QStringLiteral("survey"));
        replies.regulatory = read(QStringLiteral("reg"));
        return replies;
    }

private:
    std::optional<std::vector<QByteArray>> read(const QString& kind) const {
        QFile file(m_folder + u'/' + kind + QStringLiteral(".hex"));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        std::vector<QByteArray> messages;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.trimmed().isEmpty())
                messages.push_back(QByteArray::fromHex(line.trimmed()));
        return messages;
    }
    QString m_folder;
};

class NoNl80211Family : public Nl80211Querying {
public:
    std::optional<Nl80211Replies> query(const QString&) override { return std::nullopt; }
};

class FixedReplies : public Nl80211Querying {
public:
    explicit FixedReplies(Nl80211Replies replies) : m_replies(std::move(replies)) {}
    std::optional<Nl80211Replies> query(const QString& name) override {
        Nl80211Replies out = m_replies;
        out.interfaceName = name;
        return out;
    }

private:
    Nl80211Replies m_replies;
};

QString wifiFixture(const char* name) {
    return fixture(QStringLiteral("wifi-links/") + QLatin1String(name));
}

Nl80211LinkMetricsProvider::Report readRecorded(const char* name) {
    Nl80211LinkMetricsProvider provider(wifiFixture(name) + QStringLiteral("/sys"),
                                        std::make_unique<RecordedNl80211>(wifiFixture(name)));
    return provider.readReport();
}

// Netlink attributes as the kernel writes them: length, type, payload, padding to four bytes.
QByteArray attribute(uint16_t type, const QByteArray& payload) {
    QByteArray out;
    const uint16_t length = uint16_t(4 + payload.size());
    out.append(reinterpret_cast<const char*>(&length), 2);
    out.append(reinterpret_cast<const char*>(&type), 2);
    out.append(payload);
    out.append(QByteArray((4 - payload.size() % 4) % 4, '\0'));
    return out;
}
QByteArray u32(uint16_t type, uint32_t value) {
    return attribute(type, QByteArray(reinterpret_cast<const char*>(&value), 4));
}

} // namespace

TEST(Nl80211LinkMetricsProvider, RecordedLinksMapToStandardBandWidthAndSecurity) {
    using S = WiFiStandard;
    using B = WiFiBand;
    using Sec = WiFiSecurity;
    struct Case {
        const char* name;
        const char* interface;
        const char* ssid;
        const char* bssid;
        S standard;
        B band;
        int channel;
        std::optional<int> width;
        Sec security;
        int rssi;
        std::optional<int> noise;
        double rate;
        std::optional<QString> country;
    };
    const Case cases[] = {
        {"wifi6e-wpa3", "wlp0s20f3", "Ev Ağı 6E", "3c:7c:3f:11:22:33", S::wifi6E, B::sixGHz, 1, 160,
         Sec::wpa3Personal, -57, -92, 2401.9, QStringLiteral("TR")},
        // No SSID, channel or width from the driver: they come from the access point and the rate; the
        // signal from the scan entry; no noise; the world domain "00" is no country.
        {"wifi5-transition-no-noise", "wlan0", "Cafe", "f4:92:bf:01:02:03", S::wifi5, B::fiveGHz, 36, 80,
         Sec::wpa3Transition, -61, std::nullopt, 866.7, std::nullopt},
        {"wifi4-enterprise", "wlan0", "corp", "00:1a:1e:aa:bb:cc", S::wifi4, B::twoPointFourGHz, 6, 40,
         Sec::wpaMixedEnterprise, -63, -90, 300, QStringLiteral("DE")},
        // 320 MHz has no width code of its own.
        {"wifi7-owe-transition-320", "wlp1s0", "Guest", "9c:53:22:10:20:30", S::wifi7, B::sixGHz, 29,
         std::nullopt, Sec::oweTransition, -51, -94, 5764.7, QStringLiteral("US")},
        // Only beacon elements, privacy without RSN or WPA, a legacy rate; no regulatory answer.
        {"legacy-wep-beacon-only", "wlan0", "old-router", "00:0f:66:12:34:56", S::legacy, B::twoPointFourGHz,
         1, 20, Sec::wep, -69, -93, 54, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto report = readRecorded(c.name);
        ASSERT_EQ(report.status, Nl80211LinkMetricsProvider::Status::associated);
        const WiFiLinkMetrics& link = report.metrics;
        EXPECT_EQ(link.details.interfaceName, QString::fromLatin1(c.interface));
        EXPECT_EQ(link.details.networkName, QString::fromUtf8(c.ssid));
        EXPECT_EQ(link.details.accessPointIdentifier, QString::fromLatin1(c.bssid));
        EXPECT_EQ(link.details.standard, c.standard);
        EXPECT_EQ(link.details.band, c.band);
        EXPECT_EQ(link.channel, c.channel);
        EXPECT_EQ(link.details.channelWidthMHz, c.width);
        EXPECT_EQ(link.details.security, c.security);
        EXPECT_EQ(link.rssi, c.rssi);
        EXPECT_EQ(link.noise, c.noise);
        ASSERT_TRUE(link.transmitRateMbps);
        EXPECT_DOUBLE_EQ(*link.transmitRateMbps, c.rate);
        EXPECT_EQ(link.details.countryCode, c.country);
    }
}

TEST(Nl80211LinkMetricsProvider, NoLinkSaysWhy) {
    QTemporaryDir wired;
    test::writeFile(wired.path() + QStringLiteral("/class/net/enp3s0/uevent"), "INTERFACE=enp3s0\n");
    struct Case {
        const char* name;
        QString sys;
        std::function<std::unique_ptr<Nl80211Querying>()> client;
        Nl80211LinkMetricsProvider::Status status;
        const char* reason;
    };
    const Case cases[] = {
        {"no Wi-Fi interface", wired.path(), [] { return std::make_unique<NoNl80211Family>(); },
         Nl80211LinkMetricsProvider::Status::noHardware, "Bu bilgisayarda Wi-Fi donanımı bulunamadı."},
        {"no nl80211 family", wifiFixture("wifi6e-wpa3") + QStringLiteral("/sys"),
         [] { return std::make_unique<NoNl80211Family>(); },
         Nl80211LinkMetricsProvider::Status::nl80211Unavailable,
         "Çekirdeğin Wi-Fi arayüzüne (nl80211) ulaşılamadı."},
        {"in range of an access point, associated with none",
         wifiFixture("not-associated") + QStringLiteral("/sys"),
         [] { return std::make_unique<RecordedNl80211>(wifiFixture("not-associated")); },
         Nl80211LinkMetricsProvider::Status::notAssociated, "Wi-Fi bir ağa bağlı değil."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Nl80211LinkMetricsProvider provider(c.sys, c.client());
        const auto report = provider.readReport();
        EXPECT_EQ(report.status, c.status);
        EXPECT_EQ(Nl80211LinkMetricsProvider::unavailableReason(report.status), QString::fromUtf8(c.reason));
        EXPECT_FALSE(report.metrics.details.networkName);
        EXPECT_FALSE(report.metrics.rssi);
        EXPECT_FALSE(report.metrics.details.security);
    }
}

TEST(Nl80211LinkMetricsProvider, MalformedRepliesGiveFewerValuesNeverACrash) {
    constexpr uint16_t ifname = 4, ssid = 52, frequency = 38, bss = 47, staInfo = 21;
    const QByteArray bssid = QByteArray::fromHex("3c7c3f112233");
    const auto scanEntry = [&](const QByteArray& id, const QByteArray& elements) {
        return attribute(bss, attribute(1, id) + u32(2, 5180) + attribute(6, elements) + u32(9, 1));
    };
    const QByteArray ssidElement = QByteArray::fromHex("0004") + "Cafe";
    struct Case {
        const char* name;
        Nl80211Replies replies;
        bool associated;
        std::optional<WiFiSecurity> security;
        std::optional<int> rssi;
    };
    Nl80211Replies overlongName;
    // The name claims 200 bytes; the stream holds 8: nothing after it is trusted.
    overlongName.interface = {{QByteArray::fromHex("cc000400") + "wlan0\0\0\0" + u32(frequency, 2412)}};
    Nl80211Replies shortBssid;
    shortBssid.scan = {{scanEntry(bssid.left(5), ssidElement)}};
    Nl80211Replies truncatedRSN;
    // RSN that stops after its group cipher: the AKM list defaults to 802.1X.
    truncatedRSN.scan = {{scanEntry(bssid, ssidElement + QByteArray::fromHex("30060100000fac04"))}};
    Nl80211Replies overrunElement;
    // An element whose length runs past the end: the elements before it still count (WPA2 Personal).
    overrunElement.scan = {
        {scanEntry(bssid, ssidElement + QByteArray::fromHex("30120100000fac040100000fac040100000fac02") +
                              QByteArray::fromHex("dd40"))}};
    Nl80211Replies emptySignal;
    // A signal attribute without a payload is no signal; the scan entry's is not there either.
    emptySignal.scan = {{scanEntry(bssid, ssidElement)}};
    emptySignal.station = {{attribute(staInfo, attribute(7, {}))}};
    Nl80211Replies garbageNests;
    garbageNests.interface = {{attribute(ssid, "Cafe") + attribute(ifname, "wlan0")}};
    garbageNests.scan = {{attribute(bss, QByteArray::fromHex("ffff0100deadbeef"))}};
    garbageNests.station = {{attribute(staInfo, QByteArray::fromHex("0800"))}};
    garbageNests.survey = {{attribute(84, QByteArray(3, '\x7f'))}};
    garbageNests.regulatory = {{attribute(33, "T")}};
    const Case cases[] = {
        {"overlong interface name", overlongName, false, std::nullopt, std::nullopt},
        {"five-byte BSSID", shortBssid, false, std::nullopt, std::nullopt},
        {"RSN without AKM list", truncatedRSN, true, WiFiSecurity::wpa2Enterprise, std::nullopt},
        {"element past the end", overrunElement, true, WiFiSecurity::wpa2Personal, std::nullopt},
        {"signal without payload", emptySignal, true, WiFiSecurity::open, std::nullopt},
        {"garbage in every nest", garbageNests, true, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool associated = false;
        const WiFiLinkMetrics link =
            Nl80211LinkMetricsProvider::assemble(c.replies, std::nullopt, &associated);
        EXPECT_EQ(associated, c.associated);
        EXPECT_EQ(link.details.security, c.security);
        EXPECT_EQ(link.rssi, c.rssi);
        EXPECT_FALSE(link.noise);
        EXPECT_FALSE(link.details.countryCode);
    }

    // Every recorded reply cut at every length, and with bytes flipped: whatever is left parses or is
    // dropped. What fails here is a crash, or, under the address sanitizer, a read past a buffer.
    std::mt19937 random(20240611);
    for (const char* name : {"wifi6e-wpa3", "wifi5-transition-no-noise", "wifi4-enterprise",
                             "wifi7-owe-transition-320", "legacy-wep-beacon-only"}) {
        SCOPED_TRACE(name);
        const Nl80211Replies full = *RecordedNl80211(wifiFixture(name)).query(QStringLiteral("wlan0"));
        for (auto member : {&Nl80211Replies::interface, &Nl80211Replies::scan, &Nl80211Replies::station,
                            &Nl80211Replies::survey, &Nl80211Replies::regulatory}) {
            if (!(full.*member))
                continue;
            for (size_t m = 0; m < (full.*member)->size(); ++m) {
                const QByteArray message = (*(full.*member))[m];
                for (qsizetype cut = 0; cut < message.size(); ++cut) {
                    Nl80211Replies damaged = full;
                    (*(damaged.*member))[m] = message.left(cut);
                    bool associated = false;
                    Nl80211LinkMetricsProvider::assemble(damaged, std::nullopt, &associated);
                }
                for (int flip = 0; flip < 64 && !message.isEmpty(); ++flip) {
                    Nl80211Replies damaged = full;
                    QByteArray& bytes = (*(damaged.*member))[m];
                    bytes[qsizetype(random() % uint32_t(bytes.size()))] = char(random() & 0xff);
                    bool associated = false;
                    Nl80211LinkMetricsProvider::assemble(damaged, std::nullopt, &associated);
                }
            }
        }
    }
}

TEST(Nl80211Messages, SecurityFromNetworkManagerFlagsWhenTheElementsAreMissing) {
    struct Case {
        uint32_t flags, wpa, rsn;
        std::optional<WiFiSecurity> expected;
    };
    const Case cases[] = {
        {0x0, 0x0, 0x0, WiFiSecurity::open},
        {0x1, 0x0, 0x0, WiFiSecurity::wep},
        {0x1, 0x0, 0x100, WiFiSecurity::wpa2Personal},
        {0x1, 0x100, 0x100, WiFiSecurity::wpaMixedPersonal},
        {0x1, 0x100, 0x0, WiFiSecurity::wpaPersonal},
        {0x1, 0x0, 0x400, WiFiSecurity::wpa3Personal},
        {0x1, 0x0, 0x500, WiFiSecurity::wpa3Transition},
        {0x1, 0x0, 0x200, WiFiSecurity::wpa2Enterprise},
        {0x1, 0x200, 0x0, WiFiSecurity::wpaEnterprise},
        {0x0, 0x0, 0x800, WiFiSecurity::owe},
        {0x0, 0x0, 0x1000, WiFiSecurity::oweTransition},
    };
    // The access point's elements are not there: NetworkManager's flags decide.
    Nl80211Replies replies;
    replies.interface = {{attribute(52, "corp") + attribute(4, QByteArray("wlan0\0", 6))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags << ' ' << c.wpa << ' ' << c.rsn);
        bool associated = false;
        const auto link = Nl80211LinkMetricsProvider::assemble(
            replies, Nl80211Messages::securityFromNetworkManager(c.flags, c.wpa, c.rsn), &associated);
        EXPECT_TRUE(associated);
        EXPECT_EQ(link.details.security, c.expected);
    }
}

TEST(LinuxConnectionDetailsProvider, RecordedRoutesAddressesAndResolverFiles) {
    using Address = LinuxConnectionDetailsProvider::InterfaceAddress;
    struct Case {
        const char* name;
        std::vector<Address> addresses;
        std::set<QString> pathInterfaces;
        NetworkConnectionDetails expected;
    };
    const auto text = [](const char* value) { return std::optional<QString>(QString::fromLatin1(value)); };
    const Case cases[] = {
        // The lower metric wins; the global IPv6 address before the link-local one; the systemd-resolved
        // stub gives way to the servers behind it, each once.
        {"dual-stack-resolved",
         {{QStringLiteral("wlp0s20f3"), AF_INET, QStringLiteral("192.168.1.21")},
          {QStringLiteral("enp3s0"), AF_INET6, QStringLiteral("fe80::a236:bcff:fe5e:1102")},
          {QStringLiteral("enp3s0"), AF_INET, QStringLiteral("192.168.1.20")},
          {QStringLiteral("enp3s0"), AF_INET6, QStringLiteral("2a02:8108::20")}},
         {QStringLiteral("enp3s0"), QStringLiteral("wlp0s20f3")},
         {text("enp3s0"),
          text("192.168.1.20"),
          text("2a02:8108::20"),
          text("192.168.1.254"),
          text("fe80::1"),
          {QStringLiteral("192.168.1.254"), QStringLiteral("fd00::1")}}},
        // No IPv4 route: the IPv6 default route names the interface; only a link-local address; a scoped
        // server kept with its scope, a line that is no address dropped.
        {"ipv6-only-scoped-dns",
         {{QStringLiteral("wlan0"), AF_INET6, QStringLiteral("fe80::1c2d:3eff:fe4f:5a6b")}},
         {QStringLiteral("wlan0")},
         {text("wlan0"),
          std::nullopt,
          text("fe80::1c2d:3eff:fe4f:5a6b"),
          std::nullopt,
          text("fe80::1"),
          {QStringLiteral("fe80::1%wlan0"), QStringLiteral("2001:db8::53")}}},
        {"stub-only",
         {{QStringLiteral("eth0"), AF_INET, QStringLiteral("10.0.2.15")}},
         {QStringLiteral("eth0")},
         {text("eth0"),
          text("10.0.2.15"),
          std::nullopt,
          text("10.0.2.2"),
          std::nullopt,
          {QStringLiteral("127.0.0.53")}}},
        // A rejecting default route is no route: the path's interface stands in, without routers.
        {"reject-and-link-only",
         {{QStringLiteral("eth0"), AF_INET, QStringLiteral("10.0.2.15")}},
         {QStringLiteral("eth1"), QStringLiteral("eth0")},
         {text("eth0"), text("10.0.2.15"), std::nullopt, std::nullopt, std::nullopt, {}}},
        {"malformed", {}, {}, {text("eth0"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString root = fixture(QStringLiteral("connection-details/") + QLatin1String(c.name));
        LinuxConnectionDetailsProvider provider(
            {root + QStringLiteral("/proc"), root + QStringLiteral("/run"), root + QStringLiteral("/etc")},
            [addresses = c.addresses] { return addresses; });
        EXPECT_EQ(provider.read(c.pathInterfaces), c.expected);
    }
}

TEST(LinuxConnectionDetailsProvider, BusServersComeFirstAndMissingFilesLeaveFieldsAbsent) {
    class Bus : public DnsServerReading {
    public:
        std::optional<std::vector<QString>> nm, resolved;
        std::optional<std::vector<QString>> networkManagerServers() override { return nm; }
        std::optional<std::vector<QString>> resolvedServers() override { return resolved; }
    };
    const QString root = fixture(QStringLiteral("connection-details/dual-stack-resolved"));
    const LinuxConnectionDetailsProvider::Roots roots{
        root + QStringLiteral("/proc"), root + QStringLiteral("/run"), root + QStringLiteral("/etc")};
    struct Case {
        const char* name;
        std::optional<std::vector<QString>> nm, resolved;
        std::vector<QString> expected;
    };
    const Case cases[] = {
        {"NetworkManager first",
         std::vector<QString>{QStringLiteral("9.9.9.9")},
         std::vector<QString>{QStringLiteral("1.1.1.1")},
         {QStringLiteral("9.9.9.9")}},
        {"an empty answer passes to the next source",
         std::vector<QString>{},
         std::vector<QString>{QStringLiteral("1.1.1.1")},
         {QStringLiteral("1.1.1.1")}},
        {"no bus services: the files",
         std::nullopt,
         std::nullopt,
         {QStringLiteral("192.168.1.254"), QStringLiteral("fd00::1")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bus = std::make_unique<Bus>();
        bus->nm = c.nm;
        bus->resolved = c.resolved;
        LinuxConnectionDetailsProvider provider(
            roots, [] { return std::vector<LinuxConnectionDetailsProvider::InterfaceAddress>{}; },
            std::move(bus));
        EXPECT_EQ(provider.read({}).dnsServerAddresses, c.expected);
    }
    QTemporaryDir empty;
    LinuxConnectionDetailsProvider nothing({empty.path(), empty.path(), empty.path()}, [] {
        return std::vector<LinuxConnectionDetailsProvider::InterfaceAddress>{};
    });
    EXPECT_EQ(nothing.read({}), NetworkConnectionDetails::empty());
}
