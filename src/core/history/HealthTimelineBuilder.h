#pragma once

#include "HealthEvent.h"
#include "culprits/ResourceCulprit.h"
#include "foundation/Date.h"
#include "foundation/EnumTraits.h"
#include "healthtests/DeepHealthTestResult.h"
#include "healthtests/HealthTestResult.h"
#include "healthtests/PerformanceSession.h"
#include "measurement/HealthLevel.h"
#include "network/NetworkQualityResult.h"

#include <QJsonValue>
#include <QString>
#include <optional>
#include <vector>

namespace kestrum {

enum class HealthTimelineEntryKind {
    healthAlert,
    incident,
    performanceSession,
    healthTest,
    networkTest,
    resourcePressure
};

template <> struct EnumTraits<HealthTimelineEntryKind> {
    static constexpr std::pair<HealthTimelineEntryKind, std::string_view> cases[] = {
        {HealthTimelineEntryKind::healthAlert, "healthAlert"},
        {HealthTimelineEntryKind::incident, "incident"},
        {HealthTimelineEntryKind::performanceSession, "performanceSession"},
        {HealthTimelineEntryKind::healthTest, "healthTest"},
        {HealthTimelineEntryKind::networkTest, "networkTest"},
        {HealthTimelineEntryKind::resourcePressure, "resourcePressure"},
    };
};

// One line of the health centre's timeline. The texts are Turkish; they are shown through L10n.
struct HealthTimelineEntry {
    QString id;
    Date timestamp;
    std::optional<Date> endedAt;
    HealthTimelineEntryKind kind = HealthTimelineEntryKind::healthAlert;
    HealthLevel level = HealthLevel::normal;
    QString title;
    QString evidence;
    std::optional<QString> recommendation;
    bool operator==(const HealthTimelineEntry&) const = default;
};

QJsonValue healthTimelineEntryToJson(const HealthTimelineEntry& entry);

// Merges everything recorded about the machine's health into one list, newest first.
namespace HealthTimelineBuilder {

// What the health centre looks back over.
constexpr double kDefaultLookback = 604800;

// Alerts come from the events grouped since now − lookback. Incidents, sessions and tests count when
// they overlap that window; the network result and the resource analysis when they fall inside it.
// Nothing that starts after now is shown.
std::vector<HealthTimelineEntry> entries(const std::vector<HealthEvent>& events,
                                         const std::vector<IncidentSession>& incidents,
                                         const std::vector<PerformanceSession>& performanceSessions,
                                         const std::vector<HealthTestResult>& healthTestResults,
                                         const std::vector<DeepHealthTestResult>& deepHealthTestResults,
                                         const std::optional<NetworkQualityResult>& networkQualityResult,
                                         const ResourceCulpritAnalysis& resourceAnalysis, Date now,
                                         double lookback = kDefaultLookback);

// The level a test's health score earns: 75 and above normal, 50 and above attention, else critical.
HealthLevel levelForHealthScore(int healthScore);

} // namespace HealthTimelineBuilder

} // namespace kestrum
