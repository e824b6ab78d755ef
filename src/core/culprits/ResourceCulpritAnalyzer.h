#pragma once

#include "ResourceCulprit.h"
#include "measurement/SystemSnapshot.h"

namespace kestrum {

// Pairs live samples with the application in front, bounds the list, and ranks applications by how
// strongly their time in front coincides with CPU, memory, network and thermal pressure. A correlation,
// never a measurement of an application's own consumption.
class ResourceCulpritAnalyzer {
public:
    static constexpr double kDefaultRetention = 7200;        // seconds
    static constexpr int kDefaultMaximumObservations = 7200; // observations
    // Observations time-stamped up to this far after "now" are kept (clocks of two sources disagree).
    static constexpr double kFutureTolerance = 60;

    explicit ResourceCulpritAnalyzer(double retention = kDefaultRetention,
                                     int maximumObservationCount = kDefaultMaximumObservations)
        : m_retention(retention), m_maximumObservationCount(maximumObservationCount) {}

    double retention() const { return m_retention; }
    int maximumObservationCount() const { return m_maximumObservationCount; }

    // None without an application, without a readable CPU group, or without a readable memory total.
    static std::optional<AppResourceObservation>
    observation(const SystemSnapshot& snapshot, const std::optional<ForegroundApplication>& application);
    // The observations within [now − retention, now + 60 s], oldest first, at most the maximum count.
    std::vector<AppResourceObservation> compacted(const std::vector<AppResourceObservation>& observations,
                                                  Date now) const;
    // The same as `compacted(observations + [observation], now)` for a list that `compacted` made, done
    // in place: the list is only copied when the new observation is older than the last one kept.
    // Answers whether the list changed.
    bool appendCompacting(std::vector<AppResourceObservation>& observations,
                          const AppResourceObservation& observation, Date now) const;
    static ResourceCulpritAnalysis analyze(const std::vector<AppResourceObservation>& observations,
                                           double assumedSampleInterval);

    // The grouping key of an application.
    static QString groupingKey(const ForegroundApplication& application);
    // The interval as the analyses use it: clamped to 1...30 s (2 s when not finite).
    static double effectiveInterval(double assumedSampleInterval);

private:
    double m_retention;
    int m_maximumObservationCount;
};

// Power drawn on battery while each application was in front.
class BatteryImpactAnalyzer {
public:
    static BatteryImpactAnalysis analyze(const std::vector<AppResourceObservation>& observations,
                                         double assumedSampleInterval);
};

} // namespace kestrum
