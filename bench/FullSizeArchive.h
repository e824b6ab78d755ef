#pragma once

#include "history/HealthArchive.h"

namespace kestrum::bench {

// A month-old archive at its full stored size: 30 days of samples after compaction, 500 events,
// 100 incidents, 50 performance sessions and every result list full, dated back from `now`.
HealthArchive fullSizeArchive(Date now);

} // namespace kestrum::bench
