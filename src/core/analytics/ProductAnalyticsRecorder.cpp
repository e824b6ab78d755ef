#include "ProductAnalyticsRecorder.h"

#include "AnalyticsLogging.h"

namespace kestrum {

ProductAnalyticsRecorder::ProductAnalyticsRecorder(ProductAnalyticsMode mode, Handler handler)
    : m_state(std::make_shared<State>()) {
    m_state->mode.store(mode);
    m_state->handler = std::move(handler);
}

void ProductAnalyticsRecorder::record(ProductAnalyticsEvent event) const {
    if (!m_state || m_state->mode.load(std::memory_order_relaxed) == ProductAnalyticsMode::disabled ||
        !m_state->handler)
        return;
    try {
        m_state->handler(std::move(event));
    } catch (...) {
        // The feature that records goes on whatever happened here.
        qCWarning(lcAnalytics) << "Analytics event could not be handed over";
    }
}

ProductAnalyticsMode ProductAnalyticsRecorder::mode() const {
    return m_state ? m_state->mode.load() : ProductAnalyticsMode::disabled;
}

void ProductAnalyticsRecorder::setMode(ProductAnalyticsMode mode) const {
    if (m_state)
        m_state->mode.store(mode);
}

} // namespace kestrum
