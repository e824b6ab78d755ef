#pragma once

#include "HistoryChartSegmenter.h"

#include <optional>
#include <vector>

namespace kestrum {

// A chart has far fewer pixels (or terminal columns) than a month has samples. Thinning keeps each
// time bucket's lowest and highest value, so a one-sample spike survives at any range.
namespace HistoryChartDecimator {

// At most two points per bucket and segment: the minimum and the maximum, in time order. Buckets split
// [from, to] evenly; points outside it count in the nearest end bucket.
std::vector<HistoryChartPoint> decimated(const std::vector<HistoryChartPoint>& points, Date from, Date to,
                                         int bucketCount);

// What one column of a drawn chart shows for one series.
struct Column {
    double minimum = 0;
    double maximum = 0;
    bool measured = false; // false: a column between two points of one segment, drawn from its neighbours
    bool operator==(const Column&) const = default;
};

// One entry per bucket of [from, to] for the points of one series (all its segments): the bucket's
// extremes; an empty bucket inside a segment is bridged with the values around it; an empty bucket
// between segments, or before the first or after the last point, stays absent (a gap).
std::vector<std::optional<Column>> columns(const std::vector<HistoryChartPoint>& points, Date from, Date to,
                                           int bucketCount);

} // namespace HistoryChartDecimator

} // namespace kestrum
