#pragma once

#include "foundation/EnumTraits.h"

#include <QString>

namespace kestrum {

// The user-started operations the store frames: one at a time where they conflict, each with a running
// flag, a progress value, an error text and cancellation.
enum class UserOperation {
    networkQuality,
    networkSpeed,
    quickHealthTest,
    deepHealthTest,
    cpuBenchmark,
    fullSystemScan
};

template <> struct EnumTraits<UserOperation> {
    static constexpr std::pair<UserOperation, std::string_view> cases[] = {
        {UserOperation::networkQuality, "networkQuality"},
        {UserOperation::networkSpeed, "networkSpeed"},
        {UserOperation::quickHealthTest, "quickHealthTest"},
        {UserOperation::deepHealthTest, "deepHealthTest"},
        {UserOperation::cpuBenchmark, "cpuBenchmark"},
        {UserOperation::fullSystemScan, "fullSystemScan"},
    };
};

struct UserOperationTraits {
    bool needsNetwork = false;
    bool isIntensive = false;            // refused during the cooling-down period
    double cooldownEstimateSeconds = -1; // reserves a cooldown when it starts; negative: none
    bool checksLowBattery = false;
    QString cancellationMessage;

    static UserOperationTraits of(UserOperation operation);
};

} // namespace kestrum
