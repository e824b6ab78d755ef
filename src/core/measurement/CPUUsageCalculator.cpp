#include "CPUUsageCalculator.h"

#include "foundation/Translatable.h"

#include <algorithm>

namespace kestrum::CPUUsageCalculator {

namespace {

// A counter that went backwards was reset or wrapped: its current value is the whole delta.
uint64_t delta(uint64_t current, uint64_t previous) {
    return current >= previous ? current - previous : current;
}

double usage(double busy, double total) {
    return total > 0 ? std::clamp(busy / total, 0.0, 1.0) : 0.0;
}

} // namespace

CPUStats stats(const CPUTickSnapshot& current, const std::optional<CPUTickSnapshot>& previous) {
    if (current.cores.empty() || !previous || previous->cores.size() != current.cores.size()) {
        return CPUStats{
            0,
            {},
            current.loadAverage,
            MetricAvailability::unavailable(trText("CPU kullanımı için başlangıç ölçümü alındı."))};
    }
    CPUStats result;
    result.perCoreUsage.reserve(current.cores.size());
    double sumBusy = 0;
    double sumTotal = 0;
    for (size_t i = 0; i < current.cores.size(); ++i) {
        const CPUTicks& now = current.cores[i];
        const CPUTicks& before = previous->cores[i];
        const double user = static_cast<double>(delta(now.user, before.user));
        const double system = static_cast<double>(delta(now.system, before.system));
        const double nice = static_cast<double>(delta(now.nice, before.nice));
        const double idle = static_cast<double>(delta(now.idle, before.idle));
        const double busy = user + system + nice;
        result.perCoreUsage.push_back(usage(busy, busy + idle));
        sumBusy += busy;
        sumTotal += busy + idle;
    }
    result.totalUsage = usage(sumBusy, sumTotal);
    result.loadAverage = current.loadAverage;
    result.availability = MetricAvailability::available();
    return result;
}

} // namespace kestrum::CPUUsageCalculator
