#pragma once

#include "CPUBenchmarkResult.h"
#include "DeepHealthTestResult.h"
#include "HealthTestResult.h"

#include <QJsonValue>

namespace kestrum {

// The JSON forms of the results, as the archive stores them and `--json` prints them.
QJsonValue healthTestResultToJson(const HealthTestResult& result);
QJsonValue deepHealthTestResultToJson(const DeepHealthTestResult& result);
QJsonValue cpuBenchmarkResultToJson(const CPUBenchmarkResult& result);
// Decoding throws KestrumError ("decoding") naming the field.
HealthTestResult healthTestResultFromJson(const QJsonValue& value);
DeepHealthTestResult deepHealthTestResultFromJson(const QJsonValue& value);
CPUBenchmarkResult cpuBenchmarkResultFromJson(const QJsonValue& value);

} // namespace kestrum
