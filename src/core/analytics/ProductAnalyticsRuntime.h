#pragma once

#include "ProductAnalyticsConsentStore.h"
#include "ProductAnalyticsDeliveryQueue.h"
#include "ProductAnalyticsRecorder.h"
#include "ProductAnalyticsReleaseConfiguration.h"
#include "foundation/Clocks.h"

#include <memory>

namespace kestrum {

class HTTPTransporting;
class ProductAnalyticsBatchTransport;
class ProductAnalyticsOrderedDispatcher;
class ProductAnalyticsRemotePipeline;

// Product analytics for one process: the consent, the recorder every feature records through, and —
// only where an endpoint is configured — the pipeline with its queue and its thread. Without an
// endpoint nothing is recorded and the consent question is not asked. Lives on the main thread; the
// recorder may be used from any thread.
class ProductAnalyticsRuntime {
public:
    static const QString kActiveDayMainWindowKey; // "Kestrum.analytics.activeDay.mainWindow"
    static const QString kActiveDayMenuBarKey;    // "Kestrum.analytics.activeDay.menuBar"

    struct Configuration {
        PreferencesStore* preferences = nullptr;
        ProductAnalyticsConsentStore::SavedPreferencesReader readSavedPreferences;
        ProductAnalyticsEndpointConfiguration endpoint;
        QString queueFile;
        ProductAnalyticsQueueConfiguration queue;
        ProductAnalyticsAppMetadata metadata;
        // Events are written to the log instead (KESTRUM_ANALYTICS_DEBUG=1); nothing is queued or sent.
        bool debugLocal = false;
        // false: events are queued for the running application to send (short commands).
        bool deliversEvents = true;
        // How batches travel; by default over a CurlHTTPClient of this runtime's own.
        std::shared_ptr<ProductAnalyticsBatchTransport> transport;
        DateProvider dateProvider = systemDateProvider();
        std::function<QUuid()> idProvider; // installation and event identifiers; random by default
        size_t maximumPendingEventCount = 100;
    };

    // This installation: the endpoint from the build options and the preferences, the queue in the data
    // folder, this build's metadata, the saved preferences at `preferencesFile`.
    static Configuration standardConfiguration(PreferencesStore& preferences, const QString& preferencesFile);
    // <data>/analytics-queue.json
    static QString standardQueueFile();

    explicit ProductAnalyticsRuntime(Configuration configuration);
    ~ProductAnalyticsRuntime();
    ProductAnalyticsRuntime(const ProductAnalyticsRuntime&) = delete;
    ProductAnalyticsRuntime& operator=(const ProductAnalyticsRuntime&) = delete;

    const ProductAnalyticsRecorder& recorder() const { return m_recorder; }
    // An endpoint is configured and accepted: the consent question may be asked.
    bool isAvailable() const;
    const ProductAnalyticsEndpointConfiguration& endpoint() const { return m_configuration.endpoint; }
    ProductAnalyticsMode mode() const { return m_recorder.mode(); }
    ProductAnalyticsConsentSnapshot consent() const;
    int privacyContractVersion() const;
    // Available, and the user has not answered for the current privacy contract version.
    bool shouldAskForConsent() const;
    const QString& queueFile() const { return m_configuration.queueFile; }

    // Opting in makes a new installation identifier. Each records "analytics_consent_changed".
    void optIn(ProductAnalyticsConsentSource source);
    // Withdraws at once: nothing more is recorded, a delivery in flight is cancelled, the queue is removed.
    void optOut(ProductAnalyticsConsentSource source);
    // At launch: a queue without valid consent is cleared; with consent, what is due is sent.
    void prepareForLaunch();
    // "active_day" once per calendar day and surface.
    void recordActiveDay(ProductAnalyticsSurface surface);
    // Waits until every event handed over so far is in the queue file.
    void settle();

    // Absent without an endpoint (and in the local debug mode).
    ProductAnalyticsRemotePipeline* pipeline() const { return m_pipeline.get(); }

private:
    void updateMode();

    Configuration m_configuration;
    std::shared_ptr<ProductAnalyticsConsentStore> m_consent;
    ProductAnalyticsRecorder m_recorder;
    std::shared_ptr<HTTPTransporting> m_httpClient;
    std::shared_ptr<ProductAnalyticsBatchTransport> m_transport;
    // Declared before the pipeline: the pipeline goes first and finishes the hand-offs it was given.
    std::unique_ptr<ProductAnalyticsOrderedDispatcher> m_dispatcher;
    std::unique_ptr<ProductAnalyticsRemotePipeline> m_pipeline;
};

} // namespace kestrum
