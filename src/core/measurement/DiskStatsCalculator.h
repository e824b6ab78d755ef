#pragma once

#include "DiskStats.h"

#include <optional>

namespace kestrum::DiskStatsCalculator {
DiskStats stats(std::optional<int64_t> totalBytes, std::optional<int64_t> importantAvailableBytes,
                std::optional<int64_t> fallbackAvailableBytes);
} // namespace kestrum::DiskStatsCalculator
