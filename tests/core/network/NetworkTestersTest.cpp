#include "LocalHttpsServer.h"
#include "TestSupport.h"
#include "network/CurlHTTPClient.h"
#include "network/CurlNetworkQualityTester.h"
#include "network/CurlNetworkSpeedTester.h"
#include "network/NetworkSpeedTestPlan.h"
#include "network/NetworkTestErrors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <qcoro/qcorofuture.h>

using namespace kestrum;
using namespace kestrum::test;
using Mode = LocalHttpsServer::Mode;

namespace {

// Runs a coroutine to its end on this thread's event loop; its failure comes back as an exception_ptr.
template <class T> std::pair<std::optional<T>, std::exception_ptr> finish(QCoro::Task<T> task) {
    std::optional<T> result;
    std::exception_ptr error;
    QCoro::waitFor(
        [](QCoro::Task<T> t, std::optional<T>& out, std::exception_ptr& failure) -> QCoro::Task<void> {
            try {
                out = co_await std::move(t);
            } catch (...) {
                failure = std::current_exception();
            }
        }(std::move(task), result, error));
    return {std::move(result), error};
}

std::optional<NetworkSpeedTestError> speedError(const std::exception_ptr& error) {
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const KestrumError& e) {
        return speedTestErrorCase(e);
    } catch (...) {
        return std::nullopt;
    }
}

bool isCancellation(const std::exception_ptr& error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<NetworkQualityTestError> qualityError(const std::exception_ptr& error) {
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const KestrumError& e) {
        return qualityTestErrorCase(e);
    } catch (...) {
        return std::nullopt;
    }
}

// Timeouts far beyond what a loopback answer takes, even under a sanitizer on a busy machine; tests that
// are about timeouts give their own.
CurlNetworkSpeedTester speedTester(const LocalHttpsServer& server, double timeout = 30,
                                   std::optional<QString> caFile = {}, double resourceTimeout = 0) {
    CurlNetworkSpeedTester::Options options;
    options.caBundleFile = caFile ? caFile : std::optional<QString>(server.caFile());
    options.requestTimeoutSeconds = timeout;
    options.resourceTimeoutSeconds = resourceTimeout > 0 ? resourceTimeout : timeout;
    // Retries without waiting: the pause is the sleeper's business, not the test's.
    options.sleeper = [](double, std::stop_token stop) -> QCoro::Task<void> {
        if (stop.stop_requested())
            throw CancellationError();
        co_return;
    };
    return CurlNetworkSpeedTester(QUrl(server.baseUrl() + QStringLiteral("/__down")),
                                  QUrl(server.baseUrl() + QStringLiteral("/__up")), options);
}

CurlNetworkQualityTester qualityTester(const QString& url, std::optional<QString> caFile,
                                       double timeout = 30) {
    CurlNetworkQualityTester::Options options;
    options.caBundleFile = caFile;
    options.requestTimeoutSeconds = timeout;
    options.resourceTimeoutSeconds = timeout;
    return CurlNetworkQualityTester(QUrl(url), options);
}

} // namespace

TEST(CurlNetworkSpeedTester, QuickRunStaysInsideTheBudgetAndExcludesTheWarmUp) {
    LocalHttpsServer server;
    auto tester = speedTester(server);
    std::vector<NetworkSpeedTestProgress> progress;
    auto [result, error] = finish(tester.run(
        NetworkSpeedTestMode::quick, {}, [&](const NetworkSpeedTestProgress& p) { progress.push_back(p); }));
    ASSERT_FALSE(error) << describeException(error).toStdString();
    ASSERT_TRUE(result);
    const auto plan = NetworkSpeedTestPlan::make(NetworkSpeedTestMode::quick);
    EXPECT_GT(result->downloadMegabitsPerSecond, 0);
    EXPECT_GT(result->uploadMegabitsPerSecond, 0);
    EXPECT_EQ(result->mode, NetworkSpeedTestMode::quick);
    EXPECT_EQ(result->parallelStreamCount, 16);
    ASSERT_TRUE(result->measurementSampleCount);
    EXPECT_GE(*result->measurementSampleCount, 4);
    EXPECT_TRUE(result->idleLatencyMilliseconds);
    // Served: the measured rounds, the two warm-ups (1,000,000 down) and 1-byte probes; the reported
    // figure counts the rounds plus the fixed warm-up allowance only.
    const int64_t downCeiling = plan.transferBudgetBytes.download + plan.warmupBytes.download + 100;
    EXPECT_LE(server.bytesServed(), downCeiling + 64 * 1024);
    EXPECT_LE(server.bytesReceived(), plan.transferBudgetBytes.upload + plan.warmupBytes.upload);
    EXPECT_LE(result->transferredBytes, plan.transferBudgetBytes.download + plan.transferBudgetBytes.upload +
                                            kNetworkSpeedWarmupAccountedBytes);
    const int64_t measured = result->transferredBytes - kNetworkSpeedWarmupAccountedBytes;
    EXPECT_NEAR(double(measured),
                double(server.bytesReceived() - plan.warmupBytes.upload) +
                    double(server.bytesServed() - plan.warmupBytes.download),
                64.0 * 1024 + 200);
    // The live line saw both directions with their budgets.
    bool sawUpload = false;
    for (const auto& p : progress) {
        if (p.direction == NetworkSpeedTransferDirection::upload && p.round > 0) {
            sawUpload = true;
            EXPECT_EQ(p.directionBudgetBytes, plan.transferBudgetBytes.upload);
            EXPECT_LE(p.directionBytesUsed, p.directionBudgetBytes);
        }
    }
    EXPECT_TRUE(sawUpload);
}

TEST(CurlNetworkSpeedTester, BadServersEndWithTheDirectionsTexts) {
    struct Case {
        const char* name;
        Mode mode;
        int status;
        NetworkSpeedTestError expected;
    };
    const Case cases[] = {
        {"rate limited", Mode::status, 429, NetworkSpeedTestError::providerLimited},
        {"forbidden", Mode::status, 403, NetworkSpeedTestError::providerLimited},
        {"server error", Mode::status, 500, NetworkSpeedTestError::downloadFailed},
        {"one byte short", Mode::shortBody, 0, NetworkSpeedTestError::downloadFailed},
        {"more bytes than asked", Mode::extraBytes, 0, NetworkSpeedTestError::downloadFailed},
        {"closed mid-body", Mode::closeMidBody, 0, NetworkSpeedTestError::downloadFailed},
        {"huge Content-Length", Mode::hugeLength, 0, NetworkSpeedTestError::downloadFailed},
        {"negative Content-Length", Mode::negativeLength, 0, NetworkSpeedTestError::downloadFailed},
        {"redirect to http", Mode::redirectToHttp, 0, NetworkSpeedTestError::downloadFailed},
        {"captive portal", Mode::captivePortal, 0, NetworkSpeedTestError::downloadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpsServer server;
        server.setMode(c.mode, c.status);
        auto tester = speedTester(server);
        auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, {}));
        EXPECT_FALSE(result);
        EXPECT_EQ(speedError(error), c.expected);
        // Provider limits are never retried; other failures are, three attempts in all.
        EXPECT_EQ(server.requestCount(), c.expected == NetworkSpeedTestError::providerLimited ? 1 : 3);
    }
}

TEST(CurlNetworkSpeedTester, QuorumAndLateRoundFailures) {
    struct Case {
        const char* name;
        int status;
        int first;
        int count;
        int every;
        bool payloadOnly;
        std::optional<NetworkSpeedTestError> expected;
    };
    // Requests: 1 download warm-up, 1 upload warm-up, 4 idle probes, then rounds of 16 streams with
    // latency probes going out among them. Counted without the probes, the first round's streams are
    // numbers 3 to 18 whatever the timing.
    const Case cases[] = {
        {"six 429s in the first round lose the quorum", 429, 3, 6, 0, true,
         NetworkSpeedTestError::providerLimited},
        {"every request limited after the warm-ups", 429, 3, 1000, 0, false,
         NetworkSpeedTestError::providerLimited},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpsServer server;
        server.failRequests(c.status, c.first, c.count, c.every, c.payloadOnly);
        auto tester = speedTester(server);
        auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, {}));
        if (c.expected)
            EXPECT_EQ(speedError(error), c.expected);
        else
            EXPECT_FALSE(error);
    }
}

TEST(CurlNetworkSpeedTester, InvalidEndpointsSendNothing) {
    LocalHttpsServer server;
    for (const QString& base : {QStringLiteral("http://127.0.0.1:%1"), QStringLiteral("ftp://127.0.0.1:%1"),
                                QStringLiteral("https://:%1")}) {
        const QString url = base.arg(server.port());
        CurlNetworkSpeedTester tester(QUrl(url + QStringLiteral("/__down")),
                                      QUrl(url + QStringLiteral("/__up")));
        auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, {}));
        EXPECT_EQ(speedError(error), NetworkSpeedTestError::invalidEndpoint) << url.toStdString();
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(CurlNetworkSpeedTester, StallsAndDribblesEndAtTheTimeout) {
    // Each timeout bounds its own misbehaviour while the other is far away: a server that goes silent
    // trips the no-progress timeout, one that sends a byte every 200 ms never does and meets the
    // whole-request timeout instead.
    struct Case {
        const char* name;
        Mode mode;
        double requestTimeout;
        double resourceTimeout;
    };
    const Case cases[] = {
        {"silent", Mode::stall, 1, 30},
        {"dribbling", Mode::dribble, 30, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpsServer server;
        server.setMode(c.mode, 0, 200);
        auto tester = speedTester(server, c.requestTimeout, std::nullopt, c.resourceTimeout);
        QElapsedTimer timer;
        timer.start();
        auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, {}));
        EXPECT_FALSE(result);
        EXPECT_EQ(speedError(error), NetworkSpeedTestError::downloadFailed);
        // Three attempts of about a second each, no more.
        EXPECT_LT(timer.elapsed(), 8000);
        EXPECT_EQ(server.requestCount(), 3);
        if (c.mode == Mode::dribble) {
            EXPECT_GT(server.bytesServed(), 0) << "the server did dribble";
        }
    }
}

TEST(CurlNetworkSpeedTester, UnreachableAndUnresolvableServersAreDirectionFailures) {
    // Nothing listens on the port: the connection is refused at once, as without a network.
    quint16 closedPort = 0;
    {
        LocalHttpsServer gone;
        closedPort = gone.port();
    }
    CurlNetworkSpeedTester::Options options;
    options.sleeper = [](double, std::stop_token) -> QCoro::Task<void> { co_return; };
    const QString base = QStringLiteral("https://127.0.0.1:%1").arg(closedPort);
    CurlNetworkSpeedTester refused(QUrl(base + QStringLiteral("/__down")),
                                   QUrl(base + QStringLiteral("/__up")), options);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(speedError(finish(refused.run(NetworkSpeedTestMode::quick, {})).second),
              NetworkSpeedTestError::downloadFailed);
    EXPECT_LT(timer.elapsed(), 5000);

    // A name the resolver cannot find, as the client reports it (no lookup leaves this machine).
    class Unresolvable : public HTTPTransporting {
    public:
        int requests = 0;
        QFuture<HTTPResponse> send(HTTPRequest, std::stop_token) override {
            ++requests;
            return QtFuture::makeExceptionalFuture<HTTPResponse>(HTTPTransportError(
                HTTPTransportError::Kind::couldNotResolveHost, 6, QStringLiteral("Could not resolve host")));
        }
    };
    auto session = std::make_shared<Unresolvable>();
    options.sessionFactory = [session] { return session; };
    CurlNetworkSpeedTester unresolvable(QUrl(QStringLiteral("https://speed.invalid/__down")),
                                        QUrl(QStringLiteral("https://speed.invalid/__up")), options);
    EXPECT_EQ(speedError(finish(unresolvable.run(NetworkSpeedTestMode::quick, {})).second),
              NetworkSpeedTestError::downloadFailed);
    EXPECT_EQ(session->requests, 3) << "the warm-up's three attempts";
}

TEST(CurlNetworkSpeedTester, TlsFailuresAreDownloadFailures) {
    struct Case {
        const char* name;
        TestCertificates certificates;
        bool trustTheCA;
    };
    const Case cases[] = {
        {"untrusted", TestCertificates::make(), false},
        {"wrong host", TestCertificates::make(QStringLiteral("other.example")), true},
        {"expired", TestCertificates::make(QStringLiteral("127.0.0.1"), -1, -10), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpsServer server(c.certificates);
        // Without the CA the system store alone decides, and it does not know the test CA.
        auto tester = speedTester(server, 30,
                                  c.trustTheCA ? std::optional<QString>(server.caFile())
                                               : std::optional<QString>(QStringLiteral("/dev/null")));
        auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, {}));
        EXPECT_EQ(speedError(error), NetworkSpeedTestError::downloadFailed);
        EXPECT_EQ(server.requestCount(), 0);
    }
}

TEST(CurlNetworkSpeedTester, CancelMidTransferEndsPromptlyWithoutAResult) {
    LocalHttpsServer server;
    server.setMode(Mode::stall);
    auto tester = speedTester(server, 30);
    std::stop_source stop;
    QElapsedTimer timer;
    QTimer::singleShot(300, [&] {
        timer.start();
        stop.request_stop();
    });
    auto [result, error] = finish(tester.run(NetworkSpeedTestMode::quick, stop.get_token()));
    EXPECT_FALSE(result);
    EXPECT_TRUE(isCancellation(error));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_GE(server.requestCount(), 1);
}

TEST(CurlNetworkQualityTester, ProbesGradeTheConnection) {
    LocalHttpsServer server;
    struct Case {
        const char* name;
        Mode mode;
        int status;
        std::optional<NetworkQualityTestError> expected;
        int delayMs = 0;
        double timeout = 30; // cases about the probe timeout give 0.5 s
    };
    const Case cases[] = {
        {"every probe answered", Mode::normal, 0, std::nullopt},
        {"not modified counts", Mode::status, 304, std::nullopt},
        // A portal that answers every page with its own 200 page passes the probe, as any 2xx does;
        // one that redirects to its http login page fails it.
        {"a portal's own page", Mode::captivePortal, 0, std::nullopt},
        {"redirect to an http login page", Mode::redirectToHttp, 0,
         NetworkQualityTestError::internetUnreachable},
        {"not found fails every probe", Mode::status, 404, NetworkQualityTestError::internetUnreachable},
        {"stalled server", Mode::stall, 0, NetworkQualityTestError::internetUnreachable, 0, 0.5},
        {"answers after the probe timeout", Mode::slow, 0, NetworkQualityTestError::internetUnreachable, 1500,
         0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setMode(c.mode, c.status, c.delayMs);
        auto tester =
            qualityTester(QStringLiteral("https://localhost:%1/library/test/success.html").arg(server.port()),
                          server.caFile(), c.timeout);
        QElapsedTimer timer;
        timer.start();
        auto [result, error] = finish(tester.run({}));
        EXPECT_LT(timer.elapsed(), 5 * 1500);
        if (c.expected) {
            EXPECT_EQ(qualityError(error), c.expected);
        } else {
            ASSERT_TRUE(result) << describeException(error).toStdString();
            EXPECT_EQ(result->attemptedProbes, 5);
            EXPECT_EQ(result->successfulProbes, 5);
            EXPECT_NE(result->quality, NetworkQualityLevel::poor);
            EXPECT_GE(result->dnsResolutionMilliseconds, 0);
        }
    }
}

TEST(CurlNetworkQualityTester, EndpointResolverAndTrustFailures) {
    LocalHttpsServer server;
    const QString page = QStringLiteral("https://127.0.0.1:%1/x").arg(server.port());
    // No host, or not https: nothing is sent.
    for (const QString& url :
         {QStringLiteral("https:///x"), QStringLiteral("http://127.0.0.1:%1/x").arg(server.port())}) {
        auto tester = qualityTester(url, server.caFile());
        EXPECT_EQ(qualityError(finish(tester.run({})).second), NetworkQualityTestError::invalidEndpoint);
    }
    // A resolver that fails: no probe goes out.
    class FailingResolver : public HostResolving {
    public:
        QFuture<std::optional<double>> resolve(const QString&, std::stop_token) override {
            return QtFuture::makeReadyFuture(std::optional<double>());
        }
    };
    CurlNetworkQualityTester::Options options;
    options.caBundleFile = server.caFile();
    options.resolver = std::make_shared<FailingResolver>();
    CurlNetworkQualityTester failing(QUrl(page), options);
    EXPECT_EQ(qualityError(finish(failing.run({})).second), NetworkQualityTestError::dnsResolutionFailed);
    EXPECT_EQ(server.requestCount(), 0);
    // The server's certificate is not trusted without its CA, nor when it names another host or has
    // expired: every probe fails, none reaches the server.
    auto untrusted = qualityTester(page, std::nullopt);
    EXPECT_EQ(qualityError(finish(untrusted.run({})).second), NetworkQualityTestError::internetUnreachable);
    for (const TestCertificates& certificates :
         {TestCertificates::make(QStringLiteral("other.example")),
          TestCertificates::make(QStringLiteral("127.0.0.1"), -1, -10)}) {
        LocalHttpsServer wrong(certificates);
        auto tester =
            qualityTester(QStringLiteral("https://127.0.0.1:%1/x").arg(wrong.port()), wrong.caFile());
        EXPECT_EQ(qualityError(finish(tester.run({})).second), NetworkQualityTestError::internetUnreachable);
        EXPECT_EQ(wrong.requestCount(), 0);
    }
    // A probe count below one still probes once.
    CurlNetworkQualityTester::Options once;
    once.caBundleFile = server.caFile();
    once.probeCount = 0;
    CurlNetworkQualityTester single(QUrl(page), once);
    auto [result, error] = finish(single.run({}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->attemptedProbes, 1);
}

TEST(CurlHTTPClient, CancelledAndQueuedTransfersEndAndLimitsHold) {
    LocalHttpsServer server;
    server.setMode(Mode::stall);
    CurlHTTPClient::Configuration configuration;
    configuration.caBundleFile = server.caFile();
    configuration.maximumConcurrentTransfers = 2;
    CurlHTTPClient client(configuration);
    std::stop_source stop;
    std::vector<QFuture<HTTPResponse>> futures;
    for (int i = 0; i < 5; ++i) {
        HTTPRequest request;
        request.url = QUrl(server.baseUrl() + QStringLiteral("/__down?bytes=10"));
        request.idleTimeoutSeconds = 30;
        request.totalTimeoutSeconds = 30;
        futures.push_back(client.send(request, stop.get_token()));
    }
    ASSERT_TRUE(spinUntil([&] { return server.requestCount() >= 2; }));
    EXPECT_EQ(server.requestCount(), 2); // the others wait for a slot
    QElapsedTimer timer;
    timer.start();
    stop.request_stop();
    for (auto& future : futures) {
        try {
            future.waitForFinished();
            future.result();
            ADD_FAILURE() << "a cancelled transfer has no response";
        } catch (const HTTPTransportError& error) {
            EXPECT_EQ(error.kind(), HTTPTransportError::Kind::cancelled);
        }
    }
    EXPECT_LT(timer.elapsed(), 1000);
}
