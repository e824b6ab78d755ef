#pragma once

#include "HealthEvent.h"
#include "HealthSample.h"
#include "foundation/KestrumError.h"
#include "healthtests/CPUBenchmarkResult.h"
#include "healthtests/DeepHealthTestResult.h"
#include "healthtests/HealthTestResult.h"
#include "healthtests/PerformanceSession.h"
#include "healthtests/ProcessorComparison.h"
#include "network/NetworkQualityResult.h"
#include "network/NetworkSpeedTestResult.h"

#include <QJsonObject>
#include <optional>
#include <vector>

namespace kestrum {

// Everything Kestrum remembers between runs: one JSON file. Result records of features that do not read
// them as typed records yet are carried as their JSON objects, losslessly.
struct HealthArchive {
    static constexpr int kSchemaVersion = 1;

    int schemaVersion = kSchemaVersion;
    std::vector<HealthSample> samples; // oldest first
    std::vector<HealthEvent> events;   // oldest first
    std::vector<IncidentSession> incidents;
    std::vector<PerformanceSession> performanceSessions;
    std::vector<HealthTestResult> healthTestResults;         // oldest first
    std::vector<DeepHealthTestResult> deepHealthTestResults; // oldest first
    std::vector<CPUBenchmarkResult> cpuBenchmarkResults;     // oldest first
    std::vector<QJsonObject> fullSystemScanResults;
    std::vector<ProcessorComparisonRecord> processorComparisons;
    std::optional<NetworkQualityResult> latestNetworkQualityResult;
    std::optional<NetworkSpeedTestResult> latestNetworkSpeedResult;
    QJsonObject unknownFields; // top-level keys of a later version, written back unchanged

    static HealthArchive empty() { return {}; }
    bool operator==(const HealthArchive&) const = default;
};

// The archive's file form. Decoding throws KestrumError ("decoding") naming the field; a schema other
// than 1 is `unsupportedSchema`.
QByteArray encodeHealthArchive(const HealthArchive& archive);
HealthArchive decodeHealthArchive(const QByteArray& bytes);
QJsonValue healthSampleToJson(const HealthSample& sample);
QJsonValue healthEventToJson(const HealthEvent& event);
QJsonValue incidentToJson(const IncidentSession& incident);
// The records' JSON forms for the journal; decoding throws as decodeHealthArchive does.
HealthSample healthSampleFromJson(const QJsonValue& value);
QJsonValue healthEventsToJson(const std::vector<HealthEvent>& events);
std::vector<HealthEvent> healthEventsFromJson(const QJsonValue& value);
QJsonObject healthArchiveToJson(const HealthArchive& archive);
HealthArchive healthArchiveFromJson(const QJsonObject& object);
QJsonValue performanceSessionToJson(const PerformanceSession& session);
QJsonValue processorComparisonRecordToJson(const ProcessorComparisonRecord& record);

// "Geçmiş veri biçimi desteklenmiyor (sürüm N)."
KestrumError unsupportedSchemaError(long long version);

} // namespace kestrum
