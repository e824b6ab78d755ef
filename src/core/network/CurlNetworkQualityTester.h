#pragma once

#include "HTTPTransport.h"
#include "HostResolver.h"
#include "NetworkQualityAnalyzer.h"
#include "NetworkTesting.h"
#include "foundation/Clocks.h"

#include <QUrl>
#include <memory>

namespace kestrum {

// The quality test over Kestrum's HTTP client: one timed DNS lookup of the endpoint's host, then
// `probeCount` HEAD requests one after another.
class CurlNetworkQualityTester : public NetworkQualityTesting {
public:
    struct Options {
        int probeCount = 5;
        std::optional<QString> caBundleFile;       // extra trusted certificates for a private server
        std::shared_ptr<HTTPTransporting> session; // default: a client made once, here
        std::shared_ptr<HostResolving> resolver;   // default: getaddrinfo
        MonotonicClock uptime;                     // default: the system's monotonic clock
        DateProvider dateProvider;
        std::function<QUuid()> idProvider;
        double requestTimeoutSeconds = 6;  // no progress for this long fails a probe
        double resourceTimeoutSeconds = 8; // a whole probe
    };

    explicit CurlNetworkQualityTester(QUrl endpoint);
    CurlNetworkQualityTester(QUrl endpoint, Options options, NetworkQualityAnalyzer analyzer = {});

    QCoro::Task<NetworkQualityResult> run(std::stop_token stop) override;

    const QUrl& endpoint() const { return m_endpoint; }
    const QString& hostname() const { return m_hostname; }
    int probeCount() const { return m_probeCount; }

private:
    QCoro::Task<std::optional<double>> probe(std::stop_token stop);

    QUrl m_endpoint;
    QString m_hostname;
    int m_probeCount;
    Options m_options;
    std::shared_ptr<HTTPTransporting> m_session;
    NetworkQualityAnalyzer m_analyzer;
};

} // namespace kestrum
