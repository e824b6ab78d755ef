#include "AdvancedFanControlCoordinator.h"

#include "AdvancedLogging.h"
#include "foundation/Uuid.h"

#include <QtConcurrent/QtConcurrentRun>

namespace kestrum {

AdvancedFanControlCoordinator::AdvancedFanControlCoordinator(
    std::shared_ptr<AdvancedFanHelperTransport> transport,
    std::vector<AdvancedFanCompatibilityRecord> records, RequestIDProvider requestIDs)
    : m_controller(std::move(records)), m_transport(std::move(transport)),
      m_requestIDs(requestIDs ? std::move(requestIDs) : RequestIDProvider([] { return newUuid(); })) {
    m_executor.setMaxThreadCount(1);
    m_executor.setExpiryTimeout(-1);
}

AdvancedFanControlCoordinator::~AdvancedFanControlCoordinator() {
    m_executor.waitForDone();
}

QFuture<AdvancedFanControlResult>
AdvancedFanControlCoordinator::requestBoost(const AdvancedFanBoostRequest& request,
                                            const AdvancedFanSafetyContext& context, double now) {
    return QtConcurrent::run(&m_executor, [this, request, context, now] {
        return execute(m_controller.requestBoost(request, context, now));
    });
}

QFuture<AdvancedFanControlResult>
AdvancedFanControlCoordinator::receiveHeartbeat(const QUuid& sessionID, double at,
                                                AdvancedFanThermalCondition thermal) {
    return QtConcurrent::run(&m_executor, [this, sessionID, at, thermal] {
        return execute(m_controller.receiveHeartbeat(sessionID, at, thermal));
    });
}

QFuture<AdvancedFanControlResult>
AdvancedFanControlCoordinator::stop(AdvancedFanAutomaticRestoreReason reason) {
    return QtConcurrent::run(&m_executor, [this, reason] { return execute(m_controller.stop(reason)); });
}

QFuture<std::optional<QUuid>> AdvancedFanControlCoordinator::activeSessionID() {
    return QtConcurrent::run(&m_executor, [this]() -> std::optional<QUuid> {
        const auto& session = m_controller.activeSession();
        return session ? std::optional(session->sessionID) : std::nullopt;
    });
}

namespace {

template <class T, class Call> AdvancedFanHelperAnswer<T> ask(Call&& call) {
    try {
        return {call(), std::nullopt};
    } catch (const AdvancedFanHelperTransportFailure& failure) {
        return {std::nullopt, failure.error};
    } catch (...) {
        return {std::nullopt, AdvancedFanHelperTransportError::connectionInterrupted};
    }
}

} // namespace

QFuture<AdvancedFanHelperAnswer<AdvancedFanHelperServiceStatus>>
AdvancedFanControlCoordinator::serviceStatus() {
    return QtConcurrent::run(&m_executor, [this] {
        return ask<AdvancedFanHelperServiceStatus>([this] { return m_transport->serviceStatus(); });
    });
}

QFuture<AdvancedFanHelperAnswer<std::vector<AdvancedFanTelemetryReading>>>
AdvancedFanControlCoordinator::fanReadings() {
    return QtConcurrent::run(&m_executor, [this] {
        return ask<std::vector<AdvancedFanTelemetryReading>>([this] { return m_transport->fanReadings(); });
    });
}

QFuture<AdvancedFanControlResult>
AdvancedFanControlCoordinator::restoreAutomaticNow(AdvancedFanAutomaticRestoreReason reason) {
    return QtConcurrent::run(&m_executor, [this, reason] {
        m_controller.stop(reason); // a session of our own ends here too
        return execute(AdvancedFanHelperCommand{AdvancedFanHelperCommand::RestoreAutomatic{reason}});
    });
}

bool AdvancedFanControlCoordinator::acknowledgementMatches(
    const AdvancedFanHelperAcknowledgement& acknowledgement, const AdvancedFanHelperEnvelope& envelope) {
    if (acknowledgement.protocolVersion != AdvancedFanHelperWire::protocolVersion ||
        acknowledgement.requestID != envelope.requestID)
        return false;
    if (envelope.command.isRestore())
        return !acknowledgement.state.boosting;
    return acknowledgement.state.boosting && acknowledgement.state.sessionID == envelope.command.sessionID();
}

AdvancedFanHelperEnvelope AdvancedFanControlCoordinator::envelope(AdvancedFanHelperCommand command) {
    return AdvancedFanHelperEnvelope{AdvancedFanHelperWire::protocolVersion, m_requestIDs(),
                                     std::move(command)};
}

AdvancedFanControlResult AdvancedFanControlCoordinator::execute(const AdvancedFanSafetyDecision& decision) {
    if (const auto* refused = std::get_if<AdvancedFanSafetyDecision::Refused>(&decision.value))
        return AdvancedFanControlResult::refused(refused->refusal);
    if (std::holds_alternative<AdvancedFanSafetyDecision::NoChange>(decision.value))
        return AdvancedFanControlResult::noChange();
    return execute(std::get<AdvancedFanSafetyDecision::Execute>(decision.value).command);
}

AdvancedFanControlResult AdvancedFanControlCoordinator::execute(const AdvancedFanHelperCommand& command) {
    const AdvancedFanHelperEnvelope sent = envelope(command);
    std::optional<AdvancedFanHelperTransportError> failure;
    std::optional<AdvancedFanHelperAcknowledgement> acknowledgement;
    try {
        acknowledgement = m_transport->execute(sent);
    } catch (const AdvancedFanHelperTransportFailure& error) {
        failure = error.error;
    } catch (...) {
        failure = AdvancedFanHelperTransportError::connectionInterrupted;
    }
    if (failure) {
        qCWarning(lcAdvanced) << "fan helper command failed:" << rawValue(*failure);
        if (!command.isRestore())
            attemptEmergencyRestore(AdvancedFanAutomaticRestoreReason::communicationLost);
        return AdvancedFanControlResult::transportFailure(*failure);
    }
    if (!acknowledgementMatches(*acknowledgement, sent)) {
        qCWarning(lcAdvanced) << "fan helper acknowledgement does not match its request";
        if (!command.isRestore())
            attemptEmergencyRestore(AdvancedFanAutomaticRestoreReason::invalidSession);
        return AdvancedFanControlResult::protocolViolation();
    }
    if (const auto* begin = std::get_if<AdvancedFanHelperCommand::BeginBoost>(&command.value))
        return AdvancedFanControlResult::boostStarted(begin->sessionID);
    if (const auto* renew = std::get_if<AdvancedFanHelperCommand::RenewLease>(&command.value))
        return AdvancedFanControlResult::leaseRenewed(renew->sessionID);
    return AdvancedFanControlResult::automaticRestored(
        std::get<AdvancedFanHelperCommand::RestoreAutomatic>(command.value).reason);
}

void AdvancedFanControlCoordinator::attemptEmergencyRestore(AdvancedFanAutomaticRestoreReason reason) {
    const AdvancedFanSafetyDecision decision = m_controller.stop(reason);
    const auto* execute = std::get_if<AdvancedFanSafetyDecision::Execute>(&decision.value);
    if (!execute)
        return;
    try {
        m_transport->execute(envelope(execute->command)); // sent once; whatever comes back is ignored
    } catch (...) {
    }
}

} // namespace kestrum
