#pragma once

#include "NetworkSpeedTestResult.h"

#include <cstdint>

namespace kestrum {

// Per-direction values: the first for download, the second for upload.
struct NetworkSpeedDirectionValues {
    int64_t download = 0;
    int64_t upload = 0;
    int64_t of(NetworkSpeedTransferDirection direction) const {
        return direction == NetworkSpeedTransferDirection::download ? download : upload;
    }
    bool operator==(const NetworkSpeedDirectionValues&) const = default;
};

// Everything a run needs to know about its mode, built once per run.
struct NetworkSpeedTestPlan {
    NetworkSpeedTestMode mode = NetworkSpeedTestMode::quick;
    int parallelStreamCount = 16;
    double minimumDirectionSeconds = 0;
    double targetRoundSeconds = 0;
    int minimumRounds = 0;
    int maximumRounds = 0;
    int idleLatencySampleCount = 0;
    int loadedLatencySampleCount = 0;
    NetworkSpeedDirectionValues warmupBytes;
    NetworkSpeedDirectionValues transferBudgetBytes;
    NetworkSpeedDirectionValues minimumBytesPerStream;
    NetworkSpeedDirectionValues initialMaximumBytesPerStream;
    NetworkSpeedDirectionValues maximumBytesPerStream;
    int maximumAttempts = 3;

    static NetworkSpeedTestPlan make(NetworkSpeedTestMode mode);
    bool operator==(const NetworkSpeedTestPlan&) const = default;
};

// The two warm-ups together count this many bytes in every result.
inline constexpr int64_t kNetworkSpeedWarmupAccountedBytes = 1'250'000;

} // namespace kestrum
