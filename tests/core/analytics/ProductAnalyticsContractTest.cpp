#include "analytics/ProductAnalyticsEnvelope.h"
#include "analytics/ProductAnalyticsReleaseConfiguration.h"
#include "foundation/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <functional>
#include <gtest/gtest.h>

using namespace kestrum;
using Kind = ProductAnalyticsValidationError::Kind;

namespace {

ProductAnalyticsEnvelope envelopeOf(ProductAnalyticsEvent event) {
    ProductAnalyticsEnvelope e;
    e.eventID = QUuid::fromString(QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
    e.anonymousInstallationID = QUuid::fromString(QStringLiteral("{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}"));
    e.name = event.name;
    e.properties = std::move(event.properties);
    e.occurredAtEpochSeconds = 1'765'000'000;
    e.appVersion = QStringLiteral("0.1.0");
    e.appBuild = QStringLiteral("0.1.0+deb12u1");
    return e;
}

std::optional<Kind> validationFailure(const std::function<void()>& action) {
    try {
        action();
    } catch (const ProductAnalyticsValidationError& error) {
        return error.kind();
    }
    return std::nullopt;
}

} // namespace

// Every maker of the catalogue yields an event the contract accepts; each one survives the wire form.
TEST(ProductAnalyticsContract, EveryCatalogueEventPassesAndRoundTrips) {
    using E = ProductAnalyticsEvent;
    const std::vector<ProductAnalyticsEvent> events = {
        E::firstSnapshotReady(ProductAnalyticsTrigger::manualRefresh),
        E::activationStepCompleted(ProductAnalyticsActivationStep::networkQuality),
        E::firstHealthSummaryReady(ProductAnalyticsCoverage::partial),
        E::firstHealthSummaryViewed(ProductAnalyticsCoverage::complete,
                                    ProductAnalyticsEntryPoint::healthCenter),
        E::testStartAccepted(ProductAnalyticsTestKind::networkSpeed, QStringLiteral("overview")),
        E::testStartBlocked(ProductAnalyticsTestKind::cpuBenchmark, ProductAnalyticsBlockReason::offline),
        E::testCompleted(ProductAnalyticsTestKind::fullSystemScan, ProductAnalyticsCoverage::partial),
        E::testCancelled(ProductAnalyticsTestKind::quickHealth, ProductAnalyticsTestStage::finalizing),
        E::testFailed(ProductAnalyticsTestKind::networkQuality, ProductAnalyticsErrorCategory::persistence),
        E::activeDay(ProductAnalyticsSurface::menuBar),
        E::scanReminderChanged(ProductAnalyticsReminderState::enabled,
                               ProductAnalyticsReminderCadence::oneDay),
        E::reportExportStarted(ProductAnalyticsReportKind::weeklyHealth),
        E::reportExportResult(ProductAnalyticsReportKind::diagnostic,
                              ProductAnalyticsReportOutcome::succeeded),
        E::reportExportResult(ProductAnalyticsReportKind::diagnostic, ProductAnalyticsReportOutcome::failed,
                              ProductAnalyticsErrorCategory::timeout),
        E::analyticsConsentChanged(ProductAnalyticsConsentState::withdrawn,
                                   ProductAnalyticsConsentSource::settings),
    };
    for (const ProductAnalyticsEvent& event : events) {
        SCOPED_TRACE(rawValue(event.name).toStdString());
        const ProductAnalyticsEnvelope envelope = envelopeOf(event);
        EXPECT_FALSE(validationFailure([&] { ProductAnalyticsContract::validate(envelope); }));
        const QJsonObject wire = ProductAnalyticsContract::encode(envelope);
        EXPECT_EQ(wire.value(QStringLiteral("name")).toString(), rawValue(event.name));
        EXPECT_EQ(ProductAnalyticsContract::decode(wire), envelope);
    }
    EXPECT_EQ(ProductAnalyticsEvent::reportExportResult(ProductAnalyticsReportKind::diagnostic,
                                                        ProductAnalyticsReportOutcome::cancelled)
                  .properties.count(QStringLiteral("error_category")),
              0u);
}

// Properties are held to the event's row: exactly its keys, each value from its list, never a path, a
// number or free text where a category belongs.
TEST(ProductAnalyticsContract, PropertiesOutsideTheCatalogueAreRefused) {
    using N = ProductAnalyticsEventName;
    struct Case {
        const char* what;
        N name;
        ProductAnalyticsProperties properties;
    };
    const Case cases[] = {
        {"no properties", N::firstSnapshotReady, {}},
        {"a key of another event", N::firstSnapshotReady, {{"surface", "menu_bar"}}},
        {"an extra key", N::activeDay, {{"surface", "menu_bar"}, {"hostname", "laptop"}}},
        {"a path as a value",
         N::testStartAccepted,
         {{"test_kind", "quick_health"}, {"entry_point", "/home/ayse"}}},
        {"a number where a category belongs",
         N::testFailed,
         {{"test_kind", "network_speed"}, {"error_category", "42"}}},
        {"a value of another key",
         N::testCancelled,
         {{"test_kind", "quick_health"}, {"stage", "already_running"}}},
        {"case matters", N::activeDay, {{"surface", "Menu_Bar"}}},
        {"the interface's name of an entry point",
         N::testStartAccepted,
         {{"test_kind", "network_quality"}, {"entry_point", "healthCenter"}}},
        {"a failure without its category",
         N::reportExportResult,
         {{"report_kind", "diagnostic"}, {"outcome", "failed"}}},
        {"a category without a failure",
         N::reportExportResult,
         {{"report_kind", "diagnostic"}, {"outcome", "succeeded"}, {"error_category", "unknown"}}},
        {"a failure with a free-text category",
         N::reportExportResult,
         {{"report_kind", "weekly_health"}, {"outcome", "failed"}, {"error_category", "disk full at /var"}}},
        {"an empty value", N::scanReminderChanged, {{"state", "enabled"}, {"cadence", ""}}},
        {"a cadence the catalogue lacks",
         N::scanReminderChanged,
         {{"state", "enabled"}, {"cadence", "2_days"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProductAnalyticsEnvelope envelope = envelopeOf({c.name, c.properties});
        EXPECT_EQ(validationFailure([&] { ProductAnalyticsContract::validate(envelope); }),
                  Kind::invalidEventProperties);
        EXPECT_EQ(validationFailure(
                      [&] { ProductAnalyticsContract::decode(ProductAnalyticsContract::encode(envelope)); }),
                  Kind::invalidEventProperties);
    }
}

// Reading an envelope back is strict, and says which part broke the contract.
TEST(ProductAnalyticsContract, DecodingNamesWhatIsWrong) {
    const QJsonObject good = ProductAnalyticsContract::encode(
        envelopeOf(ProductAnalyticsEvent::activeDay(ProductAnalyticsSurface::mainWindow)));
    struct Case {
        const char* what;
        std::function<void(QJsonObject&)> change;
        Kind expected;
    };
    const auto set = [](const char* key, QJsonValue value) {
        return [key, value](QJsonObject& o) { o.insert(QLatin1String(key), value); };
    };
    const Case cases[] = {
        {"an unknown key", set("hostname", QStringLiteral("laptop")), Kind::unknownField},
        {"a key in another spelling", set("eventId", QStringLiteral("x")), Kind::unknownField},
        {"schema 2", set("event_schema_version", 2), Kind::unsupportedEventSchema},
        {"schema as text", set("event_schema_version", QStringLiteral("1")), Kind::unsupportedEventSchema},
        {"schema missing", [](QJsonObject& o) { o.remove(QStringLiteral("event_schema_version")); },
         Kind::unsupportedEventSchema},
        {"an unknown event", set("name", QStringLiteral("app_opened")), Kind::invalidEventProperties},
        {"a number as a property", set("properties", QJsonObject{{QStringLiteral("surface"), 1}}),
         Kind::invalidEventProperties},
        {"properties as a list", set("properties", QJsonArray{QStringLiteral("menu_bar")}),
         Kind::invalidEventProperties},
        {"an event id that is no UUID", set("event_id", QStringLiteral("42")), Kind::invalidMetadata},
        {"a null installation id",
         set("anonymous_installation_id", QStringLiteral("00000000-0000-0000-0000-000000000000")),
         Kind::invalidMetadata},
        {"a fractional time", set("occurred_at", 1765000000.5), Kind::invalidMetadata},
        {"a time as text", set("occurred_at", QStringLiteral("1765000000")), Kind::invalidMetadata},
        {"a time before 1970", set("occurred_at", -1), Kind::invalidMetadata},
        {"a path as the version", set("app_version", QStringLiteral("/opt/kestrum")), Kind::invalidMetadata},
        {"a version with a space", set("app_version", QStringLiteral("1.0 beta")), Kind::invalidMetadata},
        {"an empty build", set("app_build", QString()), Kind::invalidMetadata},
        {"a 33-character build", set("app_build", QString(33, u'1')), Kind::invalidMetadata},
        {"a build that is a number", set("app_build", 7), Kind::invalidMetadata},
        {"an unknown distribution", set("distribution", QStringLiteral("debian")), Kind::invalidMetadata},
        {"a language code outside the three", set("language", QStringLiteral("de")), Kind::invalidMetadata},
        {"the language missing", [](QJsonObject& o) { o.remove(QStringLiteral("language")); },
         Kind::invalidMetadata},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QJsonObject changed = good;
        c.change(changed);
        EXPECT_EQ(validationFailure([&] { ProductAnalyticsContract::decode(changed); }), c.expected);
    }
    QJsonObject longest = good;
    longest.insert(QStringLiteral("app_build"), QString(32, u'9'));
    EXPECT_FALSE(validationFailure([&] { ProductAnalyticsContract::decode(longest); }))
        << "32 characters are allowed";
}

TEST(ProductAnalyticsContract, BatchBodyCarriesTheContractVersionAndTheEvents) {
    ProductAnalyticsEventBatch batch;
    batch.events = {envelopeOf(ProductAnalyticsEvent::activeDay(ProductAnalyticsSurface::mainWindow))};
    const QJsonObject body = QJsonDocument::fromJson(batch.encoded()).object();
    EXPECT_EQ(body.keys(),
              (QStringList{QStringLiteral("events"), QStringLiteral("privacy_contract_version")}));
    EXPECT_EQ(body.value(QStringLiteral("privacy_contract_version")).toInt(), 1);
    EXPECT_EQ(ProductAnalyticsContract::decode(body.value(QStringLiteral("events")).toArray().at(0)),
              batch.events[0]);
}

// Only real booleans and integers count, and events go only to https on the vendor's domain.
TEST(ProductAnalyticsReleaseConfiguration, EndpointResolution) {
    using C = ProductAnalyticsReleaseConfiguration;
    const QString domain = QStringLiteral("analytics.example.org");
    const auto info = [](QVariant enabled, QVariant endpoint, QVariant version) {
        return QVariantMap{
            {C::kEnabledKey, enabled}, {C::kEndpointKey, endpoint}, {C::kPrivacyContractVersionKey, version}};
    };
    const QString ok = QStringLiteral("https://analytics.example.org/v1/batch");
    struct Case {
        const char* what;
        QVariantMap information;
        bool accepted;
    };
    const Case cases[] = {
        {"enabled, https, on the domain", info(true, ok, 1), true},
        {"a subdomain", info(true, QStringLiteral("https://eu.analytics.example.org/batch"), 1), true},
        {"upper-case host", info(true, QStringLiteral("https://EU.Analytics.Example.org/batch"), 1), true},
        {"a port", info(true, QStringLiteral("https://analytics.example.org:8443/batch"), 1), true},
        {"enabled as text", info(QStringLiteral("true"), ok, 1), false},
        {"enabled as a number", info(1, ok, 1), false},
        {"disabled", info(false, ok, 1), false},
        {"version as text", info(true, ok, QStringLiteral("1")), false},
        {"version as a double", info(true, ok, 1.0), false},
        {"version 2", info(true, ok, 2), false},
        {"version missing", info(true, ok, QVariant()), false},
        {"plain http", info(true, QStringLiteral("http://analytics.example.org/batch"), 1), false},
        {"user and password", info(true, QStringLiteral("https://u:p@analytics.example.org/batch"), 1),
         false},
        {"a user alone", info(true, QStringLiteral("https://u@analytics.example.org/batch"), 1), false},
        {"a query", info(true, QStringLiteral("https://analytics.example.org/batch?id=7"), 1), false},
        {"a fragment", info(true, QStringLiteral("https://analytics.example.org/batch#x"), 1), false},
        {"another domain", info(true, QStringLiteral("https://tracker.example.com/batch"), 1), false},
        {"a look-alike suffix", info(true, QStringLiteral("https://evilanalytics.example.org/batch"), 1),
         false},
        {"the domain as a subdomain elsewhere",
         info(true, QStringLiteral("https://analytics.example.org.evil.net/b"), 1), false},
        {"no endpoint", info(true, QVariant(), 1), false},
        {"not a URL", info(true, QStringLiteral("https://"), 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(C::fromInformation(c.information).resolvedEndpoint(domain).has_value(), c.accepted);
    }
}

// The build names the distributor's endpoint; the preference may replace it only within its domain.
TEST(ProductAnalyticsReleaseConfiguration, PreferenceAndBuildOptionsTogether) {
    const QString key = ProductAnalyticsEndpointConfiguration::kEndpointPreferenceKey;
    struct Case {
        const char* what;
        std::optional<PreferenceValue> preference;
        const char* buildEndpoint;
        const char* buildDomain;
        const char* expected; // empty: nothing configured or refused
    };
    const Case cases[] = {
        {"nothing anywhere", {}, "", "", ""},
        {"the build's endpoint", {}, "https://c.example.org/e", "", "https://c.example.org/e"},
        {"the preference alone", QString("https://127.0.0.1:4443/e"), "", "", "https://127.0.0.1:4443/e"},
        {"an empty preference switches the build's off", QString(""), "https://c.example.org/e", "", ""},
        {"a preference within the build's domain", QString("https://eu.example.org/e"),
         "https://c.example.org/e", "example.org", "https://eu.example.org/e"},
        {"a preference on another host than the build's", QString("https://other.net/e"),
         "https://c.example.org/e", "", ""},
        {"a preference that is not text is ignored", PreferenceValue(true), "https://c.example.org/e", "",
         "https://c.example.org/e"},
        {"the build's endpoint outside its own domain", {}, "https://c.example.org/e", "example.com", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InMemoryPreferencesStore preferences;
        if (c.preference)
            preferences.setValue(key, *c.preference);
        const auto resolved = ProductAnalyticsEndpointConfiguration::resolve(
            preferences, QString::fromLatin1(c.buildEndpoint), QString::fromLatin1(c.buildDomain));
        EXPECT_EQ(resolved.endpoint ? resolved.endpoint->toString() : QString(),
                  QString::fromLatin1(c.expected));
    }
}

TEST(ProductAnalyticsAppMetadata, LanguageCategoryFollowsTheInterfaceAndTheEnvironment) {
    struct Case {
        bool english;
        const char* language;
        const char* lang;
        ProductAnalyticsLanguageCategory expected;
    };
    using L = ProductAnalyticsLanguageCategory;
    const Case cases[] = {
        {true, "de:en", "", L::en},
        {false, "tr_TR", "", L::tr},
        {false, "de:tr", "", L::tr},
        {false, "", "tr_TR.UTF-8", L::tr},
        {false, "", "de_DE.UTF-8", L::other},
        {false, "", "C.UTF-8", L::other},
        {false, "", "", L::other},
        {false, "trk", "", L::other},
    };
    for (const Case& c : cases) {
        QProcessEnvironment environment;
        if (*c.language)
            environment.insert(QStringLiteral("LANGUAGE"), QString::fromLatin1(c.language));
        if (*c.lang)
            environment.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
        EXPECT_EQ(productAnalyticsLanguageCategory(c.english, environment), c.expected)
            << c.language << c.lang;
    }
    const ProductAnalyticsAppMetadata current = ProductAnalyticsAppMetadata::current();
    EXPECT_TRUE(ProductAnalyticsContract::isValidVersionText(current.appVersion))
        << current.appVersion.toStdString();
    EXPECT_TRUE(ProductAnalyticsContract::isValidVersionText(current.appBuild))
        << current.appBuild.toStdString();
    EXPECT_EQ(current.distribution, ProductAnalyticsDistributionCategory::advanced);
}
