#include "Nl80211LinkMetricsProvider.h"

#include "SysfsFiles.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "network/CoreWLANDetailsMapper.h"

#include <linux/nl80211.h>
#include <net/if.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/netlink.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace kestrum {

namespace {

constexpr int kMaximumReceiveRounds = 256;

struct Collector {
    std::vector<QByteArray> messages;
    bool done = false;
    int error = 0;
};

int onValid(nl_msg* message, void* context) {
    auto* collector = static_cast<Collector*>(context);
    nlmsghdr* header = nlmsg_hdr(message);
    if (header->nlmsg_len < NLMSG_HDRLEN + GENL_HDRLEN)
        return NL_SKIP;
    auto* generic = static_cast<genlmsghdr*>(nlmsg_data(header));
    const int length = genlmsg_attrlen(generic, 0);
    if (length > 0)
        collector->messages.emplace_back(reinterpret_cast<const char*>(genlmsg_attrdata(generic, 0)), length);
    return NL_OK;
}

int onFinish(nl_msg*, void* context) {
    static_cast<Collector*>(context)->done = true;
    return NL_SKIP;
}

int onAck(nl_msg*, void* context) {
    static_cast<Collector*>(context)->done = true;
    return NL_STOP;
}

int onError(sockaddr_nl*, nlmsgerr* error, void* context) {
    auto* collector = static_cast<Collector*>(context);
    collector->error = error->error;
    collector->done = true;
    return NL_STOP;
}

class Session {
public:
    Session() {
        m_socket = nl_socket_alloc();
        if (!m_socket)
            return;
        if (genl_connect(m_socket) != 0)
            return;
        nl_socket_enable_msg_peek(m_socket);
        // A kernel that never answers must not hold the sampler.
        timeval timeout{1, 0};
        setsockopt(nl_socket_get_fd(m_socket), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        m_family = genl_ctrl_resolve(m_socket, "nl80211");
    }
    ~Session() {
        if (m_socket)
            nl_socket_free(m_socket);
    }
    bool ready() const { return m_socket && m_family >= 0; }

    std::optional<std::vector<QByteArray>> request(uint8_t command, bool dump, unsigned interfaceIndex,
                                                   const QByteArray& mac = {}) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            nl_msg* message = nlmsg_alloc();
            if (!message)
                return std::nullopt;
            genlmsg_put(message, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, dump ? NLM_F_DUMP : 0, command, 0);
            if (interfaceIndex)
                nla_put_u32(message, NL80211_ATTR_IFINDEX, interfaceIndex);
            if (mac.size() == 6)
                nla_put(message, NL80211_ATTR_MAC, 6, mac.constData());
            Collector collector;
            nl_socket_modify_cb(m_socket, NL_CB_VALID, NL_CB_CUSTOM, onValid, &collector);
            nl_socket_modify_cb(m_socket, NL_CB_FINISH, NL_CB_CUSTOM, onFinish, &collector);
            nl_socket_modify_cb(m_socket, NL_CB_ACK, NL_CB_CUSTOM, onAck, &collector);
            nl_socket_modify_err_cb(m_socket, NL_CB_CUSTOM, onError, &collector);
            const int sent = nl_send_auto(m_socket, message);
            nlmsg_free(message);
            if (sent < 0)
                return std::nullopt;
            int status = 0;
            for (int round = 0; !collector.done && round < kMaximumReceiveRounds; ++round) {
                status = nl_recvmsgs_default(m_socket);
                if (status < 0)
                    break;
            }
            if (status == -NLE_DUMP_INTR)
                continue; // the list changed while it was read: read it again
            if (!collector.done || status < 0 || collector.error < 0)
                return std::nullopt;
            return collector.messages;
        }
        return std::nullopt;
    }

private:
    nl_sock* m_socket = nullptr;
    int m_family = -1;
};

std::optional<QString> hexIdentifier(const QByteArray& bytes) {
    if (bytes.size() != 6)
        return std::nullopt;
    return QString::fromLatin1(bytes.toHex(':'));
}

std::optional<QString> ssidText(const std::optional<QByteArray>& ssid) {
    if (!ssid || ssid->isEmpty() || ssid->count('\0') == ssid->size())
        return std::nullopt;
    return CoreWLANDetailsMapper::text(QString::fromUtf8(*ssid));
}

} // namespace

std::optional<Nl80211Replies> LibnlNl80211Client::query(const QString& interfaceName) {
    Session session;
    if (!session.ready())
        return std::nullopt;
    Nl80211Replies replies;
    replies.interfaceName = interfaceName;
    const unsigned index = if_nametoindex(interfaceName.toLocal8Bit().constData());
    if (index == 0)
        return replies;
    replies.interface = session.request(NL80211_CMD_GET_INTERFACE, false, index);
    replies.scan = session.request(NL80211_CMD_GET_SCAN, true, index);
    QByteArray accessPoint;
    if (replies.scan) {
        for (const QByteArray& message : *replies.scan) {
            const auto bss = Nl80211Messages::parseScanResult(message);
            if (bss && bss->status == NL80211_BSS_STATUS_ASSOCIATED) {
                accessPoint = bss->bssid;
                break;
            }
        }
    }
    replies.station = accessPoint.isEmpty()
                          ? session.request(NL80211_CMD_GET_STATION, true, index)
                          : session.request(NL80211_CMD_GET_STATION, false, index, accessPoint);
    replies.survey = session.request(NL80211_CMD_GET_SURVEY, true, index);
    replies.regulatory = session.request(NL80211_CMD_GET_REG, false, 0);
    return replies;
}

Nl80211LinkMetricsProvider::Nl80211LinkMetricsProvider(
    QString sys, std::unique_ptr<Nl80211Querying> client,
    std::unique_ptr<WiFiSecurityFallbackReading> securityFallback)
    : m_sys(std::move(sys)), m_client(client ? std::move(client) : std::make_unique<LibnlNl80211Client>()),
      m_securityFallback(std::move(securityFallback)) {}

std::vector<QString> Nl80211LinkMetricsProvider::wifiInterfaces(const QString& sys) {
    std::vector<QString> names;
    const QString net = sys + QStringLiteral("/class/net");
    for (const QString& name : sysfs::listDirectory(net)) {
        const QString base = net + u'/' + name;
        const QString uevent = sysfs::readText(base + QStringLiteral("/uevent")).value_or(QString());
        if (uevent.contains(QStringLiteral("DEVTYPE=wlan")) ||
            sysfs::exists(base + QStringLiteral("/phy80211")) ||
            sysfs::exists(base + QStringLiteral("/wireless")))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

WiFiLinkMetrics
Nl80211LinkMetricsProvider::assemble(const Nl80211Replies& replies,
                                     const std::optional<WiFiSecurityEvidence>& securityFallback,
                                     bool* associated) {
    WiFiLinkMetrics metrics;
    metrics.details.interfaceName = CoreWLANDetailsMapper::text(replies.interfaceName);

    std::optional<Nl80211InterfaceInfo> interface;
    if (replies.interface)
        for (const QByteArray& message : *replies.interface)
            if ((interface = Nl80211Messages::parseInterface(message)))
                break;
    if (interface && interface->name)
        metrics.details.interfaceName = CoreWLANDetailsMapper::text(*interface->name);

    std::optional<Nl80211BssInfo> bss;
    if (replies.scan) {
        for (const QByteArray& message : *replies.scan) {
            const auto entry = Nl80211Messages::parseScanResult(message);
            if (entry && entry->status == NL80211_BSS_STATUS_ASSOCIATED) {
                bss = entry;
                break;
            }
        }
    }
    std::optional<Nl80211StationInfo> station;
    if (replies.station)
        for (const QByteArray& message : *replies.station)
            if ((station = Nl80211Messages::parseStation(message)))
                break;

    std::optional<QString> ssid = interface ? ssidText(interface->ssid) : std::nullopt;
    if (!ssid && bss)
        ssid = ssidText(Nl80211Messages::ssidFromInformationElements(bss->informationElements));
    const bool isAssociated = bss.has_value() || ssid.has_value();
    if (associated)
        *associated = isAssociated;
    if (!isAssociated)
        return metrics;

    metrics.details.networkName = ssid;
    if (bss)
        metrics.details.accessPointIdentifier = hexIdentifier(bss->bssid);

    // 0: unknown.
    uint32_t frequency = interface && interface->frequencyMHz ? *interface->frequencyMHz : 0;
    if (frequency == 0 && bss && bss->frequencyMHz)
        frequency = *bss->frequencyMHz;
    std::optional<WiFiBand> band;
    if (frequency > 0) {
        if (const auto code = Nl80211Messages::bandCode(frequency))
            band = CoreWLANDetailsMapper::band(*code);
        if (const int channel = Nl80211Messages::channelFromFrequency(frequency); channel > 0)
            metrics.channel = channel;
    }
    metrics.details.band = band;

    std::optional<int> width;
    if (interface && interface->channelWidth)
        if (const auto code = Nl80211Messages::widthCode(*interface->channelWidth))
            width = CoreWLANDetailsMapper::channelWidthMHz(*code);
    if (!width && station && station->rateWidthMHz) {
        const int mhz = *station->rateWidthMHz;
        const int code = mhz == 20 ? 1 : mhz == 40 ? 2 : mhz == 80 ? 3 : mhz == 160 ? 4 : 0;
        width = CoreWLANDetailsMapper::channelWidthMHz(code);
    }
    metrics.details.channelWidthMHz = width;

    if (station && station->rateKind) {
        using Kind = Nl80211StationInfo::RateKind;
        int phyMode = 0;
        switch (*station->rateKind) {
        case Kind::eht:
            phyMode = 7;
            break;
        case Kind::he:
            phyMode = 6;
            break;
        case Kind::vht:
            phyMode = 5;
            break;
        case Kind::ht:
            phyMode = 4;
            break;
        case Kind::legacy:
            phyMode = band == WiFiBand::twoPointFourGHz ? 3 : 1; // 802.11g / 802.11a
            break;
        }
        metrics.details.standard = CoreWLANDetailsMapper::standard(phyMode, band);
    }

    std::optional<WiFiSecurityEvidence> evidence;
    if (bss && !bss->informationElements.isEmpty())
        evidence = Nl80211Messages::securityFromInformationElements(bss->informationElements, bss->privacy);
    else if (securityFallback)
        evidence = securityFallback;
    if (evidence)
        if (const auto code = Nl80211Messages::securityCode(*evidence))
            metrics.details.security = CoreWLANDetailsMapper::security(*code);

    std::optional<int> rssi = station ? station->signalDbm : std::nullopt;
    if (!rssi && bss)
        rssi = bss->signalDbm;
    if (rssi && *rssi != 0)
        metrics.rssi = rssi;
    if (station && station->transmitRateMbps && *station->transmitRateMbps > 0)
        metrics.transmitRateMbps = station->transmitRateMbps;

    if (replies.survey) {
        for (const QByteArray& message : *replies.survey) {
            const auto survey = Nl80211Messages::parseSurvey(message);
            if (!survey)
                continue;
            const bool current = survey->inUse || (frequency > 0 && survey->frequencyMHz == frequency);
            if (current && survey->noiseDbm && *survey->noiseDbm != 0) {
                metrics.noise = survey->noiseDbm;
                if (survey->inUse)
                    break;
            }
        }
    }
    if (replies.regulatory)
        for (const QByteArray& message : *replies.regulatory)
            if ((metrics.details.countryCode = Nl80211Messages::parseRegulatoryCountry(message)))
                break;
    return metrics;
}

Nl80211LinkMetricsProvider::Report Nl80211LinkMetricsProvider::readReport() {
    Report report;
    const std::vector<QString> interfaces = wifiInterfaces(m_sys);
    if (interfaces.empty())
        return report;
    report.status = Status::notAssociated;
    report.metrics.details.interfaceName = interfaces.front();
    for (const QString& name : interfaces) {
        const std::optional<Nl80211Replies> replies = m_client->query(name);
        if (!replies) {
            qCInfo(lcPlatform) << "nl80211 is not available";
            report.status = Status::nl80211Unavailable;
            return report;
        }
        bool associated = false;
        const bool needsFallback = [&] {
            if (!m_securityFallback || !replies->scan)
                return bool(m_securityFallback);
            for (const QByteArray& message : *replies->scan) {
                const auto bss = Nl80211Messages::parseScanResult(message);
                if (bss && bss->status == NL80211_BSS_STATUS_ASSOCIATED)
                    return bss->informationElements.isEmpty();
            }
            return true;
        }();
        const std::optional<WiFiSecurityEvidence> fallback =
            needsFallback && m_securityFallback ? m_securityFallback->read(name) : std::nullopt;
        WiFiLinkMetrics metrics = assemble(*replies, fallback, &associated);
        if (associated) {
            report.status = Status::associated;
            report.metrics = std::move(metrics);
            return report;
        }
    }
    return report;
}

QString Nl80211LinkMetricsProvider::unavailableReason(Status status) {
    switch (status) {
    case Status::associated:
        return {};
    case Status::noHardware:
        return trText("Bu bilgisayarda Wi-Fi donanımı bulunamadı.");
    case Status::notAssociated:
        return trText("Wi-Fi bir ağa bağlı değil.");
    case Status::nl80211Unavailable:
        return trText("Çekirdeğin Wi-Fi arayüzüne (nl80211) ulaşılamadı.");
    }
    return {};
}

} // namespace kestrum
