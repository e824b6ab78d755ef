#pragma once

#include "SystemSnapshot.h"

#include <QJsonValue>

namespace kestrum {

// The snapshot's JSON form (`kestrum-cli snapshot --json`), and reading it back.
QJsonValue snapshotToJson(const SystemSnapshot& snapshot);
// Throws KestrumError ("decoding") naming the field that failed.
SystemSnapshot snapshotFromJson(const QJsonValue& value);
QJsonValue availabilityToJson(const MetricAvailability& availability);

} // namespace kestrum
