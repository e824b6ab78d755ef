#pragma once

#include "NetworkQualityResult.h"
#include "NetworkSpeedTestResult.h"

#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

// Waits `seconds` on a monotonic clock; throws CancellationError as soon as `stop` is requested.
using AsyncSleeper = std::function<QCoro::Task<void>(double seconds, std::stop_token stop)>;
AsyncSleeper systemAsyncSleeper();

// Where a speed test stands, for a live progress line.
struct NetworkSpeedTestProgress {
    enum class Phase { warmup, idleLatency, measuring };
    NetworkSpeedTestMode mode = NetworkSpeedTestMode::quick;
    Phase phase = Phase::warmup;
    std::optional<NetworkSpeedTransferDirection> direction; // while measuring
    int round = 0;                                          // rounds finished in this direction
    int maximumRounds = 0;
    std::optional<double> currentMegabitsPerSecond; // the last round's rate
    int64_t directionBytesUsed = 0;                 // reserved from this direction's budget
    int64_t directionBudgetBytes = 0;
    double elapsedSeconds = 0;
    bool operator==(const NetworkSpeedTestProgress&) const = default;
};
using NetworkSpeedProgressHandler = std::function<void(const NetworkSpeedTestProgress&)>;

// Download and upload capacity with idle and loaded latency. Runs on the caller's thread as a
// coroutine; fails with KestrumError (the speed test's texts) or CancellationError.
class NetworkSpeedTesting {
public:
    virtual ~NetworkSpeedTesting() = default;
    virtual QCoro::Task<NetworkSpeedTestResult> run(NetworkSpeedTestMode mode, std::stop_token stop,
                                                    NetworkSpeedProgressHandler progress = {}) = 0;
};

// DNS time and a short series of HEAD probes, graded. Fails with KestrumError (the quality test's
// texts) or CancellationError.
class NetworkQualityTesting {
public:
    virtual ~NetworkQualityTesting() = default;
    virtual QCoro::Task<NetworkQualityResult> run(std::stop_token stop) = 0;
};

} // namespace kestrum
