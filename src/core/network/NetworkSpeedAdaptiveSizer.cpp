#include "NetworkSpeedAdaptiveSizer.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

// The integer part of a finite non-negative double, saturated so that a huge rate cannot overflow.
int64_t integerPart(double value) {
    if (!std::isfinite(value) || value <= 0)
        return 0;
    if (value >= 9.0e18)
        return INT64_C(9'000'000'000'000'000'000);
    return static_cast<int64_t>(value);
}

} // namespace

int64_t NetworkSpeedAdaptiveSizer::initialBytesPerStream(const NetworkSpeedTransferMeasurement& seed,
                                                         const NetworkSpeedTestPlan& plan,
                                                         NetworkSpeedTransferDirection direction) const {
    const int64_t minimum = plan.minimumBytesPerStream.of(direction);
    const int64_t maximum = plan.initialMaximumBytesPerStream.of(direction);
    const int streams = plan.parallelStreamCount;
    if (seed.byteCount < 1 || !std::isfinite(seed.durationSeconds) || seed.durationSeconds <= 0 ||
        streams < 1)
        return minimum;
    const double rate = double(seed.byteCount) * 8.0 / seed.durationSeconds / 1e6;
    if (!std::isfinite(rate) || rate <= 0)
        return minimum;
    const double seconds = std::max(std::min(plan.targetRoundSeconds, 1.0), 0.25);
    const int64_t size = integerPart(seconds * rate * 1e6 * 0.125 / streams);
    return std::min(maximum, std::max(minimum, size));
}

int64_t NetworkSpeedAdaptiveSizer::nextBytesPerStream(const NetworkSpeedTransferMeasurement& round,
                                                      int64_t usedBytesPerStream,
                                                      const NetworkSpeedTestPlan& plan,
                                                      NetworkSpeedTransferDirection direction) const {
    const int64_t used = usedBytesPerStream;
    const int streams = plan.parallelStreamCount;
    int64_t size = used;
    if (round.byteCount >= 1 && round.durationSeconds > 0 && streams > 0) {
        const int64_t candidate = integerPart(double(round.byteCount) / round.durationSeconds *
                                              std::max(plan.targetRoundSeconds, 0.25) / streams);
        const int64_t growthCeiling = 8 * std::max<int64_t>(used, 1);
        size = std::max(used, std::min(growthCeiling, candidate));
    }
    return std::min(plan.maximumBytesPerStream.of(direction),
                    std::max(plan.minimumBytesPerStream.of(direction), size));
}

NetworkSpeedTransferBudget::NetworkSpeedTransferBudget(int64_t budget)
    : m_initial(std::max<int64_t>(0, budget)), m_remaining(m_initial) {}

bool NetworkSpeedTransferBudget::reserve(int64_t bytes) {
    if (bytes < 1)
        return false;
    int64_t remaining = m_remaining.load();
    while (remaining >= bytes) {
        if (m_remaining.compare_exchange_weak(remaining, remaining - bytes))
            return true;
    }
    return false;
}

int64_t NetworkSpeedTransferBudget::remainingBytes() const {
    return m_remaining.load();
}

} // namespace kestrum
