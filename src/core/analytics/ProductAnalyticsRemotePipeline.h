#pragma once

#include "ProductAnalyticsBatchTransport.h"
#include "ProductAnalyticsConsentStore.h"
#include "ProductAnalyticsDeliveryQueue.h"
#include "foundation/Clocks.h"

#include <QFuture>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace kestrum {

// Records, queues and delivers analytics events on a thread of its own: a serialised object, one
// operation at a time in the order handed over. Nothing it does blocks or fails its callers; every
// problem ends in the log.
class ProductAnalyticsRemotePipeline {
public:
    struct Dependencies {
        std::shared_ptr<ProductAnalyticsConsentStore> consent;
        std::shared_ptr<ProductAnalyticsBatchTransport> transport;
        QString queueFile;
        ProductAnalyticsQueueConfiguration queueConfiguration;
        ProductAnalyticsAppMetadata metadata;
        int privacyContractVersion = 1;
        DateProvider dateProvider = systemDateProvider();
        std::function<QUuid()> idProvider; // event identifiers; random by default
        // false: events are only queued (short commands leave the sending to the running application).
        bool deliversEvents = true;
        // Called on the pipeline's thread when a flush finds that the saved consent is gone.
        std::function<void()> consentWithdrawn;
    };

    explicit ProductAnalyticsRemotePipeline(Dependencies dependencies);
    // Finishes what was handed over before, cancels a delivery in flight (its events stay queued), stops
    // the thread.
    ~ProductAnalyticsRemotePipeline();
    ProductAnalyticsRemotePipeline(const ProductAnalyticsRemotePipeline&) = delete;
    ProductAnalyticsRemotePipeline& operator=(const ProductAnalyticsRemotePipeline&) = delete;

    // Builds, validates and queues the event when the consent still allows it and still names the
    // installation the caller expected, then starts a flush. True when the event was queued.
    QFuture<bool> record(ProductAnalyticsEvent event, ProductAnalyticsConsentSnapshot expected);
    // Sends what is due at `at`, batch after batch, until the queue has nothing due or a batch fails (the
    // next flush is then scheduled at the earliest retry). Finishes when no flush runs any more.
    QFuture<void> flush(Date at);
    QFuture<void> optIn(QUuid installationID);
    // Cancels what is in flight, removes the queue and its file, and opts the consent store out.
    QFuture<void> optOut();
    // Cancels what is in flight and removes the queue and its file; the consent is left as it is (for a
    // caller that has already stored the user's answer).
    QFuture<void> discardQueue();
    // Clears a queue that no valid consent covers; with consent, flushes.
    QFuture<void> prepareForLaunch();
    // What waits in the queue now.
    QFuture<std::vector<ProductAnalyticsQueuedEvent>> queuedEvents();
    // Runs `work` on the pipeline's thread after everything handed over before it.
    void post(std::function<void()> work);
    // `record` for work already running on the pipeline's thread (the dispatcher's hand-off).
    bool recordOnPipelineThread(const ProductAnalyticsEvent& event,
                                const ProductAnalyticsConsentSnapshot& expected);

    // The time of the next automatic flush, when one is scheduled.
    std::optional<Date> scheduledFlush() const;

    class Worker;

private:
    std::unique_ptr<QThread> m_thread;
    Worker* m_worker = nullptr; // lives on m_thread
    mutable std::mutex m_scheduleMutex;
    std::optional<Date> m_scheduled;
    friend class Worker;
};

} // namespace kestrum
