#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

enum class ThermalLevel { nominal, fair, serious, critical, unavailable };

template <> struct EnumTraits<ThermalLevel> {
    static constexpr std::pair<ThermalLevel, std::string_view> cases[] = {
        {ThermalLevel::nominal, "nominal"},         {ThermalLevel::fair, "fair"},
        {ThermalLevel::serious, "serious"},         {ThermalLevel::critical, "critical"},
        {ThermalLevel::unavailable, "unavailable"},
    };
};

} // namespace kestrum
