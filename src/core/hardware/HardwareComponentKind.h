#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// The parts of a machine the hardware profile and the model catalog speak about, in display order.
enum class HardwareComponentKind {
    processor,
    graphics,
    memory,
    storage,
    battery,
    power,
    display,
    cooling,
    ports
};

template <> struct EnumTraits<HardwareComponentKind> {
    static constexpr std::pair<HardwareComponentKind, std::string_view> cases[] = {
        {HardwareComponentKind::processor, "processor"}, {HardwareComponentKind::graphics, "graphics"},
        {HardwareComponentKind::memory, "memory"},       {HardwareComponentKind::storage, "storage"},
        {HardwareComponentKind::battery, "battery"},     {HardwareComponentKind::power, "power"},
        {HardwareComponentKind::display, "display"},     {HardwareComponentKind::cooling, "cooling"},
        {HardwareComponentKind::ports, "ports"},
    };
};

// Shared with the resource analysis: how sure a conclusion is.
enum class CulpritConfidence { low, medium, high };

template <> struct EnumTraits<CulpritConfidence> {
    static constexpr std::pair<CulpritConfidence, std::string_view> cases[] = {
        {CulpritConfidence::low, "low"},
        {CulpritConfidence::medium, "medium"},
        {CulpritConfidence::high, "high"},
    };
};

} // namespace kestrum
