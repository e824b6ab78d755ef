#pragma once

#include "ProductAnalyticsEvent.h"

#include <atomic>
#include <functional>
#include <memory>

namespace kestrum {

enum class ProductAnalyticsMode {
    disabled,      // nothing is recorded
    debugLocal,    // events are written to the log only, never queued or sent
    optedInRemote, // events go to the pipeline
};

// What features record through: fire and forget, never blocking, never failing. Copies share their mode,
// so a consent change reaches every holder. A default-constructed recorder is disabled.
class ProductAnalyticsRecorder {
public:
    using Handler = std::function<void(ProductAnalyticsEvent)>;

    ProductAnalyticsRecorder() = default;
    ProductAnalyticsRecorder(ProductAnalyticsMode mode, Handler handler);

    void record(ProductAnalyticsEvent event) const;
    ProductAnalyticsMode mode() const;
    void setMode(ProductAnalyticsMode mode) const;

private:
    struct State {
        std::atomic<ProductAnalyticsMode> mode;
        Handler handler;
    };
    std::shared_ptr<State> m_state;
};

} // namespace kestrum
