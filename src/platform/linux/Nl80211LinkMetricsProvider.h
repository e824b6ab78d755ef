#pragma once

#include "Nl80211Messages.h"
#include "measurement/StatsProviding.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace kestrum {

// What the kernel answered for one Wi-Fi interface: each list holds the attribute streams of the reply
// messages of one request (absent when the request failed).
struct Nl80211Replies {
    QString interfaceName;
    std::optional<std::vector<QByteArray>> interface;  // GET_INTERFACE
    std::optional<std::vector<QByteArray>> scan;       // GET_SCAN dump
    std::optional<std::vector<QByteArray>> station;    // GET_STATION for the access point
    std::optional<std::vector<QByteArray>> survey;     // GET_SURVEY dump
    std::optional<std::vector<QByteArray>> regulatory; // GET_REG
};

// Asks nl80211 about an interface. Absent when the nl80211 family cannot be reached at all.
class Nl80211Querying {
public:
    virtual ~Nl80211Querying() = default;
    virtual std::optional<Nl80211Replies> query(const QString& interfaceName) = 0;
};

// The real one: libnl-genl, one socket per call, unprivileged requests only, every reply bounded in time.
class LibnlNl80211Client : public Nl80211Querying {
public:
    std::optional<Nl80211Replies> query(const QString& interfaceName) override;
};

// Security of the active access point as NetworkManager reports it, for when the access point's
// information elements cannot be read.
class WiFiSecurityFallbackReading {
public:
    virtual ~WiFiSecurityFallbackReading() = default;
    virtual std::optional<WiFiSecurityEvidence> read(const QString& interfaceName) = 0;
};

// The Wi-Fi link of the machine: the first associated Wi-Fi interface (by name), read through nl80211.
class Nl80211LinkMetricsProvider : public WiFiLinkMetricsProviding {
public:
    enum class Status { associated, noHardware, notAssociated, nl80211Unavailable };
    struct Report {
        Status status = Status::noHardware;
        WiFiLinkMetrics metrics;
    };

    // `sys` is the sysfs root the Wi-Fi interfaces are found under.
    Nl80211LinkMetricsProvider(QString sys, std::unique_ptr<Nl80211Querying> client = nullptr,
                               std::unique_ptr<WiFiSecurityFallbackReading> securityFallback = nullptr);

    WiFiLinkMetrics read() override { return readReport().metrics; }
    Report readReport();

    // Wi-Fi interfaces under `sys`/class/net, sorted by name.
    static std::vector<QString> wifiInterfaces(const QString& sys);
    // The link from one interface's replies; `associated` false when it names no access point.
    static WiFiLinkMetrics assemble(const Nl80211Replies& replies,
                                    const std::optional<WiFiSecurityEvidence>& securityFallback,
                                    bool* associated);
    // The reason shown when there is no link to show.
    static QString unavailableReason(Status status);

private:
    QString m_sys;
    std::unique_ptr<Nl80211Querying> m_client;
    std::unique_ptr<WiFiSecurityFallbackReading> m_securityFallback;
};

} // namespace kestrum
