#include "HealthArchiveCompaction.h"

#include <QSet>
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

std::optional<QString> comparisonOutcome(double before, double after) {
    const double d = after - before;
    if (d < -0.05)
        return QStringLiteral("lower");
    if (d > 0.05)
        return QStringLiteral("higher");
    return QStringLiteral("similar");
}

bool isConsistentComparison(const QJsonObject& record) {
    const bool hasReason = record.contains(QStringLiteral("invalidReason"));
    const bool hasResult = record.contains(QStringLiteral("result"));
    const QJsonValue before = record.value(QStringLiteral("before"));
    const QJsonValue after = record.value(QStringLiteral("after"));
    if (hasReason)
        return !hasResult && before.isUndefined() && after.isUndefined();
    if (!hasResult || !before.isDouble() || !after.isDouble())
        return false;
    const double b = before.toDouble();
    const double a = after.toDouble();
    if (!std::isfinite(a) || !std::isfinite(b) || a < 0 || a > 1 || b < 0 || b > 1)
        return false;
    return record.value(QStringLiteral("result")).toString() == comparisonOutcome(b, a);
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

std::vector<QJsonObject> retainedProcessorComparisons(const std::vector<QJsonObject>& records, Date cutoff,
                                                      Date now) {
    std::vector<std::pair<double, const QJsonObject*>> kept;
    for (const QJsonObject& record : records) {
        const auto savedAt = dateOf(record, "savedAt");
        if (!savedAt || *savedAt < cutoff.secondsSinceReferenceDate ||
            *savedAt > now.secondsSinceReferenceDate)
            continue;
        if (isConsistentComparison(record))
            kept.emplace_back(*savedAt, &record);
    }
    // Newest first; the newest copy of an id stays.
    std::stable_sort(kept.begin(), kept.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<const QJsonObject*> unique;
    QSet<QString> seen;
    for (const auto& [when, record] : kept) {
        const QString id = record->value(QStringLiteral("id")).toString();
        if (seen.contains(id))
            continue;
        seen.insert(id);
        unique.push_back(record);
        if (unique.size() == 100)
            break;
    }
    std::vector<QJsonObject> out;
    for (auto it = unique.rbegin(); it != unique.rend(); ++it)
        out.push_back(**it);
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
    out.performanceSessions = retained<Raw>(archive.performanceSessions, cutoff, 50, [](const Raw& s) {
        if (auto last = dateOf(s, "lastRecordedAt"))
            return last;
        if (auto ended = dateOf(s, "endedAt"))
            return ended;
        return dateOf(s, "startedAt");
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
    out.processorComparisons = retainedProcessorComparisons(archive.processorComparisons, cutoff, now);
    out.latestNetworkQualityResult = archive.latestNetworkQualityResult;
    out.latestNetworkSpeedResult = archive.latestNetworkSpeedResult;
    return out;
}

} // namespace kestrum::HealthArchiveCompaction
