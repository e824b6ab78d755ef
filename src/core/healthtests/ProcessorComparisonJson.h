#pragma once

#include "ProcessorComparison.h"

#include <QJsonObject>

namespace kestrum {

// The comparison in progress as scripts and the session bus see it: its fields, plus how long its
// current phase has run at `tick` ("phaseElapsed", seconds) and its next step text when it has one.
QJsonObject processorComparisonToJson(const ProcessorComparison& comparison, double tick);
// Throws KestrumError when the object is not such a comparison.
ProcessorComparison processorComparisonFromJson(const QJsonObject& object);

} // namespace kestrum
