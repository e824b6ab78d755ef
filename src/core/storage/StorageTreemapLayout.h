#pragma once

#include "StorageScanResult.h"

#include <vector>

namespace kestrum {

struct NormalizedRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const NormalizedRect&) const = default;
};

struct StorageTreemapTile {
    StorageMapItem item;
    NormalizedRect normalizedFrame; // inside the unit square, origin at the top left
    bool operator==(const StorageTreemapTile&) const = default;
};

// A binary split at the size-weighted median along the longer side. It keeps the given order, so with a
// largest-first list the largest items sit at the top left. Items of 0 bytes get no tile.
namespace StorageTreemapLayout {
std::vector<StorageTreemapTile> tiles(const std::vector<StorageMapItem>& items);
} // namespace StorageTreemapLayout

} // namespace kestrum
