#pragma once

#include "FullSystemScanEvidence.h"
#include "monitor/OperationContext.h"

#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

// The checks the full scan chains. Each throws KestrumError when its check fails (the scan records the
// component as failed and goes on) and CancellationError when stopped (the scan ends).
class FullSystemScanComponentRunning {
public:
    virtual ~FullSystemScanComponentRunning() = default;

    // Absent when the profile cannot be read here.
    virtual QCoro::Task<std::optional<HardwareProfile>> discoverHardware(std::stop_token stop) = 0;
    virtual std::vector<HardwareRecommendation> hardwareRecommendations(const SystemSnapshot& snapshot) = 0;
    virtual HealthAssessment assess(const SystemSnapshot& snapshot) = 0;
    virtual QCoro::Task<HealthTestResult> runQuickHealthTest(OperationContext& context, std::stop_token stop,
                                                             ProgressReporter report) = 0;
    virtual QCoro::Task<DeepHealthTestResult>
    runDeepHealthTest(OperationContext& context, std::stop_token stop, ProgressReporter report) = 0;
    virtual QCoro::Task<NetworkQualityResult>
    runNetworkQualityTest(OperationContext& context, std::stop_token stop, ProgressReporter report) = 0;
    virtual QCoro::Task<NetworkSpeedTestResult>
    runInternetSpeedTest(OperationContext& context, std::stop_token stop, ProgressReporter report) = 0;
    // Whether an on-device explainer can be asked now.
    virtual bool isExplainerAvailable() const = 0;
    virtual QCoro::Task<QString> explain(const FullSystemScanEvidence& evidence, std::stop_token stop) = 0;
};

} // namespace kestrum
