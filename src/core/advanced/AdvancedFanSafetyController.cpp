#include "AdvancedFanSafetyController.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

const std::vector<AdvancedFanCompatibilityRecord>& AdvancedFanCompatibilityCatalog::releaseRecords() {
    static const std::vector<AdvancedFanCompatibilityRecord> records = {
        {{QStringLiteral("thinkpad"),
          {5, 6},
          {{5, 4}, {6, 17}},
          QStringLiteral("thinkpad-acpi-fan-control-watchdog-t480-linux-6.1")},
         true},
        {{QStringLiteral("applesmc"),
          {5, 6},
          {{5, 4}, {6, 17}},
          QStringLiteral("applesmc-fan-manual-restore-macbookpro11-1-linux-6.1")},
         true},
    };
    return records;
}

AdvancedFanSafetyController::AdvancedFanSafetyController(std::vector<AdvancedFanCompatibilityRecord> records)
    : m_records(std::move(records)) {}

AdvancedFanSafetyDecision AdvancedFanSafetyController::requestBoost(const AdvancedFanBoostRequest& request,
                                                                    const AdvancedFanSafetyContext& context,
                                                                    double now) {
    using Refusal = AdvancedFanRequestRefusal;
    const auto refuse = [](Refusal refusal) {
        return AdvancedFanSafetyDecision{AdvancedFanSafetyDecision::Refused{refusal}};
    };
    if (m_activeSession)
        return refuse(Refusal::alreadyRunning);
    if (context.distributionChannel != AppDistributionChannel::directAdvanced)
        return refuse(Refusal::wrongDistribution);
    const bool released =
        std::any_of(m_records.begin(), m_records.end(), [&](const AdvancedFanCompatibilityRecord& r) {
            return r.key.modelIdentifier == context.modelIdentifier &&
                   r.key.kernelMajorVersions.contains(context.kernelMajorVersion) &&
                   !r.key.kernelSeries.isEmpty() && r.key.kernelSeries.contains(context.kernelSeries) &&
                   r.isControlEnabledInCurrentBuild;
        });
    if (!released)
        return refuse(Refusal::unsupportedHardware);
    if (context.helperTrust == AdvancedFanHelperTrust::unavailable)
        return refuse(Refusal::helperUnavailable);
    if (context.helperTrust == AdvancedFanHelperTrust::rejected)
        return refuse(Refusal::helperRejected);
    if (!context.requiredSensorsAvailable)
        return refuse(Refusal::missingSafetySensors);
    if (context.thermalCondition != AdvancedFanThermalCondition::nominal &&
        context.thermalCondition != AdvancedFanThermalCondition::fair)
        return refuse(Refusal::unsafeThermalState);
    // Written so that NaN fails.
    if (!(request.duration >= minimumDuration && request.duration <= maximumDuration))
        return refuse(Refusal::invalidDuration);

    m_activeSession =
        AdvancedFanBoostSession{request.sessionID, request.profile, now + request.duration, now};
    return {AdvancedFanSafetyDecision::Execute{{AdvancedFanHelperCommand::BeginBoost{
        request.sessionID, request.profile, request.duration, leaseDuration}}}};
}

AdvancedFanSafetyDecision
AdvancedFanSafetyController::receiveHeartbeat(const QUuid& sessionID, double at,
                                              AdvancedFanThermalCondition thermalCondition) {
    using Reason = AdvancedFanAutomaticRestoreReason;
    if (!m_activeSession)
        return {AdvancedFanSafetyDecision::NoChange{}};
    if (sessionID != m_activeSession->sessionID)
        return restore(Reason::invalidSession);
    if (thermalCondition != AdvancedFanThermalCondition::nominal &&
        thermalCondition != AdvancedFanThermalCondition::fair)
        return restore(Reason::thermalSafetyStop);
    if (!(at < m_activeSession->deadline))
        return restore(Reason::durationExpired);
    if (!(at - m_activeSession->lastHeartbeatAt <= heartbeatTolerance))
        return restore(Reason::heartbeatExpired);
    m_activeSession->lastHeartbeatAt = at;
    return {AdvancedFanSafetyDecision::Execute{{AdvancedFanHelperCommand::RenewLease{
        sessionID, std::min(m_activeSession->deadline - at, leaseDuration)}}}};
}

AdvancedFanSafetyDecision AdvancedFanSafetyController::stop(AdvancedFanAutomaticRestoreReason reason) {
    if (!m_activeSession)
        return {AdvancedFanSafetyDecision::NoChange{}};
    return restore(reason);
}

AdvancedFanSafetyDecision AdvancedFanSafetyController::restore(AdvancedFanAutomaticRestoreReason reason) {
    m_activeSession.reset();
    return {AdvancedFanSafetyDecision::Execute{{AdvancedFanHelperCommand::RestoreAutomatic{reason}}}};
}

} // namespace kestrum
