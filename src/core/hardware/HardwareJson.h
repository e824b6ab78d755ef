#pragma once

#include "AppleDiagnosticsCodeInterpreter.h"
#include "HardwareProfile.h"
#include "HardwareRecommendation.h"

#include <QJsonValue>
#include <vector>

namespace kestrum {

// The JSON form of the hardware records (`kestrum-cli hardware --json`): field names as in the records,
// enumerations as their raw text, a serviceability or architecture as {"case": …, "specification": …}.
QJsonValue hardwareProfileToJson(const HardwareProfile& profile);
// Throws KestrumError ("decoding") naming the field that failed.
HardwareProfile hardwareProfileFromJson(const QJsonValue& value);
QJsonValue hardwareRecommendationsToJson(const std::vector<HardwareRecommendation>& recommendations);
QJsonValue diagnosticsCodeResultToJson(const AppleDiagnosticsCodeResult& result);
QJsonValue originalPartReferencesToJson(const std::vector<OriginalPartReference>& parts);

} // namespace kestrum
