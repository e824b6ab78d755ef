#pragma once

#include "foundation/EnumTraits.h"

#include <QString>

namespace kestrum {

// The user-started operations the store frames: one at a time where they conflict, each with a running
// flag, a progress value, an error text and cancellation. What sets them apart is data, in
// OperationDescription.
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

} // namespace kestrum
