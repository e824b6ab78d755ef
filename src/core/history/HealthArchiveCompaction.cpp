#include "HealthArchiveCompaction.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <unordered_map>

namespace kestrum::HealthArchiveCompaction {

namespace {

double bucketWidth(double ageSeconds) {
    if (ageSeconds <= 172'800)
        return 60;
    if (ageSeconds <= 604'800)
        return 300;
    return 900;
}

std::optional<double> dateOf(const QJsonObject& record, const char* key) {
    const QJsonValue value = record.value(QLatin1String(key));
    if (value.isDouble() && std::isfinite(value.toDouble()))
        return value.toDouble();
    return std::nullopt;
}

// Within 30 days, oldest first (stable), the newest `limit`.
template <class T>
std::vector<T> retained(const std::vector<T>& items, Date cutoff, size_t limit,
                        const std::function<std::optional<double>(const T&)>& date) {
    std::vector<std::pair<double, const T*>> kept;
    kept.reserve(items.size());
    for (const T& item : items) {
        const auto when = date(item);
        if (when && *when >= cutoff.secondsSinceReferenceDate)
            kept.emplace_back(*when, &item);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const size_t skip = kept.size() > limit ? kept.size() - limit : 0;
    std::vector<T> out;
    out.reserve(kept.size() - skip);
    for (size_t i = skip; i < kept.size(); ++i)
        out.push_back(*kept[i].second);
    return out;
}

} // namespace

std::vector<HealthSample> compactedSamples(const std::vector<HealthSample>& samples, Date now) {
    const Date cutoff = now.addingSeconds(-kRetentionSeconds);
    // Bucket key: width and the integer part of (seconds since 1970 ÷ width).
    struct Key {
        double width;
        double index;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<double>()(k.width) ^ (std::hash<double>()(k.index) << 1);
        }
    };
    std::unordered_map<Key, size_t, KeyHash> latestInBucket;
    latestInBucket.reserve(samples.size());
    std::vector<const HealthSample*> kept;
    kept.reserve(samples.size());
    for (const HealthSample& sample : samples) {
        if (sample.timestamp < cutoff)
            continue;
        const double width = bucketWidth(now.secondsSince(sample.timestamp));
        const Key key{width, std::trunc(sample.timestamp.unixSeconds() / width)};
        const auto [it, inserted] = latestInBucket.try_emplace(key, kept.size());
        if (inserted) {
            kept.push_back(&sample);
        } else if (sample.timestamp > kept[it->second]->timestamp) {
            kept[it->second] = &sample; // of equal times the first one seen stays
        }
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto* a, const auto* b) { return a->timestamp < b->timestamp; });
    std::vector<HealthSample> out;
    out.reserve(kept.size());
    for (const HealthSample* sample : kept)
        out.push_back(*sample);
    return out;
}

HealthArchive compacted(const HealthArchive& archive, Date now) {
    const Date cutoff = now.addingSeconds(-kRetentionSeconds);
    using Raw = QJsonObject;
    HealthArchive out;
    out.schemaVersion = archive.schemaVersion;
    out.samples = compactedSamples(archive.samples, now);
    out.events = retained<HealthEvent>(archive.events, cutoff, 500, [](const HealthEvent& e) {
        return std::optional(e.timestamp.secondsSinceReferenceDate);
    });
    out.incidents = retained<IncidentSession>(archive.incidents, cutoff, 100, [](const IncidentSession& i) {
        return std::optional(i.endedAt.value_or(i.startedAt).secondsSinceReferenceDate);
    });
    out.performanceSessions = retained<PerformanceSession>(
        archive.performanceSessions, cutoff, 50, [](const PerformanceSession& s) {
            return std::optional(s.retentionDate().secondsSinceReferenceDate);
        });
    const auto endedAt = [](const Raw& r) { return dateOf(r, "endedAt"); };
    const auto typedEndedAt = [](const auto& r) {
        return std::optional(r.endedAt.secondsSinceReferenceDate);
    };
    out.healthTestResults = retained<HealthTestResult>(archive.healthTestResults, cutoff, 25, typedEndedAt);
    out.deepHealthTestResults =
        retained<DeepHealthTestResult>(archive.deepHealthTestResults, cutoff, 12, typedEndedAt);
    out.cpuBenchmarkResults =
        retained<CPUBenchmarkResult>(archive.cpuBenchmarkResults, cutoff, 25, typedEndedAt);
    out.fullSystemScanResults = retained<Raw>(archive.fullSystemScanResults, cutoff, 12, endedAt);
    out.processorComparisons = ProcessorComparisonRecord::retained(archive.processorComparisons, cutoff, now);
    out.latestNetworkQualityResult = archive.latestNetworkQualityResult;
    out.latestNetworkSpeedResult = archive.latestNetworkSpeedResult;
    out.unknownFields = archive.unknownFields;
    return out;
}

} // namespace kestrum::HealthArchiveCompaction
