#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// How much an attribution can be trusted; shared by the resource analysis and the hardware
// recommendations.
enum class CulpritConfidence { low, medium, high };

template <> struct EnumTraits<CulpritConfidence> {
    static constexpr std::pair<CulpritConfidence, std::string_view> cases[] = {
        {CulpritConfidence::low, "low"},
        {CulpritConfidence::medium, "medium"},
        {CulpritConfidence::high, "high"},
    };
};

} // namespace kestrum
