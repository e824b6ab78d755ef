#pragma once

#include "UserOperation.h"
#include "measurement/ThermalLevel.h"

#include <optional>
#include <span>
#include <vector>

namespace kestrum {

// The checks an operation passes before it starts, in the order its own rules give them; the first that
// fails refuses the start with its text.
enum class StartCheck {
    conflicts,           // the conflict table below, then `anyOtherRunningMessage`
    cooldown,            // intensive operations during the cooling-down period
    measurementRequired, // at least one sample taken
    lowBattery,          // below 20 % and not on the adapter, unless the user allowed it
    thermalGate,         // serious, critical or unreadable thermal state
    network,             // the current snapshot must be connected
};

// What sets one operation apart from the others: read by the frame, never switched over elsewhere.
struct OperationDescription {
    UserOperation operation;
    bool isHeavy = false;                          // loads the machine; heavy operations exclude each other
    bool isIntensive = false;                      // refused during the cooling-down period
    std::optional<double> cooldownEstimateSeconds; // reserves a cooldown when it starts
    std::vector<StartCheck> checks;
    // Refuses while any other operation runs (after the specific pairs of the conflict table).
    const char* anyOtherRunningMessage = nullptr;
    const char* lowBatteryMessage = nullptr;
    // The operation's own text for a thermal state it must not start in (serious, critical, unavailable).
    QString (*thermalRefusal)(ThermalLevel level) = nullptr;
    const char* cancellationMessage = nullptr;

    bool checksLowBattery() const;
    bool isThermalGated() const;
    static const OperationDescription& of(UserOperation operation);
};

// One refusal: `started` may not start while `running` runs.
struct OperationConflict {
    UserOperation started;
    UserOperation running;
    const char* message;
};
// In the order each operation checks them.
std::span<const OperationConflict> operationConflicts();

// "Mac’in soğuması için yaklaşık N dakika sonra yeniden deneyin."
QString cooldownRefusal(double remainingSeconds);
// The lower-case level title used in thermal refusals ("ciddi", "kritik", …).
QString thermalLevelTitle(ThermalLevel level);

} // namespace kestrum
