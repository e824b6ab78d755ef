#pragma once

#include "WiFiConnectionDetails.h"

#include <optional>

namespace kestrum {

// The platform's Wi-Fi codes turned into the records' values. The codes are the ones the macOS Wi-Fi
// framework uses; a Linux reader translates what the kernel says into the same codes, so the tables here
// are the only place the mapping lives.
struct CoreWLANDetailsMapper {
    // PHY mode 1, 2, 3 (802.11a/b/g), 4 (n), 5 (ac), 6 (ax), 7 (be).
    static std::optional<WiFiStandard> standard(int phyMode, std::optional<WiFiBand> band);
    // Channel band 1 (2 GHz), 2 (5 GHz), 3 (6 GHz).
    static std::optional<WiFiBand> band(int channelBand);
    // Width code 1, 2, 3, 4 → 20, 40, 80, 160 MHz.
    static std::optional<int> channelWidthMHz(int widthCode);
    // Security codes 0…15.
    static std::optional<WiFiSecurity> security(int securityCode);
    // Trimmed of white space and new lines; empty is absent.
    static std::optional<QString> text(const QString& value);
};

// Who may see the network name, access point and country code. Linux does not hide them behind a
// location permission, so the controller reports `authorized` there and the screen shows no permission
// text.
class WiFiDetailsPermissionController {
public:
    enum class AuthorizationStatus { notDetermined, restricted, denied, authorized };

    explicit WiFiDetailsPermissionController(AuthorizationStatus status = AuthorizationStatus::authorized)
        : m_status(status) {}
    AuthorizationStatus authorizationStatus() const { return m_status; }
    // Whether the screen explains the permission (and, when denied, how to grant it).
    bool showsPermissionExplanation() const { return m_status != AuthorizationStatus::authorized; }
    static QString permissionExplanation();
    static QString deniedInstruction();

private:
    AuthorizationStatus m_status;
};

} // namespace kestrum
