#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// The metric the tray item shows; stored by these names.
enum class MenuBarPrimaryMetric { cpu, memory, battery, network, thermal, health };

template <> struct EnumTraits<MenuBarPrimaryMetric> {
    static constexpr std::pair<MenuBarPrimaryMetric, std::string_view> cases[] = {
        {MenuBarPrimaryMetric::cpu, "cpu"},         {MenuBarPrimaryMetric::memory, "memory"},
        {MenuBarPrimaryMetric::battery, "battery"}, {MenuBarPrimaryMetric::network, "network"},
        {MenuBarPrimaryMetric::thermal, "thermal"}, {MenuBarPrimaryMetric::health, "health"},
    };
};

} // namespace kestrum
