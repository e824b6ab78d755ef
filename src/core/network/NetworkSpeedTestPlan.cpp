#include "NetworkSpeedTestPlan.h"

namespace kestrum {

NetworkSpeedTestPlan NetworkSpeedTestPlan::make(NetworkSpeedTestMode mode) {
    NetworkSpeedTestPlan plan;
    plan.mode = mode;
    plan.parallelStreamCount = 16;
    plan.warmupBytes = {1'000'000, 250'000};
    plan.minimumBytesPerStream = {250'000, 125'000};
    plan.initialMaximumBytesPerStream = {1'000'000, 2'000'000};
    plan.maximumBytesPerStream = {1'000'000, 5'000'000};
    plan.maximumAttempts = 3;
    switch (mode) {
    case NetworkSpeedTestMode::quick:
        plan.minimumDirectionSeconds = 3.0;
        plan.targetRoundSeconds = 1.25;
        plan.minimumRounds = 2;
        plan.maximumRounds = 10;
        plan.idleLatencySampleCount = 4;
        plan.loadedLatencySampleCount = 2;
        plan.transferBudgetBytes = {100'000'000, 50'000'000};
        break;
    case NetworkSpeedTestMode::comprehensive:
        plan.minimumDirectionSeconds = 6.0;
        plan.targetRoundSeconds = 2.0;
        plan.minimumRounds = 3;
        plan.maximumRounds = 25;
        plan.idleLatencySampleCount = 6;
        plan.loadedLatencySampleCount = 3;
        plan.transferBudgetBytes = {120'000'000, 60'000'000};
        break;
    }
    return plan;
}

} // namespace kestrum
