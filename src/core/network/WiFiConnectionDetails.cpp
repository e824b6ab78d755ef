#include "WiFiConnectionDetails.h"

namespace kestrum {

QString displayName(WiFiStandard standard) {
    const char* amendment = "";
    switch (standard) {
    case WiFiStandard::legacy:
        amendment = "802.11a/b/g";
        break;
    case WiFiStandard::wifi4:
        amendment = "802.11n";
        break;
    case WiFiStandard::wifi5:
        amendment = "802.11ac";
        break;
    case WiFiStandard::wifi6:
    case WiFiStandard::wifi6E:
        amendment = "802.11ax";
        break;
    case WiFiStandard::wifi7:
        amendment = "802.11be";
        break;
    }
    return rawValue(standard) + QStringLiteral(" (") + QLatin1String(amendment) + QStringLiteral(")");
}

} // namespace kestrum
