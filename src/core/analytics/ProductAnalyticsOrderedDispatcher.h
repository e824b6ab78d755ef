#pragma once

#include "ProductAnalyticsConsentStore.h"
#include "ProductAnalyticsEvent.h"

#include <deque>
#include <functional>
#include <mutex>

namespace kestrum {

// The hand-off between a feature that records an event and the pipeline: `submit` only appends to a
// short list under a lock and, when the list was empty, asks the pipeline's thread to take it. The
// pipeline receives the events one after another in submission order. Safe from any thread.
class ProductAnalyticsOrderedDispatcher {
public:
    // Events waiting at most; more are refused (analytics never holds a feature up or grows without bound).
    static constexpr size_t kDefaultMaximumPendingEventCount = 100;

    using Deliver = std::function<void(const ProductAnalyticsEvent&, const ProductAnalyticsConsentSnapshot&)>;
    // Runs work on the pipeline's thread, in the order given.
    using Executor = std::function<void(std::function<void()>)>;

    ProductAnalyticsOrderedDispatcher(Executor executor, Deliver deliver,
                                      size_t maximumPendingEventCount = kDefaultMaximumPendingEventCount);

    // False when the list is full: the event is dropped.
    bool submit(ProductAnalyticsEvent event, ProductAnalyticsConsentSnapshot consent);
    size_t pendingCount() const;

private:
    void drain();

    struct Pending {
        ProductAnalyticsEvent event;
        ProductAnalyticsConsentSnapshot consent;
    };
    const Executor m_executor;
    const Deliver m_deliver;
    const size_t m_maximum;
    mutable std::mutex m_mutex;
    std::deque<Pending> m_pending;
    bool m_drainScheduled = false;
};

} // namespace kestrum
