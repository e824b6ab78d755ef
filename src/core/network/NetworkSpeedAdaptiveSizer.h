#pragma once

#include "NetworkSpeedTestPlan.h"

#include <atomic>

namespace kestrum {

// Chooses the bytes each stream asks for: a first size from the warm-up, then a size per round that
// aims at the plan's round length, grows at most eightfold and never shrinks.
struct NetworkSpeedAdaptiveSizer {
    int64_t initialBytesPerStream(const NetworkSpeedTransferMeasurement& seed,
                                  const NetworkSpeedTestPlan& plan,
                                  NetworkSpeedTransferDirection direction) const;
    // `usedBytesPerStream` is what the round just measured asked of each stream.
    int64_t nextBytesPerStream(const NetworkSpeedTransferMeasurement& round, int64_t usedBytesPerStream,
                               const NetworkSpeedTestPlan& plan,
                               NetworkSpeedTransferDirection direction) const;
};

// The byte ceiling of one direction. Reserved bytes are never given back, even when the request that
// reserved them fails. Safe to call from any thread.
class NetworkSpeedTransferBudget {
public:
    explicit NetworkSpeedTransferBudget(int64_t budget);
    bool reserve(int64_t bytes);
    int64_t remainingBytes() const;
    int64_t initialBytes() const { return m_initial; }

private:
    const int64_t m_initial;
    std::atomic<int64_t> m_remaining;
};

} // namespace kestrum
