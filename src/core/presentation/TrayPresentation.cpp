#include "TrayPresentation.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "interpretation/MenuBarPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

// A rate in at most four characters, in the interface's notation: "850K", "1,3M" ("1.3M" in English),
// "12M", "1,2G".
QString compactRate(double bytesPerSecond) {
    static const char* const units[] = {"K", "M", "G", "T"};
    double value = bytesPerSecond / 1000.0;
    int unit = 0;
    while (value >= 999.5 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    const QString number =
        value < 9.95 ? MetricFormatting::number(value, 1) : QString::number(roundedInteger(value));
    return number + QLatin1String(units[unit]);
}

QString percentNumber(double fraction) {
    return QString::number(roundedInteger(std::clamp(fraction, 0.0, 1.0) * 100));
}

QString iconTextFor(MenuBarPrimaryMetric metric, const SystemSnapshot& s, bool hasMeasurement) {
    if (!hasMeasurement)
        return {};
    switch (metric) {
    case MenuBarPrimaryMetric::cpu:
        return s.cpu.availability.isAvailable() && std::isfinite(s.cpu.totalUsage)
                   ? percentNumber(s.cpu.totalUsage)
                   : QString();
    case MenuBarPrimaryMetric::memory:
        return s.memory.availability.isAvailable() && s.memory.totalBytes > 0
                   ? percentNumber(double(s.memory.usedBytes) / double(s.memory.totalBytes))
                   : QString();
    case MenuBarPrimaryMetric::battery:
        return s.battery.availability.isAvailable() && s.battery.isPresent && s.battery.chargeFraction
                   ? percentNumber(*s.battery.chargeFraction)
                   : QString();
    case MenuBarPrimaryMetric::network:
        return s.network.pathAvailability.isAvailable() && s.network.isConnected &&
                       s.network.trafficAvailability.isAvailable()
                   ? compactRate(s.network.downloadBytesPerSecond)
                   : QString();
    case MenuBarPrimaryMetric::thermal:
    case MenuBarPrimaryMetric::health:
        break;
    }
    return {};
}

} // namespace

TrayPresentation TrayPresentation::make(const SystemSnapshot& snapshot,
                                        const std::vector<HealthInsight>& insights, bool hasMeasurement,
                                        MenuBarPrimaryMetric primary,
                                        const std::vector<MenuBarPrimaryMetric>& visibleRows) {
    TrayPresentation p;
    const MenuBarHealthPresentation health =
        MenuBarHealthPresentation::resolve(snapshot, insights, hasMeasurement);
    p.healthTitle = health.title;
    p.healthSymbol = health.systemImage;
    p.label = MenuBarMetricFormatter::labelText(primary, snapshot, hasMeasurement, health.title);
    p.symbol = MenuBarMetricFormatter::systemImage(primary, snapshot, health.systemImage);
    p.iconText = iconTextFor(primary, snapshot, hasMeasurement);
    p.tooltip =
        primary == MenuBarPrimaryMetric::health
            ? p.label
            : p.label + QStringLiteral(" · ") + L10n::string(trTemplate("Sağlık: \\(title)", {health.title}));
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>()) {
        if (std::find(visibleRows.begin(), visibleRows.end(), metric) == visibleRows.end())
            continue;
        p.rows.push_back({metric,
                          MenuBarMetricFormatter::labelText(metric, snapshot, hasMeasurement, health.title),
                          MenuBarMetricFormatter::systemImage(metric, snapshot, health.systemImage)});
    }
    return p;
}

} // namespace kestrum
