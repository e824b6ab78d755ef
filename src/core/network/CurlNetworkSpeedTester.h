#pragma once

#include "HTTPTransport.h"
#include "NetworkSpeedAdaptiveSizer.h"
#include "NetworkSpeedResultAnalyzer.h"
#include "NetworkTesting.h"
#include "foundation/Clocks.h"

#include <QUrl>
#include <memory>

namespace kestrum {

struct NetworkSpeedStreamResult {
    int64_t byteCount = 0;
    bool providerLimited = false;
};

struct NetworkSpeedParallelRoundResult {
    int64_t byteCount = 0;
    std::vector<double> latencySamples; // milliseconds
    int successfulStreamCount = 0;
    double durationSeconds = 0;
};

// The speed test over Kestrum's HTTP client: warm-ups, idle latency, then rounds of parallel streams per
// direction, sized from the measured rate, inside a hard byte budget per direction. Each run gets a
// fresh HTTP session; starting a run cancels whatever an earlier run left behind.
class CurlNetworkSpeedTester : public NetworkSpeedTesting {
public:
    struct Options {
        std::optional<QString> caBundleFile; // extra trusted certificates for a private server
        // A fresh session per run; default: a client with room for every stream plus the latency probe.
        std::function<std::shared_ptr<HTTPTransporting>()> sessionFactory;
        MonotonicClock uptime; // default: the system's monotonic clock
        AsyncSleeper sleeper;  // the pause between attempts; default: a real timer
        DateProvider dateProvider;
        std::function<QUuid()> idProvider;
        double requestTimeoutSeconds = 60;  // no progress for this long fails a request
        double resourceTimeoutSeconds = 45; // one whole request
    };

    CurlNetworkSpeedTester(QUrl downloadEndpoint, QUrl uploadEndpoint);
    CurlNetworkSpeedTester(QUrl downloadEndpoint, QUrl uploadEndpoint, Options options,
                           NetworkSpeedResultAnalyzer analyzer = {},
                           NetworkSpeedAdaptiveSizer adaptiveSizer = {});
    ~CurlNetworkSpeedTester() override;

    QCoro::Task<NetworkSpeedTestResult> run(NetworkSpeedTestMode mode, std::stop_token stop,
                                            NetworkSpeedProgressHandler progress = {}) override;

    const QUrl& downloadEndpoint() const { return m_downloadEndpoint; }
    const QUrl& uploadEndpoint() const { return m_uploadEndpoint; }

    struct Run;

private:
    QCoro::Task<NetworkSpeedTransferMeasurement>
    singleTransfer(Run& run, NetworkSpeedTransferDirection direction, int64_t bytes);
    QCoro::Task<NetworkSpeedDirectionResult>
    measureDirection(Run& run, NetworkSpeedTransferDirection direction, NetworkSpeedTransferMeasurement seed);
    QCoro::Task<NetworkSpeedParallelRoundResult> measureParallelRound(Run& run,
                                                                      NetworkSpeedTransferDirection direction,
                                                                      int64_t bytesPerStream,
                                                                      NetworkSpeedTransferBudget& budget);
    QCoro::Task<NetworkSpeedStreamResult> stream(Run& run, NetworkSpeedTransferDirection direction,
                                                 int64_t bytes, NetworkSpeedTransferBudget& budget);
    QCoro::Task<std::vector<double>> bestEffortLatencySamples(Run& run, int count, std::stop_token stop);
    QCoro::Task<int64_t> transferPayloadWithRetry(Run& run, NetworkSpeedTransferDirection direction,
                                                  int64_t bytes, int attempts,
                                                  NetworkSpeedTransferBudget& budget);
    QCoro::Task<int64_t> download(Run& run, int64_t bytes, std::stop_token stop);
    QCoro::Task<int64_t> upload(Run& run, int64_t bytes, std::stop_token stop);

    QUrl m_downloadEndpoint;
    QUrl m_uploadEndpoint;
    Options m_options;
    NetworkSpeedResultAnalyzer m_analyzer;
    NetworkSpeedAdaptiveSizer m_adaptiveSizer;
    std::shared_ptr<HTTPTransporting> m_session;
    std::shared_ptr<std::stop_source> m_runStop;
};

} // namespace kestrum
