#pragma once

#include "foundation/EnumTraits.h"
#include "foundation/Translatable.h"

namespace kestrum {

// The raw value doubles as the display label.
enum class NetworkInterfaceKind { wifi, ethernet, wired, other, unavailable };

template <> struct EnumTraits<NetworkInterfaceKind> {
    static constexpr std::pair<NetworkInterfaceKind, std::string_view> cases[] = {
        {NetworkInterfaceKind::wifi, "Wi-Fi"},
        {NetworkInterfaceKind::ethernet, "Ethernet"},
        {NetworkInterfaceKind::wired, TR_MARK("Kablolu")},
        {NetworkInterfaceKind::other, TR_MARK("Diğer")},
        {NetworkInterfaceKind::unavailable, TR_MARK("Bağlantı yok")},
    };
};

} // namespace kestrum
