#pragma once

#include "foundation/KestrumError.h"
#include "monitor/OperationContext.h"

#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

namespace kestrum {

// How a heavy test judges the fresh sample it takes before each loaded step.
struct HealthTestSamplingRules {
    // Serious or critical: the test stops with this error.
    std::function<KestrumError(ThermalLevel)> unsafeThermalState;
    // Unreadable although the machine offers a thermal signal; absent: the test goes on.
    std::function<KestrumError()> thermalUnavailable;
    // No sample could be taken.
    std::function<KestrumError()> measurementRequired;
};

// Ends the test when a stop was requested; called after every wait, before anything else is touched: the
// store may be going away.
inline void throwIfStopped(const std::stop_token& stop) {
    if (stop.stop_requested())
        throw CancellationError();
}

// Takes a fresh sample through the store and applies the thermal rules. On a machine that offers no
// thermal signal at all the test goes on and `warnings` gets, once, the note that it ran unprotected.
QCoro::Task<SystemSnapshot> takeCheckedSample(OperationContext& context, std::stop_token stop,
                                              const HealthTestSamplingRules& rules,
                                              std::vector<QString>& warnings);

} // namespace kestrum
