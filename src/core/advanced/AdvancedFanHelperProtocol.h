#pragma once

// The messages between the application and the privileged fan helper, their wire form (one JSON object
// per line over a Unix-domain stream socket) and how replies are validated.

#include "foundation/EnumTraits.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <exception>
#include <optional>
#include <variant>
#include <vector>

namespace kestrum {

enum class AdvancedFanBoostProfile { balanced, maximumSafe };

template <> struct EnumTraits<AdvancedFanBoostProfile> {
    static constexpr std::pair<AdvancedFanBoostProfile, std::string_view> cases[] = {
        {AdvancedFanBoostProfile::balanced, "balanced"},
        {AdvancedFanBoostProfile::maximumSafe, "maximumSafe"},
    };
};

enum class AdvancedFanAutomaticRestoreReason {
    userStopped,
    durationExpired,
    heartbeatExpired,
    thermalSafetyStop,
    sleep,
    appTermination,
    helperFailure,
    communicationLost,
    invalidSession,
};

template <> struct EnumTraits<AdvancedFanAutomaticRestoreReason> {
    static constexpr std::pair<AdvancedFanAutomaticRestoreReason, std::string_view> cases[] = {
        {AdvancedFanAutomaticRestoreReason::userStopped, "userStopped"},
        {AdvancedFanAutomaticRestoreReason::durationExpired, "durationExpired"},
        {AdvancedFanAutomaticRestoreReason::heartbeatExpired, "heartbeatExpired"},
        {AdvancedFanAutomaticRestoreReason::thermalSafetyStop, "thermalSafetyStop"},
        {AdvancedFanAutomaticRestoreReason::sleep, "sleep"},
        {AdvancedFanAutomaticRestoreReason::appTermination, "appTermination"},
        {AdvancedFanAutomaticRestoreReason::helperFailure, "helperFailure"},
        {AdvancedFanAutomaticRestoreReason::communicationLost, "communicationLost"},
        {AdvancedFanAutomaticRestoreReason::invalidSession, "invalidSession"},
    };
};

struct AdvancedFanHelperCommand {
    struct BeginBoost {
        QUuid sessionID;
        AdvancedFanBoostProfile profile = AdvancedFanBoostProfile::balanced;
        double maximumDuration = 0;
        double leaseDuration = 0;
        bool operator==(const BeginBoost&) const = default;
    };
    struct RenewLease {
        QUuid sessionID;
        double leaseDuration = 0;
        bool operator==(const RenewLease&) const = default;
    };
    struct RestoreAutomatic {
        AdvancedFanAutomaticRestoreReason reason = AdvancedFanAutomaticRestoreReason::userStopped;
        bool operator==(const RestoreAutomatic&) const = default;
    };

    std::variant<BeginBoost, RenewLease, RestoreAutomatic> value;

    bool isRestore() const { return std::holds_alternative<RestoreAutomatic>(value); }
    // The session a begin or renew names.
    std::optional<QUuid> sessionID() const;
    bool operator==(const AdvancedFanHelperCommand&) const = default;
};

struct AdvancedFanHelperEnvelope {
    quint16 protocolVersion = 2;
    QUuid requestID;
    AdvancedFanHelperCommand command;
    bool operator==(const AdvancedFanHelperEnvelope&) const = default;
};

// `boosting` with its session, or `automatic`.
struct AdvancedFanHelperReportedState {
    bool boosting = false;
    std::optional<QUuid> sessionID;

    static AdvancedFanHelperReportedState automatic() { return {}; }
    static AdvancedFanHelperReportedState boostingSession(QUuid id) { return {true, id}; }
    bool operator==(const AdvancedFanHelperReportedState&) const = default;
};

struct AdvancedFanHelperAcknowledgement {
    quint16 protocolVersion = 0;
    QUuid requestID;
    AdvancedFanHelperReportedState state;
    bool operator==(const AdvancedFanHelperAcknowledgement&) const = default;
};

// The helper's answer codes: 0 success; 1 protocol version not supported; 2 malformed request; 3 caller
// not authorised (or not the session's owner); 4 no such session; 5 safety conditions not met (the fan
// interface has no firmware safety net, or a duration is out of bounds); 6 another caller's boost is
// active; 7 the fan hardware did not take the command.
namespace AdvancedFanHelperResultCode {
inline constexpr int success = 0;
inline constexpr int unsupportedVersion = 1;
inline constexpr int malformedRequest = 2;
inline constexpr int callerRejected = 3;
inline constexpr int unknownSession = 4;
inline constexpr int safetyConditionsNotMet = 5;
inline constexpr int busy = 6;
inline constexpr int hardwareFailure = 7;
} // namespace AdvancedFanHelperResultCode

// The helper's service status: a result code and the reported state (1 boosting, 0 automatic).
struct AdvancedFanHelperServiceStatus {
    int result = 0;
    int state = 0;
    bool operator==(const AdvancedFanHelperServiceStatus&) const = default;
};

// A fan as the helper reports it.
struct AdvancedFanTelemetryReading {
    int index = 0;
    double actualRPM = 0;
    std::optional<double> targetRPM;
    std::optional<double> minimumRPM;
    std::optional<double> maximumRPM;
    bool isManual = false;
    bool operator==(const AdvancedFanTelemetryReading&) const = default;
};

enum class AdvancedFanHelperTransportError {
    notInstalled,
    connectionInterrupted,
    callerRejected,
    helperRejectedRequest,
    hardwareFailure,
};

template <> struct EnumTraits<AdvancedFanHelperTransportError> {
    static constexpr std::pair<AdvancedFanHelperTransportError, std::string_view> cases[] = {
        {AdvancedFanHelperTransportError::notInstalled, "notInstalled"},
        {AdvancedFanHelperTransportError::connectionInterrupted, "connectionInterrupted"},
        {AdvancedFanHelperTransportError::callerRejected, "callerRejected"},
        {AdvancedFanHelperTransportError::helperRejectedRequest, "helperRejectedRequest"},
        {AdvancedFanHelperTransportError::hardwareFailure, "hardwareFailure"},
    };
};

// What a transport throws.
struct AdvancedFanHelperTransportFailure : std::exception {
    explicit AdvancedFanHelperTransportFailure(AdvancedFanHelperTransportError e) : error(e) {}
    const char* what() const noexcept override { return "fan helper transport failure"; }
    AdvancedFanHelperTransportError error;
};

enum class AdvancedFanHelperRegistrationStatus { notIncluded, notRegistered, requiresApproval, enabled };

template <> struct EnumTraits<AdvancedFanHelperRegistrationStatus> {
    static constexpr std::pair<AdvancedFanHelperRegistrationStatus, std::string_view> cases[] = {
        {AdvancedFanHelperRegistrationStatus::notIncluded, "notIncluded"},
        {AdvancedFanHelperRegistrationStatus::notRegistered, "notRegistered"},
        {AdvancedFanHelperRegistrationStatus::requiresApproval, "requiresApproval"},
        {AdvancedFanHelperRegistrationStatus::enabled, "enabled"},
    };
};

enum class AdvancedFanHelperTrust { unavailable, rejected, authenticated };

// The six messages on the wire. Every request carries the protocol version and a request id; replies
// repeat both. Profiles travel as 1 (balanced) and 2 (maximumSafe), restore reasons as their position
// counted from 1, the reported state as 1 (boosting) or 0 (automatic).
namespace AdvancedFanHelperWire {

inline constexpr quint16 protocolVersion = 2;
// A line longer than this is malformed.
inline constexpr qsizetype maximumMessageBytes = 4096;

enum class Method { beginBoost, renewLease, restoreAutomatic, serviceStatus, fanCount, fanReading };

struct Request {
    Method method = Method::serviceStatus;
    quint16 protocolVersion = 0;
    QUuid requestID;
    std::optional<QUuid> sessionID;
    std::optional<int> profile;
    std::optional<double> maximumDuration;
    std::optional<double> leaseDuration;
    std::optional<int> reason;
    std::optional<int> fanIndex;
    bool operator==(const Request&) const = default;
};

struct Reply {
    quint16 protocolVersion = 0;
    QUuid requestID;
    int result = 0;
    std::optional<int> state;
    std::optional<QUuid> sessionID;
    std::optional<int> count;
    std::optional<double> actual;
    std::optional<double> target;
    std::optional<double> minimum;
    std::optional<double> maximum;
    std::optional<bool> manual;
    bool operator==(const Reply&) const = default;
};

int profileValue(AdvancedFanBoostProfile profile);
std::optional<AdvancedFanBoostProfile> profileFromValue(int value);
int reasonValue(AdvancedFanAutomaticRestoreReason reason);
std::optional<AdvancedFanAutomaticRestoreReason> reasonFromValue(int value);

// The request that carries a command (the session id of a restore is always absent).
Request request(const AdvancedFanHelperEnvelope& envelope);
Request statusRequest(QUuid requestID);
Request fanCountRequest(QUuid requestID);
Request fanReadingRequest(QUuid requestID, int fanIndex);

// One line, newline included.
QByteArray encode(const Request& request);
QByteArray encode(const Reply& reply);
// Absent for anything that is not one well-formed message (unknown method, wrong types, bad UUIDs).
std::optional<Request> decodeRequest(QByteArrayView line);
std::optional<Reply> decodeReply(QByteArrayView line);

// The error a failed command reply maps to, by its result code.
AdvancedFanHelperTransportError errorForResultCode(int result);

// A command reply (begin, renew, restore) as an acknowledgement; throws AdvancedFanHelperTransportFailure.
// Version and request id must be the request's; begin and renew succeed with code 0, state boosting and a
// session id; restore with code 0 and state automatic.
AdvancedFanHelperAcknowledgement validateCommandReply(const Request& sent, const Reply& reply);
// A status reply: version 2 and the request's id, else callerRejected.
AdvancedFanHelperServiceStatus validateStatusReply(const Request& sent, const Reply& reply);
// Count and reading replies: version, id and code 0; a reading needs finite speeds. Throws like above.
int validateFanCountReply(const Request& sent, const Reply& reply);
AdvancedFanTelemetryReading validateFanReadingReply(const Request& sent, const Reply& reply);

} // namespace AdvancedFanHelperWire

} // namespace kestrum
