#pragma once

#include "Date.h"

#include <functional>

namespace kestrum {

// Wall time, injected so that tests can fake it.
using DateProvider = std::function<Date()>;
// Seconds on a monotonic clock (does not jump with the wall clock); origin is arbitrary.
using MonotonicClock = std::function<double()>;

DateProvider systemDateProvider();
// CLOCK_MONOTONIC: stops while the machine sleeps.
MonotonicClock systemMonotonicClock();
// CLOCK_BOOTTIME: keeps counting while the machine sleeps.
MonotonicClock systemContinuousClock();

} // namespace kestrum
