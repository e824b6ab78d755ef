#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// The kind of every insight and health event, persisted as these words.
enum class HealthInsightKind { thermal, cpu, memory, disk, battery, wifi, network };

template <> struct EnumTraits<HealthInsightKind> {
    static constexpr std::pair<HealthInsightKind, std::string_view> cases[] = {
        {HealthInsightKind::thermal, "thermal"}, {HealthInsightKind::cpu, "cpu"},
        {HealthInsightKind::memory, "memory"},   {HealthInsightKind::disk, "disk"},
        {HealthInsightKind::battery, "battery"}, {HealthInsightKind::wifi, "wifi"},
        {HealthInsightKind::network, "network"},
    };
};

} // namespace kestrum
