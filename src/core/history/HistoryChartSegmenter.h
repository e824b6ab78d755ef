#pragma once

#include "HealthSample.h"
#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

// The spans the history view offers, each ending now.
enum class HistoryRange { hour, day, week, month };

template <> struct EnumTraits<HistoryRange> {
    static constexpr std::pair<HistoryRange, std::string_view> cases[] = {
        {HistoryRange::hour, "hour"},
        {HistoryRange::day, "day"},
        {HistoryRange::week, "week"},
        {HistoryRange::month, "month"},
    };
};

// 3600, 86400, 604800 or 2592000 seconds.
double durationSeconds(HistoryRange range);
// The stored samples whose timestamp is not earlier than now − the range's length (later ones stay).
std::vector<HealthSample> samplesInRange(const std::vector<HealthSample>& samples, HistoryRange range,
                                         Date now);

enum class HistoryMetric { cpu, memory, battery, network };

template <> struct EnumTraits<HistoryMetric> {
    static constexpr std::pair<HistoryMetric, std::string_view> cases[] = {
        {HistoryMetric::cpu, "cpu"},
        {HistoryMetric::memory, "memory"},
        {HistoryMetric::battery, "battery"},
        {HistoryMetric::network, "network"},
    };
};

// One line of a chart: what it is called and how a sample gives its (already scaled) value.
struct HistoryChartSeries {
    QString identifier; // "cpu", "memory", "battery", "download", "upload"
    QString unit;       // "%" or "MB/sn"
    std::function<std::optional<double>(const HealthSample&)> value;
};

// The series a metric's chart draws: one, or download and upload for the network.
std::vector<HistoryChartSeries> chartSeries(HistoryMetric metric);
// The metric's title ("CPU", "Bellek", "Batarya", "Ağ"), Turkish.
QString metricTitle(HistoryMetric metric);

struct HistoryChartPoint {
    QString id;
    Date timestamp;
    double value = 0;
    QString seriesIdentifier; // series + "-" + segment number: each one is drawn as its own line
    bool operator==(const HistoryChartPoint&) const = default;
};

// Turns samples into chart points, starting a new segment wherever the recording has a gap longer than
// the sampling resolution of that age of data allows (a minute for two days, five minutes for a week,
// fifteen beyond), so that no line is drawn across time when nothing was measured.
namespace HistoryChartSegmenter {
// Whether each point gets its id (sample id + series): a chart that only draws the points skips building
// tens of thousands of strings for a month.
enum class PointIdentifiers { included, omitted };
std::vector<HistoryChartPoint> points(const std::vector<HealthSample>& samples, const QString& series,
                                      Date now,
                                      const std::function<std::optional<double>(const HealthSample&)>& value,
                                      PointIdentifiers identifiers = PointIdentifiers::included);
// Every series of a metric, one after the other.
std::vector<HistoryChartPoint> points(const std::vector<HealthSample>& samples, HistoryMetric metric,
                                      Date now);
// The gap above which a line breaks between samples of these ages (seconds before now).
double breakThreshold(double age, double previousAge);
} // namespace HistoryChartSegmenter

} // namespace kestrum
