#pragma once

#include "foundation/Date.h"
#include "measurement/HealthInsightKind.h"
#include "measurement/HealthLevel.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace kestrum {

// An insight frozen at a moment: a lasting alert.
struct HealthEvent {
    QUuid id;
    Date timestamp;
    HealthInsightKind kind = HealthInsightKind::thermal;
    HealthLevel level = HealthLevel::normal;
    QString title;
    QString evidence;
    QString recommendation;
    QString signature;         // the identity of the condition that raised it
    QJsonObject unknownFields; // keys of a later version, written back unchanged
    bool operator==(const HealthEvent&) const = default;
};

// A time range the user marked ("the fan was loud from here").
struct IncidentSession {
    QUuid id;
    Date startedAt;
    std::optional<Date> endedAt; // absent while the marker is open
    QString note;
    QJsonObject unknownFields; // keys of a later version, written back unchanged
    bool operator==(const IncidentSession&) const = default;
};

} // namespace kestrum
