#include "AdvancedFanHelperProtocol.h"

#include "foundation/Uuid.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace kestrum {

std::optional<QUuid> AdvancedFanHelperCommand::sessionID() const {
    if (const auto* begin = std::get_if<BeginBoost>(&value))
        return begin->sessionID;
    if (const auto* renew = std::get_if<RenewLease>(&value))
        return renew->sessionID;
    return std::nullopt;
}

namespace AdvancedFanHelperWire {

namespace {

constexpr std::pair<Method, const char*> kMethods[] = {
    {Method::beginBoost, "beginBoost"},
    {Method::renewLease, "renewLease"},
    {Method::restoreAutomatic, "restoreAutomatic"},
    {Method::serviceStatus, "serviceStatus"},
    {Method::fanCount, "fanCount"},
    {Method::fanReading, "fanReading"},
};

QString methodName(Method method) {
    for (const auto& [candidate, name] : kMethods) {
        if (candidate == method)
            return QLatin1String(name);
    }
    return {};
}

std::optional<Method> methodFromName(const QString& text) {
    for (const auto& [candidate, name] : kMethods) {
        if (text == QLatin1String(name))
            return candidate;
    }
    return std::nullopt;
}

QByteArray line(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> objectOf(QByteArrayView text) {
    text = text.trimmed();
    if (text.isEmpty() || text.size() > maximumMessageBytes)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

// Absent key → nullopt in `into`; present but of another type → false.
bool takeInteger(const QJsonObject& object, const char* key, std::optional<int>& into, double minimum,
                 double maximum) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < minimum || number > maximum)
        return false;
    into = int(number);
    return true;
}

bool takeDouble(const QJsonObject& object, const char* key, std::optional<double>& into) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return false;
    into = value.toDouble();
    return true;
}

bool takeUuid(const QJsonObject& object, const char* key, std::optional<QUuid>& into) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return false;
    into = uuidFromText(value.toString());
    return into.has_value();
}

bool takeEnvelopeFields(const QJsonObject& object, quint16& version, QUuid& requestID) {
    std::optional<int> v;
    std::optional<QUuid> id;
    if (!takeInteger(object, "version", v, 0, 65535) || !v || !takeUuid(object, "requestID", id) || !id)
        return false;
    version = quint16(*v);
    requestID = *id;
    return true;
}

void putOptional(QJsonObject& object, const char* key, const std::optional<QUuid>& value) {
    if (value)
        object.insert(QLatin1String(key), uuidText(*value));
}
template <class T> void putOptional(QJsonObject& object, const char* key, const std::optional<T>& value) {
    if (value)
        object.insert(QLatin1String(key), *value);
}

[[noreturn]] void fail(AdvancedFanHelperTransportError error) {
    throw AdvancedFanHelperTransportFailure(error);
}

// Version, id and a success code, else the code's error.
void requireSuccessfulAnswer(const Request& sent, const Reply& reply) {
    if (reply.protocolVersion != sent.protocolVersion || reply.requestID != sent.requestID ||
        reply.result != AdvancedFanHelperResultCode::success)
        fail(errorForResultCode(reply.result));
}

} // namespace

int profileValue(AdvancedFanBoostProfile profile) {
    return profile == AdvancedFanBoostProfile::balanced ? 1 : 2;
}

std::optional<AdvancedFanBoostProfile> profileFromValue(int value) {
    if (value == 1)
        return AdvancedFanBoostProfile::balanced;
    if (value == 2)
        return AdvancedFanBoostProfile::maximumSafe;
    return std::nullopt;
}

int reasonValue(AdvancedFanAutomaticRestoreReason reason) {
    return declarationIndex(reason) + 1;
}

std::optional<AdvancedFanAutomaticRestoreReason> reasonFromValue(int value) {
    const auto cases = allCases<AdvancedFanAutomaticRestoreReason>();
    if (value < 1 || value > int(cases.size()))
        return std::nullopt;
    return cases[size_t(value - 1)];
}

Request request(const AdvancedFanHelperEnvelope& envelope) {
    Request out;
    out.protocolVersion = envelope.protocolVersion;
    out.requestID = envelope.requestID;
    std::visit(
        [&](const auto& command) {
            using T = std::decay_t<decltype(command)>;
            if constexpr (std::is_same_v<T, AdvancedFanHelperCommand::BeginBoost>) {
                out.method = Method::beginBoost;
                out.sessionID = command.sessionID;
                out.profile = profileValue(command.profile);
                out.maximumDuration = command.maximumDuration;
                out.leaseDuration = command.leaseDuration;
            } else if constexpr (std::is_same_v<T, AdvancedFanHelperCommand::RenewLease>) {
                out.method = Method::renewLease;
                out.sessionID = command.sessionID;
                out.leaseDuration = command.leaseDuration;
            } else {
                out.method = Method::restoreAutomatic;
                out.reason = reasonValue(command.reason);
            }
        },
        envelope.command.value);
    return out;
}

Request statusRequest(QUuid requestID) {
    return Request{Method::serviceStatus, protocolVersion, requestID};
}

Request fanCountRequest(QUuid requestID) {
    return Request{Method::fanCount, protocolVersion, requestID};
}

Request fanReadingRequest(QUuid requestID, int fanIndex) {
    Request out{Method::fanReading, protocolVersion, requestID};
    out.fanIndex = fanIndex;
    return out;
}

QByteArray encode(const Request& request) {
    QJsonObject object;
    object.insert(QStringLiteral("method"), methodName(request.method));
    object.insert(QStringLiteral("version"), int(request.protocolVersion));
    object.insert(QStringLiteral("requestID"), uuidText(request.requestID));
    putOptional(object, "sessionID", request.sessionID);
    putOptional(object, "profile", request.profile);
    putOptional(object, "maximumDuration", request.maximumDuration);
    putOptional(object, "leaseDuration", request.leaseDuration);
    putOptional(object, "reason", request.reason);
    putOptional(object, "fanIndex", request.fanIndex);
    return line(object);
}

QByteArray encode(const Reply& reply) {
    QJsonObject object;
    object.insert(QStringLiteral("version"), int(reply.protocolVersion));
    object.insert(QStringLiteral("requestID"), uuidText(reply.requestID));
    object.insert(QStringLiteral("result"), reply.result);
    putOptional(object, "state", reply.state);
    putOptional(object, "sessionID", reply.sessionID);
    putOptional(object, "count", reply.count);
    putOptional(object, "actual", reply.actual);
    putOptional(object, "target", reply.target);
    putOptional(object, "minimum", reply.minimum);
    putOptional(object, "maximum", reply.maximum);
    putOptional(object, "manual", reply.manual);
    return line(object);
}

std::optional<Request> decodeRequest(QByteArrayView text) {
    const auto object = objectOf(text);
    if (!object)
        return std::nullopt;
    Request request;
    const QJsonValue method = object->value(QStringLiteral("method"));
    const auto parsedMethod = method.isString() ? methodFromName(method.toString()) : std::nullopt;
    if (!parsedMethod || !takeEnvelopeFields(*object, request.protocolVersion, request.requestID))
        return std::nullopt;
    request.method = *parsedMethod;
    if (!takeUuid(*object, "sessionID", request.sessionID) ||
        !takeInteger(*object, "profile", request.profile, 0, 1000) ||
        !takeDouble(*object, "maximumDuration", request.maximumDuration) ||
        !takeDouble(*object, "leaseDuration", request.leaseDuration) ||
        !takeInteger(*object, "reason", request.reason, 0, 1000) ||
        !takeInteger(*object, "fanIndex", request.fanIndex, 0, 1000))
        return std::nullopt;
    // Each method's own arguments must be there.
    switch (request.method) {
    case Method::beginBoost:
        if (!request.sessionID || !request.profile || !request.maximumDuration || !request.leaseDuration)
            return std::nullopt;
        break;
    case Method::renewLease:
        if (!request.sessionID || !request.leaseDuration)
            return std::nullopt;
        break;
    case Method::restoreAutomatic:
        if (!request.reason || request.sessionID)
            return std::nullopt;
        break;
    case Method::fanReading:
        if (!request.fanIndex)
            return std::nullopt;
        break;
    case Method::serviceStatus:
    case Method::fanCount:
        break;
    }
    return request;
}

std::optional<Reply> decodeReply(QByteArrayView text) {
    const auto object = objectOf(text);
    if (!object)
        return std::nullopt;
    Reply reply;
    std::optional<int> result;
    std::optional<int> manual;
    if (!takeEnvelopeFields(*object, reply.protocolVersion, reply.requestID) ||
        !takeInteger(*object, "result", result, -1e9, 1e9) || !result ||
        !takeInteger(*object, "state", reply.state, -1e9, 1e9) ||
        !takeUuid(*object, "sessionID", reply.sessionID) ||
        !takeInteger(*object, "count", reply.count, 0, 1000) ||
        !takeDouble(*object, "actual", reply.actual) || !takeDouble(*object, "target", reply.target) ||
        !takeDouble(*object, "minimum", reply.minimum) || !takeDouble(*object, "maximum", reply.maximum))
        return std::nullopt;
    reply.result = *result;
    const QJsonValue manualValue = object->value(QStringLiteral("manual"));
    if (manualValue.isBool())
        reply.manual = manualValue.toBool();
    else if (!manualValue.isUndefined() && !manualValue.isNull())
        return std::nullopt;
    return reply;
}

AdvancedFanHelperTransportError errorForResultCode(int result) {
    switch (result) {
    case AdvancedFanHelperResultCode::success:
        return AdvancedFanHelperTransportError::connectionInterrupted;
    case AdvancedFanHelperResultCode::callerRejected:
        return AdvancedFanHelperTransportError::callerRejected;
    case AdvancedFanHelperResultCode::hardwareFailure:
        return AdvancedFanHelperTransportError::hardwareFailure;
    default:
        return AdvancedFanHelperTransportError::helperRejectedRequest;
    }
}

AdvancedFanHelperAcknowledgement validateCommandReply(const Request& sent, const Reply& reply) {
    requireSuccessfulAnswer(sent, reply);
    switch (sent.method) {
    case Method::beginBoost:
    case Method::renewLease:
        if (reply.state == 1 && reply.sessionID)
            return {reply.protocolVersion, sent.requestID,
                    AdvancedFanHelperReportedState::boostingSession(*reply.sessionID)};
        break;
    case Method::restoreAutomatic:
        if (reply.state == 0 && !reply.sessionID)
            return {reply.protocolVersion, sent.requestID, AdvancedFanHelperReportedState::automatic()};
        break;
    case Method::serviceStatus:
    case Method::fanCount:
    case Method::fanReading:
        break;
    }
    fail(errorForResultCode(reply.result));
}

AdvancedFanHelperServiceStatus validateStatusReply(const Request& sent, const Reply& reply) {
    if (reply.protocolVersion != protocolVersion || reply.requestID != sent.requestID)
        fail(AdvancedFanHelperTransportError::callerRejected);
    return {reply.result, reply.state.value_or(0)};
}

int validateFanCountReply(const Request& sent, const Reply& reply) {
    requireSuccessfulAnswer(sent, reply);
    if (!reply.count || *reply.count > 16)
        fail(AdvancedFanHelperTransportError::connectionInterrupted);
    return *reply.count;
}

AdvancedFanTelemetryReading validateFanReadingReply(const Request& sent, const Reply& reply) {
    requireSuccessfulAnswer(sent, reply);
    const auto nonNegative = [](const std::optional<double>& v) { return !v || *v >= 0; };
    if (!reply.actual || !nonNegative(reply.actual) || !nonNegative(reply.target) ||
        !nonNegative(reply.minimum) || !nonNegative(reply.maximum) || !reply.manual)
        fail(AdvancedFanHelperTransportError::connectionInterrupted);
    return {
        sent.fanIndex.value_or(0), *reply.actual, reply.target, reply.minimum, reply.maximum, *reply.manual};
}

} // namespace AdvancedFanHelperWire

} // namespace kestrum
