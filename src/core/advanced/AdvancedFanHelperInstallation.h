#pragma once

// Where the privileged fan helper lives once installed, shared by the helper and the application so
// that each can check the other's identity on the socket.

namespace kestrum::AdvancedFanHelperInstallation {

// The socket systemd listens on for the helper (kestrum-fan-helper.socket).
inline constexpr const char* socketPath = "/run/kestrum-fan-helper.sock";

// The polkit action a caller must be granted to start a boost.
inline constexpr const char* boostActionID = "app.kestrum.Kestrum.fan-boost";

} // namespace kestrum::AdvancedFanHelperInstallation
