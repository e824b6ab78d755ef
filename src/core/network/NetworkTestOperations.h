#pragma once

#include "NetworkTestDependencies.h"
#include "monitor/OperationContext.h"

namespace kestrum {

// The latency and stability check as a user-started operation: its result replaces the archive's latest
// quality result.
struct NetworkQualityOperation {
    static OperationWork work(std::shared_ptr<NetworkQualityTesting> tester);
    static OperationProgress initialProgress();
};

// The internet speed test as a user-started operation (started only after the user's consent): its result
// replaces the archive's latest speed result. The progress detail is a NetworkSpeedTestProgress.
struct NetworkSpeedTestOperation {
    static OperationWork work(std::shared_ptr<NetworkSpeedTesting> tester, NetworkSpeedTestMode mode);
    static OperationProgress initialProgress(NetworkSpeedTestMode mode);
    static OperationProgress progress(const NetworkSpeedTestProgress& detail);
};

} // namespace kestrum
