#pragma once

// The rules that decide whether a fan boost may start, whether a heartbeat renews it and when the fans
// go back to automatic management. Pure: no I/O, no clock of its own.

#include "AdvancedFanHelperProtocol.h"
#include "AdvancedTelemetryCatalogs.h"

#include <vector>

namespace kestrum {

enum class AppDistributionChannel { appStore, directAdvanced };

enum class AdvancedFanThermalCondition { nominal, fair, serious, critical, unknown };

struct AdvancedFanBoostRequest {
    QUuid sessionID;
    AdvancedFanBoostProfile profile = AdvancedFanBoostProfile::balanced;
    double duration = 0; // seconds
};

struct AdvancedFanSafetyContext {
    AppDistributionChannel distributionChannel = AppDistributionChannel::directAdvanced;
    QString modelIdentifier; // the fan interface's driver
    int kernelMajorVersion = 0;
    KernelSeries kernelSeries;
    AdvancedFanHelperTrust helperTrust = AdvancedFanHelperTrust::unavailable;
    bool requiredSensorsAvailable = false;
    AdvancedFanThermalCondition thermalCondition = AdvancedFanThermalCondition::unknown;
};

// Times are seconds on the monotonic clock.
struct AdvancedFanBoostSession {
    QUuid sessionID;
    AdvancedFanBoostProfile profile = AdvancedFanBoostProfile::balanced;
    double deadline = 0;
    double lastHeartbeatAt = 0;
    bool operator==(const AdvancedFanBoostSession&) const = default;
};

// A release record: the fan interface whose control this build allows.
struct AdvancedFanCompatibilityRecord {
    AdvancedTelemetryRecordKey key;
    bool isControlEnabledInCurrentBuild = false;
    bool operator==(const AdvancedFanCompatibilityRecord&) const = default;
};

struct AdvancedFanCompatibilityCatalog {
    // Only fan interfaces with a safety net outside this application: a ThinkPad fan under thinkpad_acpi
    // (the firmware watchdog returns it to automatic) and Intel-Mac applesmc fans (the helper's own
    // lease timer, which also runs when the application is killed).
    static const std::vector<AdvancedFanCompatibilityRecord>& releaseRecords();
};

enum class AdvancedFanRequestRefusal {
    wrongDistribution,
    unsupportedHardware,
    helperUnavailable,
    helperRejected,
    missingSafetySensors,
    unsafeThermalState,
    invalidDuration,
    alreadyRunning,
};

template <> struct EnumTraits<AdvancedFanRequestRefusal> {
    static constexpr std::pair<AdvancedFanRequestRefusal, std::string_view> cases[] = {
        {AdvancedFanRequestRefusal::wrongDistribution, "wrongDistribution"},
        {AdvancedFanRequestRefusal::unsupportedHardware, "unsupportedHardware"},
        {AdvancedFanRequestRefusal::helperUnavailable, "helperUnavailable"},
        {AdvancedFanRequestRefusal::helperRejected, "helperRejected"},
        {AdvancedFanRequestRefusal::missingSafetySensors, "missingSafetySensors"},
        {AdvancedFanRequestRefusal::unsafeThermalState, "unsafeThermalState"},
        {AdvancedFanRequestRefusal::invalidDuration, "invalidDuration"},
        {AdvancedFanRequestRefusal::alreadyRunning, "alreadyRunning"},
    };
};

struct AdvancedFanSafetyDecision {
    struct Execute {
        AdvancedFanHelperCommand command;
        bool operator==(const Execute&) const = default;
    };
    struct Refused {
        AdvancedFanRequestRefusal refusal;
        bool operator==(const Refused&) const = default;
    };
    struct NoChange {
        bool operator==(const NoChange&) const = default;
    };
    std::variant<Execute, Refused, NoChange> value;
    bool operator==(const AdvancedFanSafetyDecision&) const = default;
};

class AdvancedFanSafetyController {
public:
    static constexpr double minimumDuration = 30;
    static constexpr double maximumDuration = 900;
    static constexpr double leaseDuration = 5;
    static constexpr double heartbeatTolerance = 5;

    explicit AdvancedFanSafetyController(std::vector<AdvancedFanCompatibilityRecord> records = {});

    AdvancedFanSafetyDecision requestBoost(const AdvancedFanBoostRequest& request,
                                           const AdvancedFanSafetyContext& context, double now);
    AdvancedFanSafetyDecision receiveHeartbeat(const QUuid& sessionID, double at,
                                               AdvancedFanThermalCondition thermalCondition);
    AdvancedFanSafetyDecision stop(AdvancedFanAutomaticRestoreReason reason);

    const std::optional<AdvancedFanBoostSession>& activeSession() const { return m_activeSession; }
    const std::vector<AdvancedFanCompatibilityRecord>& compatibilityRecords() const { return m_records; }

private:
    AdvancedFanSafetyDecision restore(AdvancedFanAutomaticRestoreReason reason);

    std::optional<AdvancedFanBoostSession> m_activeSession;
    std::vector<AdvancedFanCompatibilityRecord> m_records;
};

} // namespace kestrum
