#pragma once

#include "HealthTestDependencies.h"
#include "monitor/OperationContext.h"

namespace kestrum {

// The quick health test as a user-started operation: processor pass, graphics compute, storage write
// and read-back, second processor pass, a fresh sample before each, then the scored result.
class QuickHealthTestOperation {
public:
    // About 20 seconds with the application's settings.
    static constexpr double kEstimatedSeconds = 20;

    static OperationWork work(HealthTestDependencies dependencies);
    static OperationProgress progress(const HealthTestProgress& progress, double elapsedSeconds);
};

} // namespace kestrum
