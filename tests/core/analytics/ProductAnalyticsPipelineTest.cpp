#include "AnalyticsTestSupport.h"
#include "analytics/ProductAnalyticsOrderedDispatcher.h"
#include "analytics/ProductAnalyticsRemotePipeline.h"
#include "analytics/ProductAnalyticsRuntime.h"
#include "foundation/Uuid.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;
using TK = ProductAnalyticsTransportError::Kind;

namespace {

const Date kStart = Date::fromUnixSeconds(1'765'000'000);

ProductAnalyticsEvent anEvent() {
    return ProductAnalyticsEvent::testStartAccepted(ProductAnalyticsTestKind::networkQuality,
                                                    QStringLiteral("overview"));
}

class PipelineTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    FakeClock clock{kStart};
    InMemoryPreferencesStore preferences;
    // What another Kestrum process would find in the saved preferences.
    InMemoryPreferencesStore saved;
    bool readsSaved = false;
    std::shared_ptr<ProductAnalyticsConsentStore> consent;
    std::shared_ptr<FakeBatchTransport> transport = std::make_shared<FakeBatchTransport>();
    std::atomic<int> withdrawnCalls{0};
    std::unique_ptr<ProductAnalyticsRemotePipeline> pipeline;

    QString queueFile() const { return directory.filePath(QStringLiteral("analytics-queue.json")); }

    ProductAnalyticsRemotePipeline& make() {
        ProductAnalyticsConsentStore::SavedPreferencesReader reader;
        if (readsSaved)
            reader = [this]() -> std::unique_ptr<PreferencesStore> {
                auto copy = std::make_unique<InMemoryPreferencesStore>();
                for (const QString& key : {ProductAnalyticsConsentStore::kExplicitConsentKey,
                                           ProductAnalyticsConsentStore::kAcceptedPrivacyContractVersionKey,
                                           ProductAnalyticsConsentStore::kAnonymousInstallationIDKey}) {
                    if (const auto value = saved.value(key))
                        copy->setValue(key, *value);
                }
                return copy;
            };
        consent = std::make_shared<ProductAnalyticsConsentStore>(preferences, 1, reader);
        ProductAnalyticsRemotePipeline::Dependencies d;
        d.consent = consent;
        d.transport = transport;
        d.queueFile = queueFile();
        d.metadata = {QStringLiteral("0.1.0"), QStringLiteral("7"),
                      ProductAnalyticsDistributionCategory::advanced, ProductAnalyticsLanguageCategory::tr};
        d.dateProvider = clock.provider();
        d.consentWithdrawn = [this] { ++withdrawnCalls; };
        pipeline = std::make_unique<ProductAnalyticsRemotePipeline>(std::move(d));
        return *pipeline;
    }

    QUuid optIn() {
        const QUuid id = newUuid();
        EXPECT_TRUE(finished(pipeline->optIn(id)));
        return id;
    }

    bool record(const QUuid& expected) {
        auto future = pipeline->record(anEvent(), {true, expected});
        return finished(future) && future.result();
    }

    std::vector<ProductAnalyticsQueuedEvent> queued() {
        auto future = pipeline->queuedEvents();
        EXPECT_TRUE(finished(future));
        return future.result();
    }

    void flushNow() { ASSERT_TRUE(finished(pipeline->flush(clock.now()))); }
};

} // namespace

TEST_F(PipelineTest, WithoutConsentNothingIsQueuedAndNoRequestIsMade) {
    make();
    EXPECT_FALSE(record(QUuid()));
    EXPECT_FALSE(record(newUuid())) << "an installation the store does not know";
    flushNow();
    EXPECT_TRUE(transport->sent().empty());
    EXPECT_FALSE(QFile::exists(queueFile()));
}

// One flush at a time: what is recorded while a batch is out waits, then goes in batches of twenty.
TEST_F(PipelineTest, EventsRecordedDuringADeliveryFollowInBatches) {
    make();
    const QUuid id = optIn();
    transport->hold();
    ASSERT_TRUE(record(id));
    ASSERT_TRUE(spinUntil([&] { return transport->heldCount() == 1; }));
    for (int i = 0; i < 44; ++i)
        ASSERT_TRUE(record(id));
    transport->release();
    ASSERT_TRUE(spinUntil([&] { return queued().empty(); }));
    std::vector<size_t> sizes;
    for (const auto& batch : transport->sent()) {
        sizes.push_back(batch.events.size());
        EXPECT_EQ(batch.privacyContractVersion, 1);
        for (const auto& envelope : batch.events) {
            EXPECT_EQ(envelope.anonymousInstallationID, id);
            EXPECT_EQ(envelope.appBuild, QStringLiteral("7"));
            EXPECT_EQ(envelope.language, ProductAnalyticsLanguageCategory::tr);
            EXPECT_EQ(envelope.occurredAtEpochSeconds, 1'765'000'000);
        }
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{1, 20, 20, 4}));
    EXPECT_FALSE(pipeline->scheduledFlush());
}

// A failed batch is retried at the back-off date, and only then.
TEST_F(PipelineTest, FailuresScheduleTheNextFlushAtTheBackOffDate) {
    make();
    const QUuid id = optIn();
    transport->fail(TK::serverRejected, 500);
    transport->fail(TK::invalidResponse, 0);
    ASSERT_TRUE(record(id));
    ASSERT_TRUE(finished(pipeline->flush(clock.now())));
    ASSERT_EQ(transport->sent().size(), 1u);
    EXPECT_EQ(pipeline->scheduledFlush(), kStart.addingSeconds(60));

    clock.advance(59);
    flushNow();
    EXPECT_EQ(transport->sent().size(), 1u) << "not due yet";
    clock.advance(1);
    flushNow();
    EXPECT_EQ(transport->sent().size(), 2u);
    EXPECT_EQ(pipeline->scheduledFlush(), kStart.addingSeconds(60 + 120));
    clock.advance(120);
    flushNow();
    EXPECT_EQ(transport->sent().size(), 3u);
    EXPECT_TRUE(queued().empty());
    EXPECT_FALSE(pipeline->scheduledFlush());
}

// The collector's own "Retry-After" holds every delivery back, also that of events recorded meanwhile;
// a refusal for good drops the batch instead of retrying it.
TEST_F(PipelineTest, RetryAfterHoldsDeliveriesBackAndPermanentRefusalsAreDropped) {
    make();
    const QUuid id = optIn();
    transport->fail(TK::serverRejected, 429, 600);
    ASSERT_TRUE(record(id));
    flushNow();
    EXPECT_EQ(pipeline->scheduledFlush(), kStart.addingSeconds(600));
    clock.advance(61);
    ASSERT_TRUE(record(id));
    flushNow();
    EXPECT_EQ(transport->sent().size(), 1u) << "held back by Retry-After";
    clock.set(kStart.addingSeconds(600));
    flushNow();
    ASSERT_EQ(transport->sent().size(), 2u);
    EXPECT_EQ(transport->sent()[1].events.size(), 2u);
    EXPECT_TRUE(queued().empty());

    transport->fail(TK::permanentServerRejection, 400);
    ASSERT_TRUE(record(id));
    flushNow();
    EXPECT_EQ(transport->sent().size(), 3u);
    EXPECT_TRUE(queued().empty()) << "a batch the collector refuses for good is not kept";
    EXPECT_FALSE(pipeline->scheduledFlush());
}

// Withdrawing during a delivery cancels it, removes the queue and its file, and nothing is sent after.
TEST_F(PipelineTest, WithdrawalMidDeliveryCancelsAndDiscards) {
    make();
    const QUuid id = optIn();
    transport->hold();
    ASSERT_TRUE(record(id));
    ASSERT_TRUE(record(id));
    ASSERT_TRUE(spinUntil([&] { return transport->heldCount() == 1; }));
    ASSERT_TRUE(QFile::exists(queueFile()));
    ASSERT_TRUE(finished(pipeline->optOut()));
    EXPECT_GE(transport->cancels(), 1);
    EXPECT_EQ(transport->heldCount(), 0u);
    EXPECT_FALSE(QFile::exists(queueFile()));
    EXPECT_TRUE(queued().empty());
    EXPECT_FALSE(consent->snapshot().allowsRemoteAnalytics);
    EXPECT_FALSE(preferences.value(ProductAnalyticsConsentStore::kAnonymousInstallationIDKey));

    EXPECT_FALSE(record(id));
    flushNow();
    EXPECT_EQ(transport->sent().size(), 1u) << "only the cancelled request ever left";
    EXPECT_FALSE(QFile::exists(queueFile()));
}

// Another process withdrew the consent: the next flush sees it in the saved preferences, sends nothing
// more, and discards what waits.
TEST_F(PipelineTest, ConsentWithdrawnElsewhereStopsDelivery) {
    readsSaved = true;
    make();
    const QUuid id = newUuid();
    saved.setValue(ProductAnalyticsConsentStore::kExplicitConsentKey, true);
    saved.setValue(ProductAnalyticsConsentStore::kAcceptedPrivacyContractVersionKey, 1.0);
    saved.setValue(ProductAnalyticsConsentStore::kAnonymousInstallationIDKey, uuidText(id));
    ASSERT_TRUE(finished(pipeline->optIn(id)));
    transport->hold();
    ASSERT_TRUE(record(id));
    ASSERT_TRUE(spinUntil([&] { return transport->heldCount() == 1; }));
    ASSERT_TRUE(record(id)); // waits behind the batch in flight
    saved.setValue(ProductAnalyticsConsentStore::kExplicitConsentKey, false);
    saved.remove(ProductAnalyticsConsentStore::kAnonymousInstallationIDKey);
    transport->release();
    ASSERT_TRUE(spinUntil([&] { return withdrawnCalls.load() == 1; }));
    flushNow();
    EXPECT_EQ(transport->sent().size(), 1u);
    EXPECT_FALSE(QFile::exists(queueFile()));
}

// At launch a queue no consent covers is cleared; with consent what is due goes out.
TEST_F(PipelineTest, PrepareForLaunch) {
    for (const bool consented : {false, true}) {
        SCOPED_TRACE(consented);
        transport = std::make_shared<FakeBatchTransport>();
        QUuid id = newUuid();
        if (consented) {
            preferences.setValue(ProductAnalyticsConsentStore::kExplicitConsentKey, true);
            preferences.setValue(ProductAnalyticsConsentStore::kAcceptedPrivacyContractVersionKey, 1.0);
            preferences.setValue(ProductAnalyticsConsentStore::kAnonymousInstallationIDKey, uuidText(id));
        }
        {
            ProductAnalyticsDeliveryQueue left(queueFile());
            ProductAnalyticsEnvelope e;
            e.eventID = newUuid();
            e.anonymousInstallationID = id;
            e.name = ProductAnalyticsEventName::activeDay;
            e.properties = {{QStringLiteral("surface"), QStringLiteral("menu_bar")}};
            e.appVersion = e.appBuild = QStringLiteral("0.1.0");
            left.enqueue(e, kStart.addingSeconds(-3600));
        }
        make();
        ASSERT_TRUE(finished(pipeline->prepareForLaunch()));
        ASSERT_TRUE(spinUntil([&] { return queued().empty(); }));
        EXPECT_EQ(transport->sent().size(), consented ? 1u : 0u);
        EXPECT_FALSE(QFile::exists(queueFile()) && !consented);
        pipeline.reset();
    }
}

// Events reach the pipeline in submission order, from any thread; a full list refuses instead of
// waiting.
TEST(ProductAnalyticsOrderedDispatcher, KeepsOrderAndRefusesWhenFull) {
    std::vector<std::function<void()>> posted;
    std::vector<QString> delivered;
    ProductAnalyticsOrderedDispatcher dispatcher(
        [&](std::function<void()> work) { posted.push_back(std::move(work)); },
        [&](const ProductAnalyticsEvent& event, const ProductAnalyticsConsentSnapshot&) {
            delivered.push_back(event.properties.at(QStringLiteral("surface")));
        },
        3);
    const auto event = [](ProductAnalyticsSurface s) { return ProductAnalyticsEvent::activeDay(s); };
    EXPECT_TRUE(dispatcher.submit(event(ProductAnalyticsSurface::mainWindow), {}));
    EXPECT_TRUE(dispatcher.submit(event(ProductAnalyticsSurface::menuBar), {}));
    EXPECT_TRUE(dispatcher.submit(event(ProductAnalyticsSurface::mainWindow), {}));
    EXPECT_FALSE(dispatcher.submit(event(ProductAnalyticsSurface::menuBar), {})) << "full";
    EXPECT_EQ(posted.size(), 1u) << "one wake-up for the burst";
    posted.front()();
    EXPECT_EQ(delivered, (std::vector<QString>{"main_window", "menu_bar", "main_window"}));
    EXPECT_EQ(dispatcher.pendingCount(), 0u);
    EXPECT_TRUE(dispatcher.submit(event(ProductAnalyticsSurface::menuBar), {}));
    EXPECT_EQ(posted.size(), 2u) << "an empty list wakes the pipeline again";
}

TEST(ProductAnalyticsRecorder, DisabledRecordsNothingAndCopiesShareTheMode) {
    int handled = 0;
    const ProductAnalyticsRecorder recorder(ProductAnalyticsMode::disabled,
                                            [&](ProductAnalyticsEvent) { ++handled; });
    const ProductAnalyticsRecorder copy = recorder;
    copy.record(anEvent());
    recorder.setMode(ProductAnalyticsMode::optedInRemote);
    copy.record(anEvent());
    EXPECT_EQ(handled, 1);
    const ProductAnalyticsRecorder throwing(ProductAnalyticsMode::optedInRemote,
                                            [](ProductAnalyticsEvent) { throw std::runtime_error("boom"); });
    EXPECT_NO_THROW(throwing.record(anEvent())) << "recording never fails the feature";
    EXPECT_NO_THROW(ProductAnalyticsRecorder().record(anEvent()));
}

namespace {

class RuntimeTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    FakeClock clock{kStart};
    InMemoryPreferencesStore preferences;
    std::shared_ptr<FakeBatchTransport> transport = std::make_shared<FakeBatchTransport>();

    std::unique_ptr<ProductAnalyticsRuntime> make(bool withEndpoint) {
        ProductAnalyticsRuntime::Configuration c;
        c.preferences = &preferences;
        if (withEndpoint) {
            c.endpoint.configuredText = QStringLiteral("https://127.0.0.1:9/e");
            c.endpoint.endpoint = QUrl(c.endpoint.configuredText);
        }
        c.queueFile = directory.filePath(QStringLiteral("analytics-queue.json"));
        c.metadata = {QStringLiteral("0.1.0"), QStringLiteral("0.1.0"),
                      ProductAnalyticsDistributionCategory::advanced, ProductAnalyticsLanguageCategory::en};
        c.transport = transport;
        c.dateProvider = clock.provider();
        return std::make_unique<ProductAnalyticsRuntime>(std::move(c));
    }

    std::vector<QString> sentNames() const {
        std::vector<QString> names;
        for (const auto& batch : transport->sent())
            for (const auto& e : batch.events)
                names.push_back(rawValue(e.name) + u'/' + e.properties.begin()->second);
        return names;
    }
};

} // namespace

TEST_F(RuntimeTest, WithoutAnEndpointNothingIsAskedOrRecorded) {
    auto runtime = make(false);
    EXPECT_FALSE(runtime->isAvailable());
    EXPECT_FALSE(runtime->shouldAskForConsent());
    EXPECT_EQ(runtime->mode(), ProductAnalyticsMode::disabled);
    EXPECT_FALSE(runtime->pipeline());
    runtime->optIn(ProductAnalyticsConsentSource::settings);
    runtime->recorder().record(anEvent());
    runtime->settle();
    EXPECT_FALSE(runtime->consent().allowsRemoteAnalytics);
    EXPECT_FALSE(QFile::exists(runtime->queueFile()));
    EXPECT_TRUE(transport->sent().empty());
}

// The whole path a feature's event takes: consent, hand-off, queue, batch, and withdrawal.
TEST_F(RuntimeTest, ConsentDecidesWhatIsRecordedAndSent) {
    auto runtime = make(true);
    EXPECT_TRUE(runtime->shouldAskForConsent());
    runtime->recorder().record(anEvent());
    runtime->recordActiveDay(ProductAnalyticsSurface::mainWindow);
    runtime->settle();
    EXPECT_FALSE(QFile::exists(runtime->queueFile())) << "nothing before consent";

    runtime->optIn(ProductAnalyticsConsentSource::firstValuePrompt);
    EXPECT_FALSE(runtime->shouldAskForConsent());
    EXPECT_EQ(runtime->mode(), ProductAnalyticsMode::optedInRemote);
    runtime->recordActiveDay(ProductAnalyticsSurface::mainWindow);
    runtime->recordActiveDay(ProductAnalyticsSurface::mainWindow); // same day: once
    clock.advance(86400);
    runtime->recordActiveDay(ProductAnalyticsSurface::mainWindow);
    runtime->settle();
    ASSERT_TRUE(spinUntil([&] { return sentNames().size() == 3; }));
    EXPECT_EQ(sentNames(), (std::vector<QString>{"analytics_consent_changed/first_value_prompt",
                                                 "active_day/main_window", "active_day/main_window"}));

    runtime->optOut(ProductAnalyticsConsentSource::settings);
    EXPECT_EQ(runtime->mode(), ProductAnalyticsMode::disabled);
    runtime->recorder().record(anEvent());
    runtime->settle();
    EXPECT_FALSE(runtime->shouldAskForConsent()) << "a no is an answer";
    EXPECT_EQ(sentNames().size(), 3u) << "the withdrawal itself is never sent";
    EXPECT_FALSE(QFile::exists(runtime->queueFile()));
    runtime.reset();

    // A new run starts from what was saved.
    auto again = make(true);
    EXPECT_EQ(again->mode(), ProductAnalyticsMode::disabled);
    EXPECT_FALSE(again->shouldAskForConsent());
}
