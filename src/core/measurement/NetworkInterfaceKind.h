#pragma once

#include "foundation/EnumTraits.h"

namespace kestrum {

// The raw value doubles as the display label.
enum class NetworkInterfaceKind { wifi, ethernet, wired, other, unavailable };

template <> struct EnumTraits<NetworkInterfaceKind> {
    static constexpr std::pair<NetworkInterfaceKind, std::string_view> cases[] = {
        {NetworkInterfaceKind::wifi, "Wi-Fi"},     {NetworkInterfaceKind::ethernet, "Ethernet"},
        {NetworkInterfaceKind::wired, "Kablolu"},  {NetworkInterfaceKind::other, "Diğer"},
        {NetworkInterfaceKind::unavailable, "Bağlantı yok"},
    };
};

} // namespace kestrum
