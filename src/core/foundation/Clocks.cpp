#include "Clocks.h"

#include <time.h>

namespace kestrum {

namespace {
double readClock(clockid_t id) {
    timespec ts{};
    if (clock_gettime(id, &ts) != 0)
        return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}
} // namespace

DateProvider systemDateProvider() {
    return [] { return Date::now(); };
}
MonotonicClock systemMonotonicClock() {
    return [] { return readClock(CLOCK_MONOTONIC); };
}
MonotonicClock systemContinuousClock() {
    return [] { return readClock(CLOCK_BOOTTIME); };
}

} // namespace kestrum
