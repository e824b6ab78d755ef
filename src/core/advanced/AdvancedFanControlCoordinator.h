#pragma once

#include "AdvancedFanSafetyController.h"

#include <QFuture>
#include <QThreadPool>
#include <functional>
#include <memory>

namespace kestrum {

// The connection to the fan helper. Calls block and run on the coordinator's thread only; failures throw
// AdvancedFanHelperTransportFailure (anything else thrown counts as an interrupted connection).
class AdvancedFanHelperTransport {
public:
    virtual ~AdvancedFanHelperTransport() = default;
    virtual AdvancedFanHelperAcknowledgement execute(const AdvancedFanHelperEnvelope& envelope) = 0;
    virtual AdvancedFanHelperServiceStatus serviceStatus() = 0;
    virtual std::vector<AdvancedFanTelemetryReading> fanReadings() = 0;
};

struct AdvancedFanControlResult {
    enum class Kind {
        boostStarted,
        leaseRenewed,
        automaticRestored,
        refused,
        transportFailure,
        protocolViolation,
        noChange,
    };
    Kind kind = Kind::noChange;
    std::optional<QUuid> sessionID;                          // boostStarted, leaseRenewed
    std::optional<AdvancedFanAutomaticRestoreReason> reason; // automaticRestored
    std::optional<AdvancedFanRequestRefusal> refusal;        // refused
    std::optional<AdvancedFanHelperTransportError> error;    // transportFailure

    static AdvancedFanControlResult boostStarted(QUuid id) { return {Kind::boostStarted, id}; }
    static AdvancedFanControlResult leaseRenewed(QUuid id) { return {Kind::leaseRenewed, id}; }
    static AdvancedFanControlResult automaticRestored(AdvancedFanAutomaticRestoreReason r) {
        return {Kind::automaticRestored, std::nullopt, r};
    }
    static AdvancedFanControlResult refused(AdvancedFanRequestRefusal r) {
        return {Kind::refused, std::nullopt, std::nullopt, r};
    }
    static AdvancedFanControlResult transportFailure(AdvancedFanHelperTransportError e) {
        return {Kind::transportFailure, std::nullopt, std::nullopt, std::nullopt, e};
    }
    static AdvancedFanControlResult protocolViolation() { return {Kind::protocolViolation}; }
    static AdvancedFanControlResult noChange() { return {Kind::noChange}; }
    bool operator==(const AdvancedFanControlResult&) const = default;
};

// A helper query's answer or the transport error it ended with.
template <class T> struct AdvancedFanHelperAnswer {
    std::optional<T> value;
    std::optional<AdvancedFanHelperTransportError> error;
};

// Owns the safety controller and the transport on a thread of its own: one operation (decision and
// send) at a time. On any doubt about a command other than a restore it asks the helper once more to
// restore automatic control.
class AdvancedFanControlCoordinator {
public:
    using RequestIDProvider = std::function<QUuid()>;

    AdvancedFanControlCoordinator(std::shared_ptr<AdvancedFanHelperTransport> transport,
                                  std::vector<AdvancedFanCompatibilityRecord> records,
                                  RequestIDProvider requestIDs = {});
    ~AdvancedFanControlCoordinator();
    AdvancedFanControlCoordinator(const AdvancedFanControlCoordinator&) = delete;
    AdvancedFanControlCoordinator& operator=(const AdvancedFanControlCoordinator&) = delete;

    QFuture<AdvancedFanControlResult> requestBoost(const AdvancedFanBoostRequest& request,
                                                   const AdvancedFanSafetyContext& context, double now);
    QFuture<AdvancedFanControlResult> receiveHeartbeat(const QUuid& sessionID, double at,
                                                       AdvancedFanThermalCondition thermalCondition);
    QFuture<AdvancedFanControlResult> stop(AdvancedFanAutomaticRestoreReason reason);
    QFuture<std::optional<QUuid>> activeSessionID();

    QFuture<AdvancedFanHelperAnswer<AdvancedFanHelperServiceStatus>> serviceStatus();
    QFuture<AdvancedFanHelperAnswer<std::vector<AdvancedFanTelemetryReading>>> fanReadings();
    // Restores automatic control whether or not this coordinator started the boost (another process's
    // boost of the same user, stopped from a terminal).
    QFuture<AdvancedFanControlResult> restoreAutomaticNow(AdvancedFanAutomaticRestoreReason reason);

    static bool acknowledgementMatches(const AdvancedFanHelperAcknowledgement& acknowledgement,
                                       const AdvancedFanHelperEnvelope& envelope);

private:
    AdvancedFanControlResult execute(const AdvancedFanSafetyDecision& decision);
    AdvancedFanControlResult execute(const AdvancedFanHelperCommand& command);
    void attemptEmergencyRestore(AdvancedFanAutomaticRestoreReason reason);
    AdvancedFanHelperEnvelope envelope(AdvancedFanHelperCommand command);

    AdvancedFanSafetyController m_controller;
    std::shared_ptr<AdvancedFanHelperTransport> m_transport;
    RequestIDProvider m_requestIDs;
    QThreadPool m_executor;
};

} // namespace kestrum
