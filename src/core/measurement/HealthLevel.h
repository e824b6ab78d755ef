#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

enum class HealthLevel { normal, attention, critical, unavailable };

template <> struct EnumTraits<HealthLevel> {
    static constexpr std::pair<HealthLevel, std::string_view> cases[] = {
        {HealthLevel::normal, "normal"},
        {HealthLevel::attention, "attention"},
        {HealthLevel::critical, "critical"},
        {HealthLevel::unavailable, "unavailable"},
    };
};

// Severity used for ordering everywhere: critical 3, attention 2, normal 1, unavailable 0.
constexpr int severityRank(HealthLevel level) {
    switch (level) {
    case HealthLevel::critical:
        return 3;
    case HealthLevel::attention:
        return 2;
    case HealthLevel::normal:
        return 1;
    case HealthLevel::unavailable:
        return 0;
    }
    return 0;
}

} // namespace kestrum
