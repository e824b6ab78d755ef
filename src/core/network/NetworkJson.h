#pragma once

#include "NetworkQualityResult.h"
#include "NetworkSpeedTestResult.h"

#include <QJsonValue>

namespace kestrum {

// The results' JSON form (archive entries and `--json` output). Reading throws KestrumError
// ("decoding") naming the field.
QJsonValue networkSpeedTestResultToJson(const NetworkSpeedTestResult& result);
NetworkSpeedTestResult networkSpeedTestResultFromJson(const QJsonValue& value);
QJsonValue networkQualityResultToJson(const NetworkQualityResult& result);
NetworkQualityResult networkQualityResultFromJson(const QJsonValue& value);

} // namespace kestrum
