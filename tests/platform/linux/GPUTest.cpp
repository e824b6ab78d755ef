#include "DrmGPUStatsProvider.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kestrum;
using test::fixture;

namespace {
const QStringList kPciIds = {QStringLiteral("/nonexistent/pci.ids"), fixture(QStringLiteral("pci.ids"))};
}

TEST(DrmGPUStatsProvider, RecordedMachines) {
    struct Case {
        const char* machine;
        std::optional<QString> name;
        bool unified;
        std::optional<double> utilization;
        std::optional<uint64_t> allocated;
    } cases[] = {
        {"intel-laptop", QStringLiteral("Intel Corporation TigerLake-LP GT2 [Iris Xe Graphics]"), true,
         std::nullopt, std::nullopt},
        {"amd-desktop", QStringLiteral("AMD/ATI Navi 21 [Radeon RX 6800/6800 XT / 6900 XT]"), false, 0.37,
         2147483648ull},
        {"thinkpad-t480", QStringLiteral("Intel Corporation UHD Graphics 620"), true, std::nullopt,
         std::nullopt},
        {"dell-latitude", QStringLiteral("Intel Corporation UHD Graphics 620"), true, std::nullopt,
         std::nullopt},
        {"intel-mac", QStringLiteral("Intel Corporation Haswell-ULT Integrated Graphics Controller"), true,
         std::nullopt, std::nullopt},
        {"apple-silicon", QStringLiteral("Apple M1 GPU"), true, std::nullopt, std::nullopt},
        {"apple-silicon-mbp", QStringLiteral("Apple M1 GPU"), true, std::nullopt, std::nullopt},
        {"vm", std::nullopt, true, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        DrmGPUStatsProvider provider(fixture(QLatin1String(c.machine)) + QStringLiteral("/sys"), kPciIds);
        const GPUStats stats = provider.sample();
        EXPECT_EQ(stats.name, c.name) << c.machine;
        EXPECT_EQ(stats.hasUnifiedMemory, c.unified) << c.machine;
        EXPECT_EQ(stats.systemUtilizationFraction, c.utilization) << c.machine;
        EXPECT_EQ(stats.systemUtilizationAvailability.isAvailable(), c.utilization.has_value()) << c.machine;
        EXPECT_EQ(stats.currentMetalResourceBytes, c.allocated) << c.machine;
        if (!c.utilization) {
            EXPECT_FALSE(stats.systemUtilizationAvailability.reason.contains(QStringLiteral("macOS")))
                << "Linux-true reason";
        }
    }
}

TEST(DrmGPUStatsProvider, PciNamesAndFallbacks) {
    const QByteArray ids = test::readFile(fixture(QStringLiteral("pci.ids")));
    EXPECT_EQ(DrmGPUStatsProvider::pciName(ids, 0x10de, 0x2330),
              QStringLiteral("NVIDIA Corporation GH100 [H100 SXM5 80GB]"));
    // A subsystem line with the same digits must not be taken for the device.
    EXPECT_EQ(DrmGPUStatsProvider::pciName(ids, 0x1002, 0x0e3a), QStringLiteral("AMD/ATI (PCI 0e3a)"));
    EXPECT_FALSE(DrmGPUStatsProvider::pciName(ids, 0x1234, 0x0001));
    EXPECT_EQ(DrmGPUStatsProvider::appleGPUName(QStringLiteral("apple,agx-t6001")),
              QStringLiteral("Apple M1 Max GPU"));
    EXPECT_FALSE(DrmGPUStatsProvider::appleGPUName(QStringLiteral("qcom,adreno")));

    // Without any pci.ids the hexadecimal ids name the device.
    DrmGPUStatsProvider provider(fixture(QStringLiteral("amd-desktop")) + QStringLiteral("/sys"), {});
    EXPECT_EQ(provider.sample().name, QStringLiteral("PCI 1002:73bf"));
    EXPECT_EQ(provider.identity().pciBusId, QStringLiteral("0000:0b:00.0"));
}
