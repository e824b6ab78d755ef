#include "OpenCLGPUComputeWorkload.h"
#include "TestSupport.h"
#include "foundation/KestrumError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

// The real OpenCL path over the portable CPU implementation (pocl), with the ICD loader pointed at pocl
// alone so that a graphics driver on the developer's machine cannot change the outcome.
class OpenCLOverPocl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_vendors = std::make_unique<QTemporaryDir>();
        s_cache = std::make_unique<QTemporaryDir>();
        const QString icd = QStringLiteral("/etc/OpenCL/vendors/pocl.icd");
        s_available = QFile::exists(icd) && QFile::copy(icd, s_vendors->path() + QStringLiteral("/pocl.icd"));
        qputenv("OCL_ICD_VENDORS", QFile::encodeName(s_vendors->path()));
        qputenv("POCL_CACHE_DIR", QFile::encodeName(s_cache->path()));
    }
    static void TearDownTestSuite() {
        s_vendors.reset();
        s_cache.reset();
    }
    void SetUp() override {
        if (!s_available)
            GTEST_SKIP()
                << "pocl is not installed (Debian pocl-opencl-icd); the OpenCL path is not exercised";
    }

    static OpenCLGPUComputeWorkload::Options smallRounds(bool admitCPUDevice) {
        OpenCLGPUComputeWorkload::Options options;
        options.admitCPUDevice = admitCPUDevice;
        options.warmupDispatches = 1;
        options.dispatchesPerRound = 2;
        options.elementCount = 1 << 14;
        options.minimumRounds = 5;
        return options;
    }

    static inline std::unique_ptr<QTemporaryDir> s_vendors;
    static inline std::unique_ptr<QTemporaryDir> s_cache;
    static inline bool s_available = false;
};

} // namespace

TEST_F(OpenCLOverPocl, ProcessorDeviceIsNeverCountedAsAGraphicsProcessor) {
    OpenCLGPUComputeWorkload workload(smallRounds(false));
    const GPUThroughput result = workload.measure(0, {});
    EXPECT_EQ(result.operationsPerSecond, std::nullopt);
    EXPECT_EQ(result.unavailableReason,
              QStringLiteral("OpenCL sürücüleri bir grafik işlemcisi sunmadığı için grafik hesaplama testi "
                             "çalıştırılamadı."));
    EXPECT_EQ(workload.deviceName(), std::nullopt);
}

TEST_F(OpenCLOverPocl, KernelRunsAndComputesTheWorkloadArithmetic) {
    OpenCLGPUComputeWorkload workload(smallRounds(true));
    // measure() compares the device's buffer with the same arithmetic done here and gives no rate on a
    // mismatch, so a rate means the kernel did the work it was counted for.
    const GPUThroughput first = workload.measure(0, {});
    ASSERT_TRUE(first.operationsPerSecond) << first.unavailableReason.value_or(QString()).toStdString();
    EXPECT_GT(*first.operationsPerSecond, 0);
    EXPECT_EQ(first.unavailableReason, std::nullopt);
    EXPECT_TRUE(workload.deviceName().has_value());

    // The built kernel is kept: a second measurement runs again from zeros.
    const GPUThroughput second = workload.measure(0, {});
    EXPECT_TRUE(second.operationsPerSecond);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(workload.measure(10, stop.get_token()), CancellationError);
}

TEST(OpenCLGPUComputeWorkload, MissingLoaderGivesNoRateWithTheReason) {
    OpenCLGPUComputeWorkload::Options options;
    options.libraryName = QStringLiteral("libOpenCL-that-does-not-exist.so.1");
    options.admitCPUDevice = true;
    OpenCLGPUComputeWorkload workload(options);
    for (int attempt = 0; attempt < 2; ++attempt) { // remembered, not retried
        const GPUThroughput result = workload.measure(0, {});
        EXPECT_EQ(result.operationsPerSecond, std::nullopt);
        EXPECT_EQ(result.unavailableReason,
                  QStringLiteral(
                      "OpenCL sürücüsü (ICD) kurulu olmadığı için grafik hesaplama testi çalıştırılamadı."));
    }
}
