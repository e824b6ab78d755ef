#pragma once

#include "healthtests/HealthTestWorkloadRunning.h"

#include <memory>

namespace kestrum {

// The health tests' graphics compute workload over OpenCL. The ICD loader (libOpenCL.so.1) is opened at
// run time, never linked, and the first GPU-type device of the first platform that has one is used; the
// kernel is built from source. No loader, no platform or no GPU device: no rate, with the reason.
// Serial: used only from the workload runner's thread.
class OpenCLGPUComputeWorkload : public GPUComputeWorkloadRunning {
public:
    struct Options {
        QString libraryName = QStringLiteral("libOpenCL.so.1");
        // Tests only: a CPU device (the portable pocl implementation) stands in when no GPU exists. The
        // application never counts a CPU device as a graphics processor.
        bool admitCPUDevice = false;
        int warmupDispatches = 8;
        int dispatchesPerRound = 160;
        size_t elementCount = 1'048'576; // 4 MiB of floats
        int minimumRounds = 5;
    };

    explicit OpenCLGPUComputeWorkload(Options options);
    OpenCLGPUComputeWorkload();
    ~OpenCLGPUComputeWorkload() override;

    GPUThroughput measure(double minimumDuration, std::stop_token stop) override;

    // The device the rates came from, once one was opened.
    std::optional<QString> deviceName() const;

    // The kernel's arithmetic on one element, `dispatches` times, as the device should compute it.
    static float expectedValue(size_t index, int dispatches, float start = 0.0f);

private:
    struct Session;
    Options m_options;
    std::unique_ptr<Session> m_session;
    std::optional<QString> m_unavailableReason; // remembered: a missing driver does not appear mid-run
};

} // namespace kestrum
