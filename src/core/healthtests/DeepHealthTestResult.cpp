#include "DeepHealthTestResult.h"

#include <algorithm>
#include <numeric>

namespace kestrum {

std::optional<int> DeepHealthTestMeasurement::maximumCPUWorkerCount() const {
    if (cpuWorkerCounts.empty())
        return std::nullopt;
    return *std::max_element(cpuWorkerCounts.begin(), cpuWorkerCounts.end());
}

std::vector<double> ratesAtMaximumWorkerCount(const std::vector<double>& rates,
                                              const std::optional<std::vector<int>>& workerCounts) {
    if (!workerCounts || workerCounts->empty() || workerCounts->size() != rates.size())
        return rates;
    const int largest = *std::max_element(workerCounts->begin(), workerCounts->end());
    if (largest <= 0)
        return rates;
    std::vector<double> kept;
    for (size_t i = 0; i < rates.size(); ++i) {
        if ((*workerCounts)[i] == largest)
            kept.push_back(rates[i]);
    }
    return kept;
}

std::optional<double> DeepHealthTestResult::averageCPUOperationsPerSecond() const {
    const std::vector<double> rates = ratesAtMaximumWorkerCount(cpuOperationsPerSecond, cpuWorkerCounts);
    if (rates.empty())
        return std::nullopt;
    return std::accumulate(rates.begin(), rates.end(), 0.0) / static_cast<double>(rates.size());
}

int DeepHealthTestResult::evaluatedComponentCount() const {
    return static_cast<int>(std::count_if(components.begin(), components.end(),
                                          [](const auto& c) { return c.score.has_value(); }));
}

} // namespace kestrum
