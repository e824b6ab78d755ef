#include "HealthArchive.h"
#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"
#include "healthtests/HealthTestsJsonFields.h"
#include "network/NetworkJsonFields.h"

namespace kestrum {

namespace json {

// A byte rate no link comes near (a terabyte per second): anything above it is a damaged file.
constexpr double kLargestRate = 1e12;

template <> struct JsonRecord<HealthSample> {
    static constexpr auto fields = std::tuple{
        field("id", &HealthSample::id),
        field("timestamp", &HealthSample::timestamp),
        field("cpuUsage", &HealthSample::cpuUsage).within(0, 1),
        field("memoryUsage", &HealthSample::memoryUsage).within(0, 1),
        field("batteryCharge", &HealthSample::batteryCharge).within(0, 1),
        field("batteryIsCharging", &HealthSample::batteryIsCharging),
        field("batteryUsesPowerAdapter", &HealthSample::batteryUsesPowerAdapter),
        field("diskUsage", &HealthSample::diskUsage).within(0, 1),
        field("thermalLevel", &HealthSample::thermalLevel),
        field("downloadBytesPerSecond", &HealthSample::downloadBytesPerSecond).within(0, kLargestRate),
        field("uploadBytesPerSecond", &HealthSample::uploadBytesPerSecond).within(0, kLargestRate),
        field("wifiRSSI", &HealthSample::wifiRSSI),
        field("healthLevel", &HealthSample::healthLevel)};
    static constexpr auto unknownFields = &HealthSample::unknownFields;
};

template <> struct JsonRecord<HealthEvent> {
    static constexpr auto fields = std::tuple{field("id", &HealthEvent::id),
                                              field("timestamp", &HealthEvent::timestamp),
                                              field("kind", &HealthEvent::kind),
                                              field("level", &HealthEvent::level),
                                              field("title", &HealthEvent::title),
                                              field("evidence", &HealthEvent::evidence),
                                              field("recommendation", &HealthEvent::recommendation),
                                              field("signature", &HealthEvent::signature)};
    static constexpr auto unknownFields = &HealthEvent::unknownFields;
};

template <> struct JsonRecord<IncidentSession> {
    static constexpr auto fields =
        std::tuple{field("id", &IncidentSession::id), field("startedAt", &IncidentSession::startedAt),
                   field("endedAt", &IncidentSession::endedAt), field("note", &IncidentSession::note)};
    static constexpr auto unknownFields = &IncidentSession::unknownFields;
};

template <> struct JsonRecord<PerformanceMetricSnapshot> {
    static constexpr auto fields =
        std::tuple{field("timestamp", &PerformanceMetricSnapshot::timestamp),
                   field("cpuUsage", &PerformanceMetricSnapshot::cpuUsage),
                   field("memoryUsage", &PerformanceMetricSnapshot::memoryUsage),
                   field("batteryCharge", &PerformanceMetricSnapshot::batteryCharge),
                   field("batteryUsesPowerAdapter", &PerformanceMetricSnapshot::batteryUsesPowerAdapter),
                   field("downloadBytesPerSecond", &PerformanceMetricSnapshot::downloadBytesPerSecond),
                   field("uploadBytesPerSecond", &PerformanceMetricSnapshot::uploadBytesPerSecond),
                   field("thermalLevel", &PerformanceMetricSnapshot::thermalLevel)};
};

template <> struct JsonRecord<PerformanceSession> {
    static constexpr auto fields =
        std::tuple{field("id", &PerformanceSession::id),
                   field("name", &PerformanceSession::name),
                   field("startedAt", &PerformanceSession::startedAt),
                   field("endedAt", &PerformanceSession::endedAt),
                   field("baseline", &PerformanceSession::baseline),
                   field("ending", &PerformanceSession::ending),
                   field("sampleCount", &PerformanceSession::sampleCount),
                   field("cpuUsageTotal", &PerformanceSession::cpuUsageTotal),
                   field("cpuSampleCount", &PerformanceSession::cpuSampleCount),
                   field("peakCPUUsage", &PerformanceSession::peakCPUUsage),
                   field("memoryUsageTotal", &PerformanceSession::memoryUsageTotal),
                   field("memorySampleCount", &PerformanceSession::memorySampleCount),
                   field("peakMemoryUsage", &PerformanceSession::peakMemoryUsage),
                   field("downloadRateTotal", &PerformanceSession::downloadRateTotal),
                   field("downloadSampleCount", &PerformanceSession::downloadSampleCount),
                   field("uploadRateTotal", &PerformanceSession::uploadRateTotal),
                   field("uploadSampleCount", &PerformanceSession::uploadSampleCount),
                   field("highestThermalLevel", &PerformanceSession::highestThermalLevel),
                   field("lastRecordedAt", &PerformanceSession::lastRecordedAt)};
};

template <> struct JsonRecord<ProcessorComparisonRecord> {
    static constexpr auto fields =
        std::tuple{field("id", &ProcessorComparisonRecord::id),
                   field("savedAt", &ProcessorComparisonRecord::savedAt),
                   field("action", &ProcessorComparisonRecord::action),
                   field("result", &ProcessorComparisonRecord::result),
                   field("invalidReason", &ProcessorComparisonRecord::invalidReason),
                   field("before", &ProcessorComparisonRecord::before),
                   field("after", &ProcessorComparisonRecord::after)};
};

template <> struct JsonRecord<HealthArchive> {
    static constexpr auto fields =
        std::tuple{field("schemaVersion", &HealthArchive::schemaVersion),
                   field("samples", &HealthArchive::samples),
                   field("events", &HealthArchive::events),
                   field("incidents", &HealthArchive::incidents),
                   fieldEmptyWhenMissing("performanceSessions", &HealthArchive::performanceSessions),
                   fieldEmptyWhenMissing("healthTestResults", &HealthArchive::healthTestResults),
                   fieldEmptyWhenMissing("deepHealthTestResults", &HealthArchive::deepHealthTestResults),
                   fieldEmptyWhenMissing("cpuBenchmarkResults", &HealthArchive::cpuBenchmarkResults),
                   fieldEmptyWhenMissing("fullSystemScanResults", &HealthArchive::fullSystemScanResults),
                   fieldEmptyWhenMissing("processorComparisons", &HealthArchive::processorComparisons),
                   field("latestNetworkQualityResult", &HealthArchive::latestNetworkQualityResult),
                   field("latestNetworkSpeedResult", &HealthArchive::latestNetworkSpeedResult)};
    static constexpr auto unknownFields = &HealthArchive::unknownFields;
};

} // namespace json

namespace {

// Carried records must at least have the date compaction judges them by.
void requireDate(const std::vector<QJsonObject>& records, const char* list, const char* key) {
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].value(QLatin1String(key)).isDouble())
            continue;
        json::JsonPath path;
        path.pushKey(QLatin1String(list));
        path.pushIndex(static_cast<qsizetype>(i));
        path.pushKey(QLatin1String(key));
        json::throwMissing(path);
    }
}

} // namespace

KestrumError unsupportedSchemaError(long long version) {
    return KestrumError(
        QStringLiteral("unsupportedSchema"),
        trTemplate("Geçmiş veri biçimi desteklenmiyor (sürüm \\(version)).", {QString::number(version)}));
}

QByteArray encodeHealthArchive(const HealthArchive& archive) {
    return json::writeDocument(archive);
}

namespace {

// The top-level "schemaVersion" of a document that did not decode, if it has a readable one. A version
// that is no integer throws the decoding error of that field.
std::optional<int64_t> schemaVersionOf(const QByteArray& bytes) {
    json::JsonReader reader(bytes);
    json::JsonPath path;
    bool found = false;
    try {
        reader.beginObject(path);
        std::string_view key;
        while (!found && reader.nextKey(key)) {
            found = key == "schemaVersion";
            if (!found)
                reader.skipValue();
        }
    } catch (const KestrumError&) {
        return std::nullopt; // the error the full decoding reported stands
    }
    if (!found)
        return std::nullopt;
    path.pushKey("schemaVersion");
    return reader.readInt64(path);
}

} // namespace

HealthArchive decodeHealthArchive(const QByteArray& bytes) {
    HealthArchive archive;
    try {
        archive = json::readDocument<HealthArchive>(bytes);
    } catch (const KestrumError&) {
        // A newer layout is reported as such, not as whatever part of it failed to decode.
        const auto version = schemaVersionOf(bytes);
        if (version && *version != HealthArchive::kSchemaVersion)
            throw unsupportedSchemaError(*version);
        throw;
    }
    if (archive.schemaVersion != HealthArchive::kSchemaVersion)
        throw unsupportedSchemaError(archive.schemaVersion);
    requireDate(archive.fullSystemScanResults, "fullSystemScanResults", "endedAt");
    return archive;
}

QJsonValue healthSampleToJson(const HealthSample& sample) {
    return json::encode(sample);
}
QJsonValue healthEventToJson(const HealthEvent& event) {
    return json::encode(event);
}
QJsonValue incidentToJson(const IncidentSession& incident) {
    return json::encode(incident);
}
HealthSample healthSampleFromJson(const QJsonValue& value) {
    return json::decode<HealthSample>(value);
}
QJsonValue healthEventsToJson(const std::vector<HealthEvent>& events) {
    return json::encode(events);
}
std::vector<HealthEvent> healthEventsFromJson(const QJsonValue& value) {
    return json::decode<std::vector<HealthEvent>>(value);
}
QJsonObject healthArchiveToJson(const HealthArchive& archive) {
    return json::encode(archive).toObject();
}
HealthArchive healthArchiveFromJson(const QJsonObject& object) {
    return json::decode<HealthArchive>(object);
}
QJsonValue performanceSessionToJson(const PerformanceSession& session) {
    return json::encode(session);
}
QJsonValue processorComparisonRecordToJson(const ProcessorComparisonRecord& record) {
    return json::encode(record);
}

} // namespace kestrum
