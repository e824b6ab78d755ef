#pragma once

#include "OperationDescription.h"
#include "UserOperation.h"
#include "analytics/ProductAnalyticsRecorder.h"

#include <QString>
#include <exception>
#include <optional>
#include <set>

namespace kestrum {

enum class AnalyticsTrigger;

// The usage events of the monitoring store: the first sample of a run, and the start, refusal and end of
// every user-started test the analytics catalogue knows (the deep health test is not among them).
// Activation steps count once per run. Main thread.
class OperationAnalytics {
public:
    explicit OperationAnalytics(ProductAnalyticsRecorder recorder = {}) : m_recorder(std::move(recorder)) {}

    void firstSnapshotReady(AnalyticsTrigger trigger);
    void accepted(UserOperation operation, const QString& entryPoint);
    // `check`: the start check that refused; absent when the operation already ran or its own last check
    // refused.
    void blocked(UserOperation operation, std::optional<StartCheck> check, bool alreadyRunning,
                 ThermalLevel thermal);
    void completed(UserOperation operation);
    void cancelled(UserOperation operation, ProductAnalyticsTestStage stage);
    void failed(UserOperation operation, std::exception_ptr error);

    static std::optional<ProductAnalyticsTestKind> testKind(UserOperation operation);
    static ProductAnalyticsBlockReason blockReason(std::optional<StartCheck> check, bool alreadyRunning,
                                                   ThermalLevel thermal);
    // The category of a failure, from the error's code; never its text.
    static ProductAnalyticsErrorCategory errorCategory(std::exception_ptr error);

private:
    void stepCompleted(ProductAnalyticsActivationStep step);

    ProductAnalyticsRecorder m_recorder;
    std::set<ProductAnalyticsActivationStep> m_completedSteps;
};

} // namespace kestrum
