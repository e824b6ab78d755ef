#pragma once

#include <algorithm>
#include <cmath>

namespace kestrum {

// std::round rounds halves away from zero, which is the rule every score and printed figure follows.
inline double roundHalfAwayFromZero(double value) {
    return std::round(value);
}

inline double clampedUnit(double value) {
    return std::clamp(value, 0.0, 1.0);
}

// Scores: computed in doubles, rounded half away from zero, then clamped.
inline int roundedClampedScore(double value, int lowest = 0, int highest = 100) {
    if (!std::isfinite(value))
        return lowest;
    const double rounded = roundHalfAwayFromZero(value);
    return static_cast<int>(std::clamp(rounded, static_cast<double>(lowest), static_cast<double>(highest)));
}

// Rounds to a whole number that fits an int; used for percent figures printed in texts.
inline long long roundedInteger(double value) {
    if (!std::isfinite(value))
        return 0;
    return static_cast<long long>(roundHalfAwayFromZero(value));
}

} // namespace kestrum
