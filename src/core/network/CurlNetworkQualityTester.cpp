#include "CurlNetworkQualityTester.h"

#include "CurlHTTPClient.h"
#include "NetworkLogging.h"
#include "NetworkTestErrors.h"
#include "foundation/Uuid.h"

#include <algorithm>
#include <cmath>
#include <qcoro/qcorofuture.h>

namespace kestrum {

CurlNetworkQualityTester::CurlNetworkQualityTester(QUrl endpoint)
    : CurlNetworkQualityTester(std::move(endpoint), Options{}) {}

CurlNetworkQualityTester::CurlNetworkQualityTester(QUrl endpoint, Options options,
                                                   NetworkQualityAnalyzer analyzer)
    : m_endpoint(std::move(endpoint)), m_hostname(m_endpoint.host()),
      m_probeCount(std::max(1, options.probeCount)), m_options(std::move(options)), m_analyzer(analyzer) {
    if (!m_options.resolver)
        m_options.resolver = std::make_shared<GetaddrinfoHostResolver>();
    if (!m_options.uptime)
        m_options.uptime = systemMonotonicClock();
    if (!m_options.dateProvider)
        m_options.dateProvider = systemDateProvider();
    if (!m_options.idProvider)
        m_options.idProvider = newUuid;
    m_session = m_options.session;
}

QCoro::Task<NetworkQualityResult> CurlNetworkQualityTester::run(std::stop_token stop) {
    // Only a secure endpoint with a host is ever probed.
    if (m_hostname.isEmpty() || m_endpoint.scheme().toLower() != u"https")
        throw makeError(NetworkQualityTestError::invalidEndpoint);

    // Made once, at the first run: a tester nobody runs costs no thread.
    if (!m_session) {
        CurlHTTPClient::Configuration configuration;
        configuration.caBundleFile = m_options.caBundleFile;
        m_session = std::make_shared<CurlHTTPClient>(configuration);
    }
    const std::optional<double> dns = co_await m_options.resolver->resolve(m_hostname, stop);
    if (!dns) {
        qCInfo(lcNetworkQuality) << "DNS resolution failed for" << m_hostname;
        throw makeError(NetworkQualityTestError::dnsResolutionFailed);
    }

    std::vector<std::optional<double>> outcomes;
    outcomes.reserve(size_t(m_probeCount));
    for (int i = 0; i < m_probeCount; ++i) {
        if (stop.stop_requested())
            throw CancellationError();
        outcomes.push_back(co_await probe(stop));
    }
    if (stop.stop_requested())
        throw CancellationError();
    co_return m_analyzer.makeResult(*dns, outcomes, m_options.dateProvider(), m_options.idProvider());
}

QCoro::Task<std::optional<double>> CurlNetworkQualityTester::probe(std::stop_token stop) {
    HTTPRequest request;
    request.method = "HEAD";
    request.url = m_endpoint;
    request.headers = {{"Cache-Control", "no-cache"}};
    request.idleTimeoutSeconds = m_options.requestTimeoutSeconds;
    request.totalTimeoutSeconds = m_options.resourceTimeoutSeconds;
    request.keepBody = false;
    const double t0 = m_options.uptime();
    std::optional<double> outcome;
    try {
        const HTTPResponse response = co_await m_session->send(request, stop);
        if (response.statusCode >= 200 && response.statusCode <= 399) {
            const double ms = (m_options.uptime() - t0) * 1000.0;
            outcome = std::isfinite(ms) ? std::max(0.0, ms) : ms;
        } else {
            qCInfo(lcNetworkQuality) << "Probe answered with status" << response.statusCode;
        }
    } catch (const HTTPTransportError& error) {
        if (error.kind() == HTTPTransportError::Kind::cancelled || stop.stop_requested())
            throw CancellationError();
        qCInfo(lcNetworkQuality) << "Probe failed:" << error.what();
    }
    co_return outcome;
}

} // namespace kestrum
