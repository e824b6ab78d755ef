#include "AnalyticsTestSupport.h"
#include "LocalHttpsServer.h"
#include "analytics/CurlProductAnalyticsTransport.h"
#include "analytics/ProductAnalyticsRemotePipeline.h"
#include "foundation/Uuid.h"
#include "network/CurlHTTPClient.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;
using Mode = LocalHttpsServer::Mode;

namespace {

const Date kStart = Date::fromUnixSeconds(1'765'000'000);

// A pipeline that delivers over the real HTTP client to a collector on 127.0.0.1, with a fake wall clock.
class DeliveryTest : public ::testing::Test {
protected:
    LocalHttpsServer server;
    QTemporaryDir directory;
    FakeClock clock{kStart};
    InMemoryPreferencesStore preferences;
    std::shared_ptr<ProductAnalyticsConsentStore> consent =
        std::make_shared<ProductAnalyticsConsentStore>(preferences, 1);
    std::shared_ptr<CurlHTTPClient> client =
        std::make_shared<CurlHTTPClient>(CurlHTTPClient::Configuration{server.caFile(), 4, 4});
    std::unique_ptr<ProductAnalyticsRemotePipeline> pipeline;
    QUuid installation = newUuid();

    void SetUp() override {
        ProductAnalyticsRemotePipeline::Dependencies d;
        d.consent = consent;
        d.transport = std::make_shared<CurlProductAnalyticsTransport>(
            QUrl(server.baseUrl() + QStringLiteral("/__up")), client, clock.provider());
        d.queueFile = directory.filePath(QStringLiteral("analytics-queue.json"));
        d.metadata = {QStringLiteral("0.1.0"), QStringLiteral("0.1.0"),
                      ProductAnalyticsDistributionCategory::advanced, ProductAnalyticsLanguageCategory::en};
        d.dateProvider = clock.provider();
        pipeline = std::make_unique<ProductAnalyticsRemotePipeline>(std::move(d));
        ASSERT_TRUE(finished(pipeline->optIn(installation)));
    }

    std::vector<ProductAnalyticsQueuedEvent> queued() {
        auto future = pipeline->queuedEvents();
        EXPECT_TRUE(finished(future));
        return future.result();
    }

    // Records one event (which starts a flush) and waits until that flush is over.
    void recordAndDeliver() {
        auto recorded =
            pipeline->record(ProductAnalyticsEvent::testCompleted(ProductAnalyticsTestKind::networkSpeed,
                                                                  ProductAnalyticsCoverage::complete),
                             {true, installation});
        ASSERT_TRUE(finished(recorded));
        ASSERT_TRUE(recorded.result());
        ASSERT_TRUE(finished(pipeline->flush(clock.now())));
    }
};

} // namespace

TEST_F(DeliveryTest, AnAcceptedBatchIsAJsonPostAndLeavesTheQueue) {
    recordAndDeliver();
    EXPECT_TRUE(queued().empty());
    const QList<LocalHttpsServer::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    const LocalHttpsServer::Request& request = requests.front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/__up");
    const auto header = [&](const QByteArray& name) {
        for (const auto& [key, value] : request.headers)
            if (key == name)
                return value;
        return QByteArray();
    };
    EXPECT_EQ(header("content-type"), "application/json");
    EXPECT_EQ(header("accept"), "application/json");
    EXPECT_TRUE(header("cookie").isEmpty());
    EXPECT_TRUE(header("authorization").isEmpty());
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.value(QStringLiteral("privacy_contract_version")).toInt(), 1);
    const QJsonArray events = body.value(QStringLiteral("events")).toArray();
    ASSERT_EQ(events.size(), 1);
    const ProductAnalyticsEnvelope envelope = ProductAnalyticsContract::decode(events.at(0));
    EXPECT_EQ(envelope.anonymousInstallationID, installation);
    EXPECT_EQ(envelope.properties.at(QStringLiteral("test_kind")), QStringLiteral("network_speed"));
}

// Whatever the collector does, the events either leave the queue (accepted, or refused for good) or wait
// for their back-off; nothing ever goes anywhere but the one https address.
TEST_F(DeliveryTest, CollectorBehaviours) {
    struct Case {
        const char* what;
        Mode mode;
        int status;
        int delayMs;
        QByteArray headers;
        bool kept;
        double retryAfter; // seconds until the next flush when kept
    };
    const Case cases[] = {
        {"accepts", Mode::normal, 0, 0, {}, false, 0},
        {"slow but accepts", Mode::slow, 0, 400, {}, false, 0},
        {"429 asking for two minutes", Mode::status, 429, 0, "Retry-After: 120\r\n", true, 120},
        {"429 asking for less than the back-off", Mode::status, 429, 0, "Retry-After: 5\r\n", true, 60},
        {"429 with an HTTP date", Mode::status, 429, 0, "Retry-After: Sat, 06 Dec 2025 06:46:40 GMT\r\n",
         true, 3600},
        {"500", Mode::status, 500, 0, {}, true, 60},
        {"503 with a nonsense Retry-After", Mode::status, 503, 0, "Retry-After: soon\r\n", true, 60},
        {"408", Mode::status, 408, 0, {}, true, 60},
        {"400 is refused for good", Mode::status, 400, 0, {}, false, 0},
        {"closes without answering", Mode::closeUnanswered, 0, 0, {}, true, 60},
        {"answers garbage", Mode::garbage, 0, 0, {}, true, 60},
        {"redirects to http:", Mode::redirectToHttp, 0, 0, {}, true, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.setMode(c.mode, c.status, c.delayMs);
        server.setExtraHeaders(c.headers);
        const int before = server.requestCount();
        clock.set(kStart);
        ASSERT_NO_FATAL_FAILURE(recordAndDeliver());
        EXPECT_EQ(server.requestCount(), before + 1) << "one request, never a second to another address";
        const auto entries = queued();
        if (!c.kept) {
            EXPECT_TRUE(entries.empty());
            continue;
        }
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries.front().attemptCount, 1);
        EXPECT_EQ(entries.front().nextAttemptAt, kStart.addingSeconds(60));
        ASSERT_TRUE(pipeline->scheduledFlush());
        EXPECT_DOUBLE_EQ(pipeline->scheduledFlush()->secondsSince(kStart), c.retryAfter);
        // The collector recovers; at the scheduled time the event goes.
        server.setMode(Mode::normal);
        server.setExtraHeaders({});
        clock.set(*pipeline->scheduledFlush());
        ASSERT_TRUE(finished(pipeline->flush(clock.now())));
        EXPECT_TRUE(queued().empty());
    }
}

// Withdrawing while the collector keeps a request hanging ends the request at once and leaves nothing.
TEST_F(DeliveryTest, WithdrawalWhileTheCollectorStalls) {
    server.setMode(Mode::stall);
    auto recorded = pipeline->record(ProductAnalyticsEvent::activeDay(ProductAnalyticsSurface::menuBar),
                                     {true, installation});
    ASSERT_TRUE(finished(recorded));
    ASSERT_TRUE(spinUntil([&] { return server.requestCount() == 1; }));
    ASSERT_TRUE(finished(pipeline->optOut()));
    EXPECT_TRUE(spinUntil([&] { return server.openConnections() == 0; })) << "the request was cancelled";
    EXPECT_TRUE(queued().empty());
    EXPECT_FALSE(QFile::exists(directory.filePath(QStringLiteral("analytics-queue.json"))));
    server.setMode(Mode::normal);
    auto refused = pipeline->record(ProductAnalyticsEvent::activeDay(ProductAnalyticsSurface::menuBar),
                                    {true, installation});
    ASSERT_TRUE(finished(refused));
    EXPECT_FALSE(refused.result());
    ASSERT_TRUE(finished(pipeline->flush(clock.now())));
    EXPECT_EQ(server.requestCount(), 1);
}
