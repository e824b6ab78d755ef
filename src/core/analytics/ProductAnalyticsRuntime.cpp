#include "ProductAnalyticsRuntime.h"

#include "AnalyticsLogging.h"
#include "CurlProductAnalyticsTransport.h"
#include "ProductAnalyticsOrderedDispatcher.h"
#include "ProductAnalyticsRemotePipeline.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Uuid.h"
#include "network/CurlHTTPClient.h"

#include <QJsonDocument>
#include <QPromise>

namespace kestrum {

const QString ProductAnalyticsRuntime::kActiveDayMainWindowKey =
    QStringLiteral("Kestrum.analytics.activeDay.mainWindow");
const QString ProductAnalyticsRuntime::kActiveDayMenuBarKey =
    QStringLiteral("Kestrum.analytics.activeDay.menuBar");

QString ProductAnalyticsRuntime::standardQueueFile() {
    return KestrumPaths::dataDirectory() + QStringLiteral("/analytics-queue.json");
}

ProductAnalyticsRuntime::Configuration
ProductAnalyticsRuntime::standardConfiguration(PreferencesStore& preferences,
                                               const QString& preferencesFile) {
    Configuration configuration;
    configuration.preferences = &preferences;
    configuration.readSavedPreferences = [preferencesFile]() -> std::unique_ptr<PreferencesStore> {
        return std::make_unique<JsonFilePreferencesStore>(preferencesFile);
    };
    configuration.endpoint = ProductAnalyticsEndpointConfiguration::resolve(preferences);
    configuration.queueFile = standardQueueFile();
    configuration.metadata = ProductAnalyticsAppMetadata::current();
    configuration.debugLocal = qEnvironmentVariableIntValue("KESTRUM_ANALYTICS_DEBUG") == 1;
    return configuration;
}

ProductAnalyticsRuntime::ProductAnalyticsRuntime(Configuration configuration)
    : m_configuration(std::move(configuration)) {
    Q_ASSERT(m_configuration.preferences);
    if (!m_configuration.idProvider)
        m_configuration.idProvider = newUuid;
    m_consent = std::make_shared<ProductAnalyticsConsentStore>(
        *m_configuration.preferences, ProductAnalyticsReleaseConfiguration::kSupportedPrivacyContractVersion,
        m_configuration.readSavedPreferences);

    if (m_configuration.debugLocal) {
        m_recorder =
            ProductAnalyticsRecorder(ProductAnalyticsMode::debugLocal, [](ProductAnalyticsEvent event) {
                QJsonObject properties;
                for (const auto& [key, value] : event.properties)
                    properties.insert(key, value);
                qCInfo(lcAnalytics).noquote()
                    << "Analytics event (kept local):" << rawValue(event.name)
                    << QString::fromUtf8(QJsonDocument(properties).toJson(QJsonDocument::Compact))
                    << (productAnalyticsPropertiesMatchCatalogue(event.name, event.properties)
                            ? "valid"
                            : "breaks the catalogue");
            });
        return;
    }
    if (!isAvailable())
        return; // nothing is recorded: the recorder stays disabled

    // Hands each event to the pipeline's thread; runs only while the mode is not disabled.
    m_recorder =
        ProductAnalyticsRecorder(ProductAnalyticsMode::disabled, [this](ProductAnalyticsEvent event) {
            if (!m_dispatcher->submit(std::move(event), m_consent->snapshot()))
                qCWarning(lcAnalytics) << "Analytics event dropped: too many waiting";
        });
    if (m_configuration.deliversEvents) {
        m_transport = m_configuration.transport;
        if (!m_transport) {
            m_httpClient = std::make_shared<CurlHTTPClient>();
            m_transport = std::make_shared<CurlProductAnalyticsTransport>(
                *m_configuration.endpoint.endpoint, m_httpClient, m_configuration.dateProvider);
        }
    }
    ProductAnalyticsRemotePipeline::Dependencies dependencies;
    dependencies.consent = m_consent;
    dependencies.transport = m_transport;
    dependencies.queueFile = m_configuration.queueFile;
    dependencies.queueConfiguration = m_configuration.queue;
    dependencies.metadata = m_configuration.metadata;
    dependencies.privacyContractVersion =
        ProductAnalyticsReleaseConfiguration::kSupportedPrivacyContractVersion;
    dependencies.dateProvider = m_configuration.dateProvider;
    dependencies.idProvider = m_configuration.idProvider;
    dependencies.deliversEvents = m_configuration.deliversEvents;
    // Another process withdrew the consent: stop recording here too.
    dependencies.consentWithdrawn = [recorder = m_recorder] {
        recorder.setMode(ProductAnalyticsMode::disabled);
    };
    m_pipeline = std::make_unique<ProductAnalyticsRemotePipeline>(std::move(dependencies));
    ProductAnalyticsRemotePipeline* pipeline = m_pipeline.get();
    m_dispatcher = std::make_unique<ProductAnalyticsOrderedDispatcher>(
        [pipeline](std::function<void()> work) { pipeline->post(std::move(work)); },
        [pipeline](const ProductAnalyticsEvent& event, const ProductAnalyticsConsentSnapshot& consent) {
            pipeline->recordOnPipelineThread(event, consent);
        },
        m_configuration.maximumPendingEventCount);
    updateMode();
}

ProductAnalyticsRuntime::~ProductAnalyticsRuntime() {
    // Nothing new is handed over while the pipeline finishes and stops.
    m_recorder.setMode(ProductAnalyticsMode::disabled);
    m_pipeline.reset();
    m_dispatcher.reset();
}

bool ProductAnalyticsRuntime::isAvailable() const {
    return m_configuration.endpoint.endpoint.has_value();
}

ProductAnalyticsConsentSnapshot ProductAnalyticsRuntime::consent() const {
    return m_consent->snapshot();
}

int ProductAnalyticsRuntime::privacyContractVersion() const {
    return m_consent->privacyContractVersion();
}

bool ProductAnalyticsRuntime::shouldAskForConsent() const {
    return isAvailable() && !m_configuration.debugLocal && !m_consent->hasAnswered();
}

void ProductAnalyticsRuntime::updateMode() {
    if (m_configuration.debugLocal || !m_pipeline)
        return;
    m_recorder.setMode(m_consent->snapshot().allowsRemoteAnalytics ? ProductAnalyticsMode::optedInRemote
                                                                   : ProductAnalyticsMode::disabled);
}

void ProductAnalyticsRuntime::optIn(ProductAnalyticsConsentSource source) {
    if (!m_pipeline)
        return;
    const QUuid installationID = m_configuration.idProvider();
    // Stored here at once, so that what is recorded from now on carries the new identifier; the pipeline
    // then sends what is due.
    m_consent->optIn(installationID);
    // The pipeline only sends: were it to store the consent again, a quick "off" after this "on" could be
    // overwritten by its late copy.
    m_pipeline->flush(m_configuration.dateProvider());
    updateMode();
    m_recorder.record(
        ProductAnalyticsEvent::analyticsConsentChanged(ProductAnalyticsConsentState::optedIn, source));
}

void ProductAnalyticsRuntime::optOut(ProductAnalyticsConsentSource source) {
    const bool wasAllowed = m_consent->snapshot().allowsRemoteAnalytics;
    // Nothing more is handed over from this moment; what is in flight is cancelled.
    if (!m_configuration.debugLocal)
        m_recorder.setMode(ProductAnalyticsMode::disabled);
    if (m_transport)
        m_transport->cancelPendingRequests();
    m_consent->optOut();
    if (m_pipeline)
        m_pipeline->discardQueue();
    // Recorded after the consent is gone, so it only ever reaches the local debug log: a withdrawal is
    // never sent.
    m_recorder.record(ProductAnalyticsEvent::analyticsConsentChanged(
        wasAllowed ? ProductAnalyticsConsentState::withdrawn : ProductAnalyticsConsentState::optedOut,
        source));
}

void ProductAnalyticsRuntime::prepareForLaunch() {
    if (!m_pipeline)
        return;
    m_pipeline->prepareForLaunch();
}

void ProductAnalyticsRuntime::recordActiveDay(ProductAnalyticsSurface surface) {
    if (m_recorder.mode() == ProductAnalyticsMode::disabled)
        return;
    const QString& key =
        surface == ProductAnalyticsSurface::mainWindow ? kActiveDayMainWindowKey : kActiveDayMenuBarKey;
    const Date now = m_configuration.dateProvider();
    const std::optional<Date> last = m_configuration.preferences->dateValue(key);
    if (last && last->toDateTime().toLocalTime().date() == now.toDateTime().toLocalTime().date())
        return;
    m_recorder.record(ProductAnalyticsEvent::activeDay(surface));
    m_configuration.preferences->setValue(key, now);
}

void ProductAnalyticsRuntime::settle() {
    if (!m_pipeline)
        return;
    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> done = promise->future();
    m_pipeline->post([promise] { promise->finish(); });
    done.waitForFinished();
}

} // namespace kestrum
