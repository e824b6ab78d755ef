#pragma once

#include "NetworkSpeedTestPlan.h"

#include <optional>
#include <vector>

namespace kestrum {

// What one direction measured.
struct NetworkSpeedDirectionResult {
    std::vector<NetworkSpeedTransferMeasurement> rounds;
    std::vector<NetworkSpeedTransferMeasurement> stableRounds; // the last at most three rounds
    int64_t transferredBytes = 0;
    double elapsedSeconds = 0;
    std::optional<double> loadedLatencyMilliseconds;
    int parallelStreamCount = 0;
    bool operator==(const NetworkSpeedDirectionResult&) const = default;
};

// Why a result could not be assembled; the tester turns it into the direction's failure.
enum class NetworkSpeedResultError { missingDownloadMeasurement, missingUploadMeasurement };

struct NetworkSpeedResultAssemblyFailure {
    NetworkSpeedResultError error;
};

// Stateless: medians and the assembly of the final record.
struct NetworkSpeedResultAnalyzer {
    // Empty gives 0; an even count the mean of the two middle values.
    double median(std::vector<double> values) const;

    // Mbit/s of each stable round that has bytes, a finite positive duration and a finite rate.
    std::vector<double> stableRates(const NetworkSpeedDirectionResult& direction) const;

    struct Inputs {
        NetworkSpeedTestMode mode = NetworkSpeedTestMode::quick;
        NetworkSpeedDirectionResult download;
        NetworkSpeedDirectionResult upload;
        std::vector<double> idleLatencySamples;
        double durationSeconds = 0;
        QUuid id;
        Date timestamp;
    };
    // Throws NetworkSpeedResultAssemblyFailure when a direction has no usable stable round.
    NetworkSpeedTestResult makeResult(const Inputs& inputs) const;
};

} // namespace kestrum
