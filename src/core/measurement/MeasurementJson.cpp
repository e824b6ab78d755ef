#include "MeasurementJson.h"

#include "MeasurementJsonFields.h"

namespace kestrum {

namespace json {

QJsonValue JsonCustom<MetricAvailability>::encode(const MetricAvailability& availability) {
    QJsonObject object;
    switch (availability.state) {
    case MetricAvailability::State::available:
        object.insert(QStringLiteral("state"), QStringLiteral("available"));
        return object;
    case MetricAvailability::State::unavailable:
        object.insert(QStringLiteral("state"), QStringLiteral("unavailable"));
        break;
    case MetricAvailability::State::permissionRequired:
        object.insert(QStringLiteral("state"), QStringLiteral("permissionRequired"));
        break;
    }
    object.insert(QStringLiteral("reason"), availability.reason);
    return object;
}

MetricAvailability JsonCustom<MetricAvailability>::decode(const QJsonValue& value, JsonPath& path) {
    if (!value.isObject())
        throwWrongType(path);
    const QJsonObject object = value.toObject();
    path.pushKey(QStringLiteral("state"));
    const QJsonValue state = object.value(QStringLiteral("state"));
    if (state.isUndefined())
        throwMissing(path);
    if (!state.isString())
        throwWrongType(path);
    const QString text = state.toString();
    path.pop();
    if (text == u"available")
        return MetricAvailability::available();
    if (text != u"unavailable" && text != u"permissionRequired") {
        path.pushKey(QStringLiteral("state"));
        throwUnknownValue(path, text);
    }
    path.pushKey(QStringLiteral("reason"));
    const QString reason = json::decode<QString>(object.value(QStringLiteral("reason")), path);
    path.pop();
    return text == u"unavailable" ? MetricAvailability::unavailable(reason)
                                  : MetricAvailability::permissionRequired(reason);
}

} // namespace json

QJsonValue snapshotToJson(const SystemSnapshot& snapshot) {
    return json::encode(snapshot);
}

SystemSnapshot snapshotFromJson(const QJsonValue& value) {
    return json::decode<SystemSnapshot>(value);
}

QJsonValue availabilityToJson(const MetricAvailability& availability) {
    return json::encode(availability);
}

} // namespace kestrum
