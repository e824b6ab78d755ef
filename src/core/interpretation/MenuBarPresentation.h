#pragma once

#include "HealthInsight.h"
#include "measurement/MenuBarPrimaryMetric.h"
#include "measurement/SystemSnapshot.h"

#include <QString>
#include <vector>

namespace kestrum {

// What the tray item says about the machine's health.
struct MenuBarHealthPresentation {
    QString title;       // localised
    QString systemImage; // symbol name; the application maps it to an icon

    // The assessment's level, raised by a more severe active insight.
    static MenuBarHealthPresentation resolve(const SystemSnapshot& snapshot,
                                             const std::vector<HealthInsight>& insights, bool hasMeasurement);
    bool operator==(const MenuBarHealthPresentation&) const = default;
};

namespace MenuBarMetricFormatter {
// "CPU 12%", "RAM 45%", "Batarya 80%", "↓1,2 MB/sn", "Termal Normal", "Sağlık Normal"; the metric's
// name and " —" without a measurement or when its group is unavailable.
QString labelText(MenuBarPrimaryMetric metric, const SystemSnapshot& snapshot, bool hasMeasurement,
                  const QString& healthTitle);
QString systemImage(MenuBarPrimaryMetric metric, const SystemSnapshot& snapshot,
                    const QString& healthSystemImage);
// The metric's short name: "CPU", "RAM", "Batarya", "Ağ", "Termal", "Sağlık".
QString metricName(MenuBarPrimaryMetric metric);
} // namespace MenuBarMetricFormatter

} // namespace kestrum
