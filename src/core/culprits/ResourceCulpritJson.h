#pragma once

#include "ApplicationUsage.h"
#include "ResourceCulprit.h"

#include <QJsonObject>

namespace kestrum {

// Everything the resource screen shows, as one JSON object for scripts and for the session bus: the
// consent, whether a foreground application can be known, the correlation and battery analyses and the
// measured per-application use.
struct ResourceCulpritReport {
    bool consented = false;
    double sampleInterval = 2;
    MetricAvailability foregroundAvailability;
    ResourceCulpritAnalysis analysis;
    BatteryImpactAnalysis batteryImpact;
    ApplicationUsageReport applicationUsage;

    QJsonObject toJson() const;
    // Throws KestrumError when the object is not such a report.
    static ResourceCulpritReport fromJson(const QJsonObject& object);
    bool operator==(const ResourceCulpritReport&) const = default;
};

} // namespace kestrum
