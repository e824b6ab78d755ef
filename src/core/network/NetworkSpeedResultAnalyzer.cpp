#include "NetworkSpeedResultAnalyzer.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

double finitePositiveOrZero(double value) {
    return std::isfinite(value) && value > 0 ? value : 0;
}

std::optional<double> finiteNonNegative(std::optional<double> value) {
    if (!value || !std::isfinite(*value) || *value < 0)
        return std::nullopt;
    return value;
}

} // namespace

double NetworkSpeedResultAnalyzer::median(std::vector<double> values) const {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    if (n % 2 == 1)
        return values[n / 2];
    return (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::vector<double>
NetworkSpeedResultAnalyzer::stableRates(const NetworkSpeedDirectionResult& direction) const {
    std::vector<double> rates;
    for (const auto& round : direction.stableRounds) {
        if (round.byteCount < 1 || !std::isfinite(round.durationSeconds) || round.durationSeconds <= 0)
            continue;
        const double rate = double(round.byteCount) * 8.0 / round.durationSeconds / 1e6;
        if (std::isfinite(rate))
            rates.push_back(rate);
    }
    return rates;
}

NetworkSpeedTestResult NetworkSpeedResultAnalyzer::makeResult(const Inputs& inputs) const {
    const std::vector<double> downloadRates = stableRates(inputs.download);
    const std::vector<double> uploadRates = stableRates(inputs.upload);
    if (downloadRates.empty())
        throw NetworkSpeedResultAssemblyFailure{NetworkSpeedResultError::missingDownloadMeasurement};
    if (uploadRates.empty())
        throw NetworkSpeedResultAssemblyFailure{NetworkSpeedResultError::missingUploadMeasurement};

    NetworkSpeedTestResult result;
    result.id = inputs.id;
    result.timestamp = inputs.timestamp;
    result.downloadMegabitsPerSecond = finitePositiveOrZero(median(downloadRates));
    result.uploadMegabitsPerSecond = finitePositiveOrZero(median(uploadRates));
    result.transferredBytes =
        std::max<int64_t>(0, inputs.download.transferredBytes + inputs.upload.transferredBytes +
                                 kNetworkSpeedWarmupAccountedBytes);
    result.durationSeconds = finitePositiveOrZero(inputs.durationSeconds);
    result.providerName = QStringLiteral("Cloudflare");
    result.mode = inputs.mode;
    if (!inputs.idleLatencySamples.empty())
        result.idleLatencyMilliseconds = finiteNonNegative(median(inputs.idleLatencySamples));
    result.downloadLoadedLatencyMilliseconds = finiteNonNegative(inputs.download.loadedLatencyMilliseconds);
    result.uploadLoadedLatencyMilliseconds = finiteNonNegative(inputs.upload.loadedLatencyMilliseconds);
    result.parallelStreamCount =
        std::max(0, std::min(inputs.download.parallelStreamCount, inputs.upload.parallelStreamCount));
    const int stableCount = int(inputs.download.stableRounds.size() + inputs.upload.stableRounds.size());
    result.measurementSampleCount = stableCount;
    if (inputs.mode == NetworkSpeedTestMode::comprehensive && inputs.download.stableRounds.size() == 3 &&
        inputs.upload.stableRounds.size() == 3 && result.parallelStreamCount == 16)
        result.confidence = NetworkSpeedTestConfidence::high;
    else if (inputs.download.rounds.size() + inputs.upload.rounds.size() > 3)
        result.confidence = NetworkSpeedTestConfidence::good;
    else
        result.confidence = NetworkSpeedTestConfidence::estimate;
    return result;
}

} // namespace kestrum
