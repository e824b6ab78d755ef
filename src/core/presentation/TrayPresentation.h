#pragma once

#include "interpretation/HealthInsight.h"
#include "measurement/MenuBarPrimaryMetric.h"
#include "measurement/SystemSnapshot.h"

#include <QString>
#include <vector>

namespace kestrum {

// Everything the tray item shows, computed from the current state: recomputed whenever the snapshot,
// the insights or the menu-bar choices change.
struct TrayPresentation {
    struct Row {
        MenuBarPrimaryMetric metric = MenuBarPrimaryMetric::cpu;
        QString text;
        QString symbol;
        bool operator==(const Row&) const = default;
    };

    QString label;    // "CPU 12%"
    QString symbol;   // the primary metric's symbol name
    QString iconText; // the short value drawn into the icon ("12", "1,3M"); empty for a symbol alone
    QString healthTitle;
    QString healthSymbol;
    QString tooltip;       // "CPU 12% · Sağlık: Normal"
    std::vector<Row> rows; // the visible metric rows, in metric order

    static TrayPresentation make(const SystemSnapshot& snapshot, const std::vector<HealthInsight>& insights,
                                 bool hasMeasurement, MenuBarPrimaryMetric primary,
                                 const std::vector<MenuBarPrimaryMetric>& visibleRows);
    bool operator==(const TrayPresentation&) const = default;
};

} // namespace kestrum
