#include "presentation/AnalyticsConsentViewModel.h"

#include "../analytics/AnalyticsTestSupport.h"
#include "analytics/ProductAnalyticsRuntime.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class AnalyticsConsentTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    FakeClock clock{Date::fromUnixSeconds(1'765'000'000)};
    std::unique_ptr<InMemoryPreferencesStore> preferences = std::make_unique<InMemoryPreferencesStore>();
    std::shared_ptr<FakeBatchTransport> transport = std::make_shared<FakeBatchTransport>();

    std::unique_ptr<ProductAnalyticsRuntime> runtime(bool withEndpoint) {
        ProductAnalyticsRuntime::Configuration c;
        c.preferences = preferences.get();
        if (withEndpoint) {
            c.endpoint.configuredText = QStringLiteral("https://127.0.0.1:9/e");
            c.endpoint.endpoint = QUrl(c.endpoint.configuredText);
        }
        c.queueFile = directory.filePath(QStringLiteral("analytics-queue.json"));
        c.metadata = {QStringLiteral("0.1.0"), QStringLiteral("0.1.0"),
                      ProductAnalyticsDistributionCategory::advanced, ProductAnalyticsLanguageCategory::tr};
        c.transport = transport;
        c.dateProvider = clock.provider();
        return std::make_unique<ProductAnalyticsRuntime>(std::move(c));
    }

    std::vector<QString> sent() const {
        std::vector<QString> names;
        for (const auto& batch : transport->sent())
            for (const auto& event : batch.events)
                for (const auto& [key, value] : event.properties)
                    names.push_back(rawValue(event.name) + u'/' + key + u'=' + value);
        return names;
    }
};

} // namespace

// Nowhere to send usage data: nothing is asked, shown or changed, whatever the window does.
TEST_F(AnalyticsConsentTest, WithoutAnEndpointNothingIsOffered) {
    auto none = runtime(false);
    for (ProductAnalyticsRuntime* r : {static_cast<ProductAnalyticsRuntime*>(nullptr), none.get()}) {
        AnalyticsConsentViewModel model(r);
        EXPECT_FALSE(model.available());
        EXPECT_FALSE(model.asking());
        model.accept();
        model.setConsented(true);
        EXPECT_FALSE(model.consented());
    }
    EXPECT_FALSE(none->consent().allowsRemoteAnalytics);
}

// The question is asked once: either answer ends it, for this run and the next; the settings switch
// changes the answer later, and switching off drops what waits to be sent.
TEST_F(AnalyticsConsentTest, AskedOnceThenChangedInTheSettings) {
    struct Case {
        const char* name;
        bool accepts;
    };
    for (const Case& c : {Case{"accepted", true}, Case{"declined", false}}) {
        SCOPED_TRACE(c.name);
        preferences = std::make_unique<InMemoryPreferencesStore>();
        transport = std::make_shared<FakeBatchTransport>();
        {
            auto r = runtime(true);
            AnalyticsConsentViewModel model(r.get());
            QSignalSpy changed(&model, &AnalyticsConsentViewModel::changed);
            ASSERT_TRUE(model.available());
            ASSERT_TRUE(model.asking());
            EXPECT_FALSE(model.consented());
            c.accepts ? model.accept() : model.decline();
            EXPECT_EQ(changed.count(), 1);
            EXPECT_FALSE(model.asking());
            EXPECT_EQ(model.consented(), c.accepts);
            model.accept(); // answered: the question is gone, a late click changes nothing
            EXPECT_EQ(model.consented(), c.accepts);
            r->settle();
            if (c.accepts)
                ASSERT_TRUE(spinUntil([&] { return !sent().empty(); }));
            std::vector<QString> expected;
            if (c.accepts)
                expected = {QStringLiteral("analytics_consent_changed/source=first_value_prompt"),
                            QStringLiteral("analytics_consent_changed/state=opted_in")};
            EXPECT_EQ(sent(), expected) << "a no is never sent";
        }
        auto again = runtime(true);
        AnalyticsConsentViewModel model(again.get());
        EXPECT_FALSE(model.asking()) << "asked once";
        EXPECT_EQ(model.consented(), c.accepts);

        model.setConsented(!c.accepts);
        EXPECT_EQ(model.consented(), !c.accepts);
        model.setConsented(false);
        EXPECT_FALSE(model.consented());
        again->settle();
        EXPECT_FALSE(QFile::exists(again->queueFile())) << "withdrawing drops the queue";
        EXPECT_FALSE(model.asking());
    }
}
