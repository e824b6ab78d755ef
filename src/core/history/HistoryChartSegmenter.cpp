#include "HistoryChartSegmenter.h"

#include "foundation/Translatable.h"
#include "foundation/Uuid.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

// Samples are kept every minute for two days, every five minutes for a week, every fifteen beyond.
constexpr double kMinuteBandAge = 172800;
constexpr double kFiveMinuteBandAge = 604800;

double expectedSpacing(double previousAge) {
    if (previousAge <= kMinuteBandAge)
        return 60;
    if (previousAge <= kFiveMinuteBandAge)
        return 300;
    return 900;
}

std::optional<double> scaled(const std::optional<double>& value, double factor) {
    if (!value)
        return std::nullopt;
    return *value * factor;
}

} // namespace

double durationSeconds(HistoryRange range) {
    switch (range) {
    case HistoryRange::hour:
        return 3600;
    case HistoryRange::day:
        return 86400;
    case HistoryRange::week:
        return 604800;
    case HistoryRange::month:
        break;
    }
    return 2592000;
}

std::vector<HealthSample> samplesInRange(const std::vector<HealthSample>& samples, HistoryRange range,
                                         Date now) {
    const Date start = now.addingSeconds(-durationSeconds(range));
    std::vector<HealthSample> kept;
    for (const HealthSample& sample : samples) {
        if (sample.timestamp >= start)
            kept.push_back(sample);
    }
    return kept;
}

std::vector<HistoryChartSeries> chartSeries(HistoryMetric metric) {
    const QString percent = QStringLiteral("%");
    switch (metric) {
    case HistoryMetric::cpu:
        return {
            {QStringLiteral("cpu"), percent, [](const HealthSample& s) { return scaled(s.cpuUsage, 100); }}};
    case HistoryMetric::memory:
        return {{QStringLiteral("memory"), percent,
                 [](const HealthSample& s) { return scaled(s.memoryUsage, 100); }}};
    case HistoryMetric::battery:
        return {{QStringLiteral("battery"), percent,
                 [](const HealthSample& s) { return scaled(s.batteryCharge, 100); }}};
    case HistoryMetric::network:
        break;
    }
    const QString rate = trText("MB/sn");
    return {{QStringLiteral("download"), rate,
             [](const HealthSample& s) { return scaled(s.downloadBytesPerSecond, 1.0 / 1000000); }},
            {QStringLiteral("upload"), rate,
             [](const HealthSample& s) { return scaled(s.uploadBytesPerSecond, 1.0 / 1000000); }}};
}

QString metricTitle(HistoryMetric metric) {
    switch (metric) {
    case HistoryMetric::cpu:
        return trText("CPU");
    case HistoryMetric::memory:
        return trText("Bellek");
    case HistoryMetric::battery:
        return trText("Batarya");
    case HistoryMetric::network:
        break;
    }
    return trText("Ağ");
}

namespace HistoryChartSegmenter {

double breakThreshold(double age, double previousAge) {
    const double spacing = expectedSpacing(previousAge);
    if (age > kFiveMinuteBandAge)
        return 2250;
    if (age > kMinuteBandAge)
        return spacing > 300 ? spacing * 2.5 : 750;
    return previousAge > kMinuteBandAge ? spacing * 2.5 : 150;
}

std::vector<HistoryChartPoint> points(const std::vector<HealthSample>& samples, const QString& series,
                                      Date now,
                                      const std::function<std::optional<double>(const HealthSample&)>& value,
                                      PointIdentifiers identifiers) {
    std::vector<const HealthSample*> sorted;
    sorted.reserve(samples.size());
    for (const HealthSample& sample : samples)
        sorted.push_back(&sample);
    std::stable_sort(sorted.begin(), sorted.end(), [](const HealthSample* a, const HealthSample* b) {
        return a->timestamp < b->timestamp;
    });

    std::vector<HistoryChartPoint> result;
    result.reserve(sorted.size());
    QString seriesIdentifier;
    int segment = -1;
    bool breakPending = true;
    std::optional<Date> previous;
    for (const HealthSample* sample : sorted) {
        bool breakDue = breakPending;
        if (previous) {
            const double gap = sample->timestamp.secondsSince(*previous);
            const double age = now.secondsSince(sample->timestamp);
            const double previousAge = now.secondsSince(*previous);
            breakDue = breakDue || !(gap > 0) || gap > breakThreshold(age, previousAge);
        }
        previous = sample->timestamp;

        const std::optional<double> scaledValue = value(*sample);
        if (!scaledValue || !std::isfinite(*scaledValue)) {
            breakPending = true;
            continue;
        }
        if (breakDue) {
            ++segment;
            breakPending = false;
            // Made once per segment: a month of samples is thousands of points of one segment.
            seriesIdentifier = series + u'-' + QString::number(segment);
        }
        QString id = identifiers == PointIdentifiers::included
                         ? uuidText(sample->id) + u'-' + seriesIdentifier
                         : QString();
        result.push_back({std::move(id), sample->timestamp, *scaledValue, seriesIdentifier});
    }
    return result;
}

std::vector<HistoryChartPoint> points(const std::vector<HealthSample>& samples, HistoryMetric metric,
                                      Date now) {
    std::vector<HistoryChartPoint> result;
    for (const HistoryChartSeries& series : chartSeries(metric)) {
        std::vector<HistoryChartPoint> part = points(samples, series.identifier, now, series.value);
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

} // namespace HistoryChartSegmenter

} // namespace kestrum
