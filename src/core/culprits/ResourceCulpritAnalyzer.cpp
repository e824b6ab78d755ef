#include "ResourceCulpritAnalyzer.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

double clampedTerm(double value) {
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

bool isElevated(ThermalLevel level) {
    return level == ThermalLevel::fair || level == ThermalLevel::serious || level == ThermalLevel::critical;
}

AppResourceSummary summarize(const std::vector<const AppResourceObservation*>& group, double interval) {
    const double n = static_cast<double>(group.size());
    AppResourceSummary summary;
    summary.application = group.front()->application;
    summary.observationCount = static_cast<int>(group.size());
    double cpu = 0, memory = 0, network = 0, elevated = 0;
    double peak = group.front()->cpuUsage;
    for (const AppResourceObservation* o : group) {
        cpu += o->cpuUsage;
        peak = std::max(peak, o->cpuUsage);
        memory += o->memoryUsage;
        network += o->networkBytesPerSecond;
        if (isElevated(o->thermalLevel))
            elevated += 1;
    }
    summary.averageCPUUsage = cpu / n;
    summary.peakCPUUsage = peak;
    summary.averageMemoryUsage = memory / n;
    summary.averageNetworkBytesPerSecond = network / n;
    summary.elevatedThermalFraction = elevated / n;

    const double cpuTerm = clampedTerm((summary.averageCPUUsage - 0.25) / 0.75) * 0.55;
    const double memoryTerm = clampedTerm((summary.averageMemoryUsage - 0.65) / 0.35) * 0.28;
    const double networkTerm =
        clampedTerm(std::log10(summary.averageNetworkBytesPerSecond + 1) * 0.125) * 0.07;
    const double thermalTerm = summary.elevatedThermalFraction * 0.10;
    // Repetition makes a coincidence more telling: 0.55 for one observation, 1 from twelve on.
    const double factor = std::min(std::sqrt(n / 12.0), 1.0) * 0.45 + 0.55;
    const double score = factor * (cpuTerm + memoryTerm + networkTerm + thermalTerm);
    summary.pressureScore = std::isfinite(score) ? std::clamp(score, 0.0, 1.0) : 0.0;
    summary.impact = summary.pressureScore >= 0.62   ? CulpritImpact::high
                     : summary.pressureScore >= 0.32 ? CulpritImpact::medium
                                                     : CulpritImpact::low;
    summary.confidence = summary.observationCount >= 30   ? CulpritConfidence::high
                         : summary.observationCount >= 10 ? CulpritConfidence::medium
                                                          : CulpritConfidence::low;
    summary.estimatedForegroundDuration = interval * n;
    return summary;
}

// Groups in the order each key first appears.
std::vector<std::vector<const AppResourceObservation*>>
grouped(const std::vector<AppResourceObservation>& observations) {
    std::vector<std::vector<const AppResourceObservation*>> groups;
    QHash<QString, size_t> index;
    for (const AppResourceObservation& o : observations) {
        const QString key = ResourceCulpritAnalyzer::groupingKey(o.application);
        const auto it = index.constFind(key);
        if (it == index.constEnd()) {
            index.insert(key, groups.size());
            groups.push_back({&o});
        } else {
            groups[*it].push_back(&o);
        }
    }
    return groups;
}

} // namespace

QString ResourceCulpritAnalyzer::groupingKey(const ForegroundApplication& application) {
    if (application.bundleIdentifier)
        return *application.bundleIdentifier;
    return QStringLiteral("name:") + application.name.toLower();
}

QString AppResourceSummary::id() const {
    return ResourceCulpritAnalyzer::groupingKey(application);
}

std::optional<AppResourceSummary> ResourceCulpritAnalysis::leadingCandidate() const {
    if (applications.empty())
        return std::nullopt;
    const AppResourceSummary& first = applications.front();
    if (first.observationCount >= 3 && first.pressureScore >= 0.25)
        return first;
    return std::nullopt;
}

double ResourceCulpritAnalyzer::effectiveInterval(double assumedSampleInterval) {
    return std::isfinite(assumedSampleInterval) ? std::clamp(assumedSampleInterval, 1.0, 30.0) : 2.0;
}

std::optional<AppResourceObservation>
ResourceCulpritAnalyzer::observation(const SystemSnapshot& snapshot,
                                     const std::optional<ForegroundApplication>& application) {
    if (!application || !snapshot.cpu.availability.isAvailable() ||
        !snapshot.memory.availability.isAvailable() || snapshot.memory.totalBytes == 0 ||
        !std::isfinite(snapshot.cpu.totalUsage))
        return std::nullopt;
    AppResourceObservation o;
    o.timestamp = snapshot.timestamp;
    o.application = *application;
    o.cpuUsage = std::clamp(snapshot.cpu.totalUsage, 0.0, 1.0);
    o.memoryUsage = std::clamp(static_cast<double>(snapshot.memory.usedBytes) /
                                   static_cast<double>(snapshot.memory.totalBytes),
                               0.0, 1.0);
    const double traffic = snapshot.network.downloadBytesPerSecond + snapshot.network.uploadBytesPerSecond;
    o.networkBytesPerSecond = std::isfinite(traffic) ? std::max(0.0, traffic) : 0.0;
    o.thermalLevel = snapshot.thermal;
    if (snapshot.battery.availability.isAvailable() && snapshot.battery.isPresent)
        o.batteryUsesPowerAdapter = snapshot.battery.isConnectedToPowerAdapter;
    if (snapshot.battery.voltageVolts && snapshot.battery.amperageAmps)
        o.systemPowerWatts = *snapshot.battery.voltageVolts * *snapshot.battery.amperageAmps;
    return o;
}

std::vector<AppResourceObservation>
ResourceCulpritAnalyzer::compacted(const std::vector<AppResourceObservation>& observations, Date now) const {
    const Date earliest = now.addingSeconds(-m_retention);
    const Date latest = now.addingSeconds(kFutureTolerance);
    std::vector<AppResourceObservation> kept;
    kept.reserve(observations.size());
    for (const AppResourceObservation& o : observations) {
        if (o.timestamp >= earliest && o.timestamp <= latest)
            kept.push_back(o);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    const size_t limit = static_cast<size_t>(std::max(m_maximumObservationCount, 0));
    if (kept.size() > limit)
        kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(kept.size() - limit));
    return kept;
}

bool ResourceCulpritAnalyzer::appendCompacting(std::vector<AppResourceObservation>& observations,
                                               const AppResourceObservation& observation, Date now) const {
    if (!observations.empty() && observation.timestamp < observations.back().timestamp) {
        std::vector<AppResourceObservation> appended = observations;
        appended.push_back(observation);
        std::vector<AppResourceObservation> next = compacted(appended, now);
        if (next == observations)
            return false;
        observations = std::move(next);
        return true;
    }
    // Sorted already: only the ends can fall out.
    const size_t before = observations.size();
    observations.push_back(observation);
    const Date earliest = now.addingSeconds(-m_retention);
    const Date latest = now.addingSeconds(kFutureTolerance);
    size_t removedAtEnd = 0;
    while (!observations.empty() && observations.back().timestamp > latest) {
        observations.pop_back();
        ++removedAtEnd;
    }
    const auto firstKept =
        std::lower_bound(observations.begin(), observations.end(), earliest,
                         [](const AppResourceObservation& o, Date bound) { return o.timestamp < bound; });
    size_t removedAtStart = static_cast<size_t>(firstKept - observations.begin());
    const size_t limit = static_cast<size_t>(std::max(m_maximumObservationCount, 0));
    if (observations.size() - removedAtStart > limit)
        removedAtStart = observations.size() - limit;
    observations.erase(observations.begin(),
                       observations.begin() + static_cast<std::ptrdiff_t>(removedAtStart));
    // Unchanged only when the new observation itself fell out and nothing else did.
    return !(removedAtEnd == 1 && removedAtStart == 0 && observations.size() == before);
}

ResourceCulpritAnalysis
ResourceCulpritAnalyzer::analyze(const std::vector<AppResourceObservation>& observations,
                                 double assumedSampleInterval) {
    const double interval = effectiveInterval(assumedSampleInterval);
    if (observations.empty())
        return ResourceCulpritAnalysis::empty();
    ResourceCulpritAnalysis analysis;
    for (const auto& group : grouped(observations))
        analysis.applications.push_back(summarize(group, interval));
    std::stable_sort(analysis.applications.begin(), analysis.applications.end(),
                     [](const AppResourceSummary& a, const AppResourceSummary& b) {
                         if (a.pressureScore != b.pressureScore)
                             return a.pressureScore > b.pressureScore;
                         return a.observationCount > b.observationCount;
                     });
    const auto [earliest, latest] =
        std::minmax_element(observations.begin(), observations.end(),
                            [](const AppResourceObservation& a, const AppResourceObservation& b) {
                                return a.timestamp < b.timestamp;
                            });
    analysis.startedAt = earliest->timestamp;
    analysis.endedAt = latest->timestamp;
    analysis.observationCount = static_cast<int>(observations.size());
    analysis.estimatedObservedDuration = interval * static_cast<double>(observations.size());
    return analysis;
}

BatteryImpactAnalysis BatteryImpactAnalyzer::analyze(const std::vector<AppResourceObservation>& observations,
                                                     double assumedSampleInterval) {
    std::vector<AppResourceObservation> onBattery;
    for (const AppResourceObservation& o : observations) {
        if (o.batteryUsesPowerAdapter == false)
            onBattery.push_back(o);
    }
    if (onBattery.empty())
        return BatteryImpactAnalysis::empty();
    const ResourceCulpritAnalysis culprits =
        ResourceCulpritAnalyzer::analyze(onBattery, assumedSampleInterval);

    QHash<QString, std::vector<double>> powerByKey;
    for (const AppResourceObservation& o : onBattery) {
        std::vector<double>& values = powerByKey[ResourceCulpritAnalyzer::groupingKey(o.application)];
        // A zero or unreadable reading is no measurement: without one there is no figure, not a zero.
        if (o.systemPowerWatts && std::isfinite(*o.systemPowerWatts) && *o.systemPowerWatts != 0)
            values.push_back(std::abs(*o.systemPowerWatts));
    }
    BatteryImpactAnalysis analysis;
    analysis.startedAt = culprits.startedAt;
    analysis.endedAt = culprits.endedAt;
    analysis.observationCount = culprits.observationCount;
    analysis.estimatedObservedDuration = culprits.estimatedObservedDuration;
    for (const AppResourceSummary& summary : culprits.applications) {
        const std::vector<double>& values = powerByKey[summary.id()];
        AppBatteryImpactSummary app;
        app.resourceSummary = summary;
        app.powerMeasurementCount = static_cast<int>(values.size());
        if (!values.empty()) {
            double total = 0;
            for (const double v : values)
                total += v;
            app.averageSystemDischargeWatts = total / static_cast<double>(values.size());
        }
        analysis.powerMeasurementCount += app.powerMeasurementCount;
        analysis.applications.push_back(std::move(app));
    }
    return analysis;
}

} // namespace kestrum
