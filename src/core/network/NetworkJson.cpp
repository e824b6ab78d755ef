#include "NetworkJson.h"

#include "NetworkJsonFields.h"

namespace kestrum {

QJsonValue networkSpeedTestResultToJson(const NetworkSpeedTestResult& result) {
    return json::encode(result);
}

NetworkSpeedTestResult networkSpeedTestResultFromJson(const QJsonValue& value) {
    return json::decode<NetworkSpeedTestResult>(value);
}

QJsonValue networkQualityResultToJson(const NetworkQualityResult& result) {
    return json::encode(result);
}

NetworkQualityResult networkQualityResultFromJson(const QJsonValue& value) {
    return json::decode<NetworkQualityResult>(value);
}

} // namespace kestrum
