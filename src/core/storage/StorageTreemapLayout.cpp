#include "StorageTreemapLayout.h"

#include <algorithm>
#include <optional>

namespace kestrum::StorageTreemapLayout {

namespace {

// Works on index ranges with prefix sums, so that a split costs O(log n) and the whole layout
// O(n log n) instead of re-summing every sub-list.
void split(const std::vector<const StorageMapItem*>& items, const std::vector<double>& prefix, size_t begin,
           size_t end, NormalizedRect rect, std::vector<std::optional<NormalizedRect>>& frames) {
    const size_t n = end - begin;
    if (n == 0)
        return;
    if (n == 1) {
        frames[begin] = rect;
        return;
    }
    const double total = prefix[end] - prefix[begin];
    if (!(total > 0))
        return;
    // The smallest k (1…n−1) whose first k items reach half of the total; else n−1.
    const double half = prefix[begin] + total / 2;
    auto it = std::lower_bound(prefix.begin() + static_cast<std::ptrdiff_t>(begin + 1),
                               prefix.begin() + static_cast<std::ptrdiff_t>(end), half);
    size_t k = static_cast<size_t>(it - prefix.begin()) - begin;
    if (k < 1 || k > n - 1)
        k = n - 1;
    const double ratio = std::clamp((prefix[begin + k] - prefix[begin]) / total, 0.0, 1.0);
    NormalizedRect first = rect;
    NormalizedRect rest = rect;
    if (rect.height <= rect.width) {
        first.width = ratio * rect.width;
        rest.x = rect.x + ratio * rect.width;
        rest.width = rect.width - ratio * rect.width;
    } else {
        first.height = ratio * rect.height;
        rest.y = rect.y + ratio * rect.height;
        rest.height = rect.height - ratio * rect.height;
    }
    split(items, prefix, begin, begin + k, first, frames);
    split(items, prefix, begin + k, end, rest, frames);
}

} // namespace

std::vector<StorageTreemapTile> tiles(const std::vector<StorageMapItem>& items) {
    std::vector<const StorageMapItem*> kept;
    for (const StorageMapItem& item : items) {
        if (item.allocatedBytes > 0)
            kept.push_back(&item);
    }
    if (kept.empty())
        return {};
    std::vector<double> prefix(kept.size() + 1, 0.0);
    for (size_t i = 0; i < kept.size(); ++i)
        prefix[i + 1] = prefix[i] + static_cast<double>(kept[i]->allocatedBytes);
    std::vector<std::optional<NormalizedRect>> frames(kept.size());
    split(kept, prefix, 0, kept.size(), NormalizedRect{0, 0, 1, 1}, frames);
    std::vector<StorageTreemapTile> out;
    out.reserve(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        if (frames[i])
            out.push_back({*kept[i], *frames[i]});
    }
    return out;
}

} // namespace kestrum::StorageTreemapLayout
