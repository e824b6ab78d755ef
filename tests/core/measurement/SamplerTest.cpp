#include "measurement/DefaultSystemMetricsSampler.h"
#include "measurement/MetricStatsProviders.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

using CallLog = std::shared_ptr<std::vector<std::string>>;

template <class Interface, class Value> class Recording : public Interface {
public:
    Recording(CallLog log, std::string name, Value value)
        : m_log(std::move(log)), m_name(std::move(name)), m_value(std::move(value)) {}
    Value sample() override {
        m_log->push_back(m_name);
        return m_value;
    }

private:
    CallLog m_log;
    std::string m_name;
    Value m_value;
};

struct SamplerRig {
    CallLog log = std::make_shared<std::vector<std::string>>();
    BatteryStats battery = BatteryStats::notPresent(MetricAvailability::available());
    GPUStats gpu{QStringLiteral("GPU"), true, std::nullopt, std::nullopt,
                 MetricAvailability::unavailable(QStringLiteral("x"))};
    SupplementalBatteryReading supplementalBattery;
    std::optional<double> supplementalGPU;

    DefaultSystemMetricsSampler make() {
        SamplerProviders p;
        p.cpu = std::make_unique<Recording<CPUStatsProviding, CPUStats>>(log, "cpu", CPUStats::empty());
        p.network = std::make_unique<Recording<NetworkStatsProviding, NetworkStats>>(
            log, "network", NetworkStats::disconnected());
        p.battery = std::make_unique<Recording<BatteryStatsProviding, BatteryStats>>(log, "battery", battery);
        p.advancedBatteryTelemetry =
            std::make_unique<Recording<AdvancedBatteryTelemetryProviding, SupplementalBatteryReading>>(
                log, "battery+", supplementalBattery);
        p.gpu = std::make_unique<Recording<GPUStatsProviding, GPUStats>>(log, "gpu", gpu);
        p.advancedGPUUtilization =
            std::make_unique<Recording<AdvancedGPUUtilizationProviding, std::optional<double>>>(
                log, "gpu+", supplementalGPU);
        p.memory = std::make_unique<Recording<MemoryStatsProviding, MemoryStats>>(log, "memory",
                                                                                  MemoryStats::unreadable());
        p.disk =
            std::make_unique<Recording<DiskStatsProviding, DiskStats>>(log, "disk", DiskStats::unreadable());
        p.thermal = std::make_unique<Recording<ThermalStatsProviding, ThermalLevel>>(log, "thermal",
                                                                                     ThermalLevel::fair);
        p.advancedFanStats = std::make_unique<Recording<AdvancedFanStatsProviding, FanStats>>(
            log, "fan", FanStats::unavailable());
        p.advancedComponentTemperature =
            std::make_unique<Recording<AdvancedComponentTemperatureProviding, ComponentTemperatureStats>>(
                log, "temperatures", ComponentTemperatureStats::notOffered());
        auto logRef = log;
        return DefaultSystemMetricsSampler(
            std::move(p),
            [logRef] {
                logRef->push_back("id");
                return QUuid(QStringLiteral("{12345678-1234-1234-1234-123456789ABC}"));
            },
            [logRef] {
                logRef->push_back("date");
                return Date{1000};
            });
    }
};

} // namespace

TEST(DefaultSystemMetricsSampler, ReadsProvidersOneAfterTheOtherInTheFixedOrder) {
    SamplerRig setup;
    setup.battery.isPresent = true;
    auto sampler = setup.make();
    const SystemSnapshot snapshot = sampler.sample().result();
    const std::vector<std::string> expected = {"cpu",     "network", "battery",     "battery+", "gpu",
                                               "gpu+",    "id",      "date",        "memory",   "disk",
                                               "thermal", "fan",     "temperatures"};
    EXPECT_EQ(*setup.log, expected);
    EXPECT_EQ(snapshot.timestamp, Date{1000});
    EXPECT_EQ(snapshot.id, QUuid(QStringLiteral("{12345678-1234-1234-1234-123456789ABC}")));
    EXPECT_EQ(snapshot.thermal, ThermalLevel::fair);
}

TEST(DefaultSystemMetricsSampler, SupplementalReadingsOnlyFillGaps) {
    SamplerRig setup;
    setup.battery.isPresent = true;
    setup.battery.temperatureCelsius = 30.5;
    setup.battery.temperatureSource = BatteryTemperatureSource::publicPowerSource;
    setup.supplementalBattery = {41.0, 12.1, -1.5};
    setup.supplementalGPU = 0.42;
    auto sampler = setup.make();
    const SystemSnapshot s = sampler.sampleNow();
    // The public temperature stays; the absent voltage and amperage are filled and marked.
    EXPECT_EQ(s.battery.temperatureCelsius, 30.5);
    EXPECT_EQ(s.battery.temperatureSource, BatteryTemperatureSource::publicPowerSource);
    EXPECT_EQ(s.battery.voltageVolts, 12.1);
    EXPECT_EQ(s.battery.voltageSource, BatteryElectricalSource::supplementalSensor);
    EXPECT_EQ(s.battery.amperageAmps, -1.5);
    EXPECT_EQ(s.battery.amperageSource, BatteryElectricalSource::supplementalSensor);
    EXPECT_EQ(s.gpu.systemUtilizationFraction, 0.42);
    EXPECT_TRUE(s.gpu.systemUtilizationAvailability.isAvailable());
}

TEST(DefaultSystemMetricsSampler, NoSupplementalBatteryReadingWithoutABatteryNorGPUQueryWhenPublic) {
    SamplerRig setup;
    setup.gpu.systemUtilizationFraction = 0.1;
    setup.gpu.systemUtilizationAvailability = MetricAvailability::available();
    setup.supplementalGPU = 0.9;
    auto sampler = setup.make();
    const SystemSnapshot s = sampler.sampleNow();
    EXPECT_EQ(std::count(setup.log->begin(), setup.log->end(), "battery+"), 0);
    EXPECT_EQ(std::count(setup.log->begin(), setup.log->end(), "gpu+"), 0);
    EXPECT_EQ(s.gpu.systemUtilizationFraction, 0.1);
}

TEST(CPUStatsProvider, KeepsThePreviousSnapshotOnlyWhenTheReadSucceeds) {
    struct ScriptedReader : CPUTickReading {
        std::vector<std::optional<CPUTickSnapshot>> script;
        size_t next = 0;
        std::optional<CPUTickSnapshot> read() override { return script.at(next++); }
    };
    auto reader = std::make_unique<ScriptedReader>();
    reader->script = {CPUTickSnapshot{{{10, 0, 90, 0}}, {}}, std::nullopt,
                      CPUTickSnapshot{{{30, 0, 170, 0}}, {}}};
    CPUStatsProvider provider(std::move(reader));
    EXPECT_EQ(provider.sample().availability.reason,
              QStringLiteral("CPU kullanımı için başlangıç ölçümü alındı."));
    EXPECT_EQ(provider.sample(), CPUStats::empty());
    // The failed read did not replace the first snapshot: usage is measured against it.
    const CPUStats third = provider.sample();
    ASSERT_TRUE(third.availability.isAvailable());
    EXPECT_DOUBLE_EQ(third.totalUsage, 20.0 / 100.0);
}
