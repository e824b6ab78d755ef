#include "ProductAnalyticsOrderedDispatcher.h"

namespace kestrum {

ProductAnalyticsOrderedDispatcher::ProductAnalyticsOrderedDispatcher(Executor executor, Deliver deliver,
                                                                     size_t maximumPendingEventCount)
    : m_executor(std::move(executor)), m_deliver(std::move(deliver)), m_maximum(maximumPendingEventCount) {}

bool ProductAnalyticsOrderedDispatcher::submit(ProductAnalyticsEvent event,
                                               ProductAnalyticsConsentSnapshot consent) {
    bool schedule = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_pending.size() >= m_maximum)
            return false;
        m_pending.push_back({std::move(event), std::move(consent)});
        schedule = !m_drainScheduled;
        m_drainScheduled = true;
    }
    // One wake-up per burst: later submissions join the list the scheduled drain will take.
    if (schedule)
        m_executor([this] { drain(); });
    return true;
}

size_t ProductAnalyticsOrderedDispatcher::pendingCount() const {
    std::lock_guard lock(m_mutex);
    return m_pending.size();
}

void ProductAnalyticsOrderedDispatcher::drain() {
    for (;;) {
        Pending next;
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty()) {
                m_drainScheduled = false;
                return;
            }
            next = std::move(m_pending.front());
            m_pending.pop_front();
        }
        // Outside the lock: delivering writes the queue file, and submitters must not wait for that.
        m_deliver(next.event, next.consent);
    }
}

} // namespace kestrum
