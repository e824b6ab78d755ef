#pragma once

#include "HealthTestDependencies.h"
#include "monitor/OperationContext.h"

namespace kestrum {

// The deep health test as a user-started operation: sustained processor and graphics rounds, a memory
// copy, a 256 MiB storage stream and the cooling observation, then the scored result with findings.
class DeepHealthTestOperation {
public:
    static constexpr uint64_t kRequiredFreeBytes = 1'342'177'280; // 1.25 GiB

    static OperationWork work(HealthTestDependencies dependencies);
    // The last start check, on the current sample: a readable disk with enough free space. Empty when met.
    static QString storagePrecondition(const SystemSnapshot& snapshot);
    static OperationProgress progress(const DeepHealthTestProgress& progress, double elapsedSeconds);
};

} // namespace kestrum
