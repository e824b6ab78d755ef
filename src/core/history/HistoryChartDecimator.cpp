#include "HistoryChartDecimator.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kestrum::HistoryChartDecimator {

namespace {

int bucketIndex(Date timestamp, Date from, Date to, int bucketCount) {
    const double span = to.secondsSince(from);
    if (!(span > 0))
        return 0;
    const double position = std::floor(timestamp.secondsSince(from) / span * bucketCount);
    if (!(position > 0)) // also NaN
        return 0;
    return static_cast<int>(std::min(position, double(bucketCount - 1)));
}

// The points of each segment in time order, segments in the order they first appear.
std::vector<std::vector<HistoryChartPoint>> bySegment(const std::vector<HistoryChartPoint>& points) {
    std::vector<std::vector<HistoryChartPoint>> segments;
    std::map<QString, size_t> indexOf;
    for (const HistoryChartPoint& point : points) {
        const auto [it, inserted] = indexOf.try_emplace(point.seriesIdentifier, segments.size());
        if (inserted)
            segments.emplace_back();
        segments[it->second].push_back(point);
    }
    for (auto& segment : segments) {
        std::stable_sort(
            segment.begin(), segment.end(),
            [](const HistoryChartPoint& a, const HistoryChartPoint& b) { return a.timestamp < b.timestamp; });
    }
    return segments;
}

} // namespace

std::vector<HistoryChartPoint> decimated(const std::vector<HistoryChartPoint>& points, Date from, Date to,
                                         int bucketCount) {
    if (bucketCount <= 0)
        return {};
    std::vector<HistoryChartPoint> result;
    for (const auto& segment : bySegment(points)) {
        size_t start = 0;
        while (start < segment.size()) {
            const int bucket = bucketIndex(segment[start].timestamp, from, to, bucketCount);
            size_t end = start;
            size_t lowest = start;
            size_t highest = start;
            while (end < segment.size() &&
                   bucketIndex(segment[end].timestamp, from, to, bucketCount) == bucket) {
                if (segment[end].value < segment[lowest].value)
                    lowest = end;
                if (segment[end].value > segment[highest].value)
                    highest = end;
                ++end;
            }
            result.push_back(segment[std::min(lowest, highest)]);
            if (lowest != highest)
                result.push_back(segment[std::max(lowest, highest)]);
            start = end;
        }
    }
    return result;
}

std::vector<std::optional<Column>> columns(const std::vector<HistoryChartPoint>& points, Date from, Date to,
                                           int bucketCount) {
    std::vector<std::optional<Column>> result(static_cast<size_t>(std::max(bucketCount, 0)));
    if (bucketCount <= 0)
        return result;
    for (const auto& segment : bySegment(points)) {
        std::optional<int> previousBucket;
        double previousValue = 0;
        for (const HistoryChartPoint& point : segment) {
            const int bucket = bucketIndex(point.timestamp, from, to, bucketCount);
            std::optional<Column>& column = result[static_cast<size_t>(bucket)];
            if (!column || !column->measured) {
                column = Column{point.value, point.value, true};
            } else {
                column->minimum = std::min(column->minimum, point.value);
                column->maximum = std::max(column->maximum, point.value);
            }
            // The line runs through the buckets between two points of a segment that hold none.
            if (previousBucket) {
                const Column bridge{std::min(previousValue, point.value),
                                    std::max(previousValue, point.value), false};
                for (int between = *previousBucket + 1; between < bucket; ++between) {
                    std::optional<Column>& empty = result[static_cast<size_t>(between)];
                    if (!empty)
                        empty = bridge;
                    else if (!empty->measured) {
                        empty->minimum = std::min(empty->minimum, bridge.minimum);
                        empty->maximum = std::max(empty->maximum, bridge.maximum);
                    }
                }
            }
            previousBucket = bucket;
            previousValue = point.value;
        }
    }
    return result;
}

} // namespace kestrum::HistoryChartDecimator
