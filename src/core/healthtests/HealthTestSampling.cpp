#include "HealthTestSampling.h"

#include "HealthTestErrors.h"

#include <algorithm>

namespace kestrum {

QCoro::Task<SystemSnapshot> takeCheckedSample(OperationContext& context, std::stop_token stop,
                                              const HealthTestSamplingRules& rules,
                                              std::vector<QString>& warnings) {
    if (stop.stop_requested())
        throw CancellationError();
    const std::optional<SystemSnapshot> snapshot = co_await context.freshSnapshot();
    if (stop.stop_requested())
        throw CancellationError();
    if (!snapshot)
        throw rules.measurementRequired();
    const ThermalLevel level = snapshot->thermal;
    if (level == ThermalLevel::serious || level == ThermalLevel::critical)
        throw rules.unsafeThermalState(level);
    if (level == ThermalLevel::unavailable) {
        if (context.machineOffersThermalSignal()) {
            if (rules.thermalUnavailable)
                throw rules.thermalUnavailable();
        } else {
            const QString warning = thermalProtectionUnavailableWarning();
            if (std::find(warnings.begin(), warnings.end(), warning) == warnings.end())
                warnings.push_back(warning);
        }
    }
    co_return *snapshot;
}

} // namespace kestrum
