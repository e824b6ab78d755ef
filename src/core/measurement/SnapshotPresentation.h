#pragma once

#include "SystemSnapshot.h"

#include <QString>
#include <vector>

namespace kestrum {

// What a view shows of one snapshot: one group per metric group, each either its formatted rows or the
// reason it could not be read. Texts are localised here, at the point of display. Shared by the CLI's
// human output and the application's overview.
struct PresentationRow {
    QString label;
    QString value;
    bool operator==(const PresentationRow&) const = default;
};

struct PresentationGroup {
    QString key; // stable identifier: "cpu", "memory", …
    QString title;
    bool isAvailable = true;
    QString note; // the availability reason, or another short remark
    std::vector<PresentationRow> rows;
    bool operator==(const PresentationGroup&) const = default;
};

namespace SnapshotPresentation {

std::vector<PresentationGroup> groups(const SystemSnapshot& snapshot);
// The Wi-Fi link's details (network name, access point, standard, band, width, security, country) and the
// connection details (primary interface, addresses, routers, DNS): rows of the network group, and of the
// wifi command's groups. A value that was not read shows as unavailable.
std::vector<PresentationRow> wifiDetailRows(const WiFiConnectionDetails& details);
std::vector<PresentationRow> connectionDetailRows(const NetworkConnectionDetails& details);
// The display label of a thermal level: "Normal", "Hafif yüksek", "Ciddi", "Kritik", "Kullanılamıyor".
// The level's Turkish text as a key, for callers that localise later (reports go through L10n::report).
QString thermalLevelText(ThermalLevel level);
QString thermalLevelLabel(ThermalLevel level);
// Yes/no in the interface language.
QString yesNo(bool value);

} // namespace SnapshotPresentation

} // namespace kestrum
