#include "RecordedTrees.h"
#include "SysfsHwmonReading.h"
#include "TestSupport.h"
#include "advanced/AdvancedReadOnlyTelemetryProviders.h"
#include "advanced/AdvancedSensorInventory.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <map>

using namespace kestrum;
using test::fixture;

namespace {

struct Machine {
    std::optional<AdvancedTelemetrySystemIdentity> identity;
    AdvancedHwmonConnector connector;
};

Machine machineAt(const QString& root) {
    const QString sys = root + QStringLiteral("/sys");
    return {readAdvancedTelemetryIdentity(root + QStringLiteral("/proc"), sys),
            [sys] { return std::make_shared<SysfsHwmonReading>(sys); }};
}

Machine recorded(const char* name) {
    return machineAt(fixture(QLatin1String(name)));
}

// Counts every attribute read, so a test can tell which files a provider touched.
class CountingReading : public SysfsHwmonReading {
public:
    using SysfsHwmonReading::SysfsHwmonReading;
    AdvancedHwmonRead read(const AdvancedHwmonDevice& device, const QString& attribute) override {
        attributes.push_back(attribute);
        return SysfsHwmonReading::read(device, attribute);
    }
    std::vector<QString> attributes;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

// A failing attribute as the recorded trees write it: a folder holding one file named after the error.
void makeFailing(const QString& path, const char* error) {
    ASSERT_TRUE(QFile::remove(path)) << path.toStdString();
    ASSERT_TRUE(QDir().mkpath(path));
    writeFile(path + QLatin1Char('/') + QLatin1String(error), {});
}

} // namespace

TEST(SysfsHwmonReading, FindsDevicesByNameIncludingTheLegacyLayout) {
    SysfsHwmonReading mac(fixture(QStringLiteral("intel-mac")) + QStringLiteral("/sys"));
    EXPECT_EQ(mac.deviceNames(), (std::set<QString>{QStringLiteral("coretemp"), QStringLiteral("applesmc")}));
    const auto smc = mac.devices(QStringLiteral("applesmc"));
    ASSERT_EQ(smc.size(), 1u);
    EXPECT_TRUE(smc.front().path.endsWith(QStringLiteral("hwmon1/device"))); // no `name` in hwmon1 itself
    EXPECT_EQ(mac.read(smc.front(), QStringLiteral("fan1_manual")).bytes, QByteArray("0\n"));
    EXPECT_EQ(mac.read(smc.front(), QStringLiteral("../name")).error, EINVAL);

    SysfsHwmonReading laptop(fixture(QStringLiteral("intel-laptop")) + QStringLiteral("/sys"));
    const auto thinkpad = laptop.devices(QStringLiteral("thinkpad"));
    ASSERT_EQ(thinkpad.size(), 1u);
    EXPECT_EQ(laptop.read(thinkpad.front(), QStringLiteral("temp2_input")).error, ENXIO);
    EXPECT_EQ(laptop.read(thinkpad.front(), QStringLiteral("fan2_input")).error, ENOENT);
    EXPECT_TRUE(laptop.devices(QStringLiteral("k10temp")).empty());
}

TEST(AdvancedTelemetry, EveryRecordedMachine) {
    const QString notVerified =
        QStringLiteral("Fan telemetrisi bu model, macOS sürümü ve sistem derlemesi için doğrulanmadı.");
    const QString temperaturesNotVerified =
        QStringLiteral("CPU/GPU sıcaklıkları bu model, macOS sürümü ve sistem derlemesi için doğrulanmadı.");
    using Fan = FanReading;
    struct Temperatures {
        std::optional<double> cpuHotspot, cpuAverage;
        int cpuCount;
        std::optional<double> gpuHotspot, gpuAverage;
        int gpuCount;
    };
    struct Case {
        const char* machine;
        std::optional<std::vector<Fan>> fans; // absent: unavailable with the not-verified reason
        std::optional<Temperatures> temperatures;
        SupplementalBatteryReading battery;
        std::optional<double> gpuUtilization;
    } cases[] = {
        {"intel-laptop",
         std::vector<Fan>{{0, 2435, std::nullopt, std::nullopt, std::nullopt, false}},
         Temperatures{61, 59.2, 5, std::nullopt, std::nullopt, 0},
         {std::nullopt, 11.875, std::nullopt},
         std::nullopt},
        {"thinkpad-t480", // fan held at a manual level by fan_control=1
         std::vector<Fan>{{0, 3150, std::nullopt, std::nullopt, std::nullopt, true}},
         Temperatures{52, 50.8, 5, std::nullopt, std::nullopt, 0},
         {std::nullopt, 12.95, std::nullopt},
         std::nullopt},
        {"dell-latitude",
         std::vector<Fan>{{0, 2652, 2600, 0, 4900, false}},
         Temperatures{55, 53.8, 5, std::nullopt, std::nullopt, 0},
         {std::nullopt, 8.15, std::nullopt}, // the ACPI current is a magnitude: not taken
         std::nullopt},
        {"intel-mac",
         std::vector<Fan>{{0, 1299, 1300, 1300, 6199, false}},
         Temperatures{51, 50, 3, std::nullopt, std::nullopt, 0},
         {},
         std::nullopt},
        {"apple-silicon", // fanless; no die temperatures on this kernel
         std::vector<Fan>{},
         std::nullopt,
         {31.2, 12.65, 1.85},
         std::nullopt},
        {"apple-silicon-mbp",
         std::vector<Fan>{{0, 1197, 1200, 1200, 7200, false}},
         std::nullopt,
         {29.8, 11.18, -1.12},
         std::nullopt},
        {"amd-desktop", // seven Super-I/O headers, four of them without a fan
         std::vector<Fan>{{0, 1121}, {1, 843}, {2, 0}, {3, 0}, {4, 0}, {5, 1402}, {6, 0}},
         Temperatures{54.25, 52.0625, 2, 101, 74, 2},
         {},
         0.37},
        {"vm", std::nullopt, std::nullopt, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.machine);
        const Machine m = recorded(c.machine);
        AdvancedReadOnlyFanStatsProvider fans(m.identity, m.connector);
        const FanStats fanStats = fans.sample();
        if (c.fans) {
            EXPECT_TRUE(fanStats.availability.isAvailable()) << fanStats.availability.reason.toStdString();
            EXPECT_EQ(fanStats.readings, *c.fans);
        } else {
            EXPECT_EQ(fanStats.availability, MetricAvailability::unavailable(notVerified));
            EXPECT_FALSE(fans.hasConnection());
        }

        AdvancedReadOnlyComponentTemperatureProvider temperatures(m.identity, m.connector);
        const ComponentTemperatureStats t = temperatures.sample();
        if (c.temperatures) {
            ASSERT_TRUE(t.availability.isAvailable()) << t.availability.reason.toStdString();
            EXPECT_EQ(t.cpuHotspotCelsius, c.temperatures->cpuHotspot);
            EXPECT_EQ(t.cpuAverageCelsius, c.temperatures->cpuAverage);
            EXPECT_EQ(t.cpuSensorCount, c.temperatures->cpuCount);
            EXPECT_EQ(t.gpuHotspotCelsius, c.temperatures->gpuHotspot);
            EXPECT_EQ(t.gpuAverageCelsius, c.temperatures->gpuAverage);
            EXPECT_EQ(t.gpuSensorCount, c.temperatures->gpuCount);
        } else {
            EXPECT_EQ(t.availability, MetricAvailability::unavailable(temperaturesNotVerified));
        }

        AdvancedBatteryTelemetryHwmonProvider battery(m.identity, m.connector);
        const SupplementalBatteryReading b = battery.sample();
        EXPECT_EQ(b.temperatureCelsius, c.battery.temperatureCelsius);
        EXPECT_EQ(b.voltageVolts, c.battery.voltageVolts);
        EXPECT_EQ(b.amperageAmps, c.battery.amperageAmps);

        AdvancedGPUUtilizationHwmonProvider gpu(m.identity, m.connector);
        EXPECT_EQ(gpu.sample(), c.gpuUtilization);
    }
}

TEST(AdvancedTelemetry, AnUnverifiedKernelOpensNothing) {
    Machine m = recorded("intel-laptop");
    int opened = 0;
    const AdvancedHwmonConnector counting = [&] {
        ++opened;
        return m.connector();
    };
    for (const char* release : {"4.19.0-26-amd64", "7.0.1", "6.99.0", "not a release"}) {
        SCOPED_TRACE(release);
        const auto identity =
            AdvancedTelemetrySystemIdentity::make(m.identity->modelIdentifiers, QString::fromLatin1(release));
        AdvancedReadOnlyFanStatsProvider fans(identity, counting);
        AdvancedReadOnlyComponentTemperatureProvider temperatures(identity, counting);
        EXPECT_FALSE(fans.sample().availability.isAvailable());
        EXPECT_FALSE(temperatures.sample().availability.isAvailable());
    }
    EXPECT_EQ(opened, 0);
}

TEST(AdvancedTelemetry, ReadsOnlyTheAdmittedAttributes) {
    const QString sys = fixture(QStringLiteral("intel-laptop")) + QStringLiteral("/sys");
    const auto identity =
        readAdvancedTelemetryIdentity(fixture(QStringLiteral("intel-laptop")) + QStringLiteral("/proc"), sys);
    auto reading = std::make_shared<CountingReading>(sys);
    AdvancedReadOnlyComponentTemperatureProvider temperatures(identity, [&] { return reading; });
    ASSERT_TRUE(temperatures.sample().availability.isAvailable());
    reading->attributes.clear();
    ASSERT_TRUE(temperatures.sample().availability.isAvailable());
    // Once resolved, a sample reads each admitted channel's label (to notice a reloaded driver) and input.
    std::vector<QString> expected;
    for (int n = 1; n <= 5; ++n) {
        expected.push_back(QStringLiteral("temp%1_label").arg(n));
        expected.push_back(QStringLiteral("temp%1_input").arg(n));
    }
    EXPECT_EQ(reading->attributes, expected);
}

TEST(AdvancedTelemetry, BadValuesMakeTheReadingUnavailable) {
    const QString mismatch = QStringLiteral("CPU/GPU sıcaklık sensörleri doğrulanmış kayıtla eşleşmedi.");
    const QString outOfRange = QStringLiteral("Fan sensörü güvenli değer aralığının dışında.");
    const QString invalid = QStringLiteral("Fan sensörü geçerli bir değer sunmadı.");
    const QString count = QStringLiteral("Fan sayısı doğrulanmış donanım kaydıyla eşleşmedi.");
    const QString forced = QStringLiteral("Beklenmeyen fan test modu algılandı.");
    struct Case {
        const char* what;
        const char* machine;
        const char* file; // under the device named `device`
        const char* device;
        const char* contents; // nullptr: remove it; "EIO": fail with that error
        bool fans;            // which reading it spoils
        QString reason;
    } cases[] = {
        {"a core at 130 °C", "intel-laptop", "temp3_input", "coretemp", "130000\n", false, mismatch},
        {"a negative core", "intel-laptop", "temp3_input", "coretemp", "-40000\n", false, mismatch},
        {"text in a core", "intel-laptop", "temp3_input", "coretemp", "n/a\n", false, mismatch},
        {"EIO from a core", "intel-laptop", "temp3_input", "coretemp", "EIO", false, mismatch},
        {"the package gone", "intel-laptop", "temp1_label", "coretemp", nullptr, false, mismatch},
        {"an absurd fan speed", "intel-laptop", "fan1_input", "thinkpad", "65535000\n", true, outOfRange},
        {"a negative fan speed", "dell-latitude", "fan1_input", "dell_smm", "-1\n", true, outOfRange},
        {"speed above 1.25 × max", "intel-mac", "fan1_input", "applesmc", "7750\n", true, outOfRange},
        {"a maximum below the minimum", "apple-silicon-mbp", "fan1_max", "macsmc_hwmon", "1100\n", true,
         outOfRange},
        {"a maximum outside the record", "intel-mac", "fan1_max", "applesmc", "20000\n", true, outOfRange},
        {"EIO from the fan", "intel-laptop", "fan1_input", "thinkpad", "EIO", true, invalid},
        {"an unknown mode", "intel-laptop", "pwm1_enable", "thinkpad", "3\n", true, invalid},
        {"the fan disengaged", "intel-laptop", "pwm1_enable", "thinkpad", "0\n", true, forced},
        {"the fan renamed", "intel-mac", "fan1_label", "applesmc", "Left side\n", true, count},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto copy = test::copyParts(
            QLatin1String(c.machine), {QStringLiteral("sys"), QStringLiteral("proc/sys/kernel/osrelease")});
        const Machine m = machineAt(copy->path());
        SysfsHwmonReading hwmon(copy->path() + QStringLiteral("/sys"));
        const auto devices = hwmon.devices(QLatin1String(c.device));
        ASSERT_EQ(devices.size(), 1u);
        const QString path = devices.front().path + QLatin1Char('/') + QLatin1String(c.file);
        if (!c.contents)
            ASSERT_TRUE(QFile::remove(path));
        else if (QByteArray(c.contents) == "EIO")
            makeFailing(path, c.contents);
        else
            writeFile(path, c.contents);

        if (c.fans) {
            AdvancedReadOnlyFanStatsProvider fans(m.identity, m.connector);
            const FanStats stats = fans.sample();
            EXPECT_EQ(stats.availability.reason, c.reason);
            EXPECT_FALSE(stats.availability.isAvailable());
            EXPECT_TRUE(stats.readings.empty()); // never a partial list, never a zero in place of a value
        } else {
            AdvancedReadOnlyComponentTemperatureProvider temperatures(m.identity, m.connector);
            const ComponentTemperatureStats stats = temperatures.sample();
            EXPECT_EQ(stats.availability.reason, c.reason);
            EXPECT_FALSE(stats.availability.isAvailable());
            EXPECT_FALSE(stats.cpuHotspotCelsius);
            EXPECT_FALSE(stats.cpuAverageCelsius);
        }
    }
}

TEST(AdvancedTelemetry, ADriverReloadedMidRunIsResolvedAgain) {
    const auto copy = test::copyParts(QStringLiteral("intel-laptop"),
                                      {QStringLiteral("sys"), QStringLiteral("proc/sys/kernel/osrelease")});
    const Machine m = machineAt(copy->path());
    AdvancedReadOnlyComponentTemperatureProvider temperatures(m.identity, m.connector);
    ASSERT_TRUE(temperatures.sample().availability.isAvailable());

    // The driver comes back with Core 1 and Core 2 swapped between channels: the stale mapping is
    // refused once, then resolved again.
    const QString folder = SysfsHwmonReading(copy->path() + QStringLiteral("/sys"))
                               .devices(QStringLiteral("coretemp"))
                               .front()
                               .path;
    writeFile(folder + QStringLiteral("/temp3_label"), "Core 2\n");
    writeFile(folder + QStringLiteral("/temp4_label"), "Core 1\n");
    EXPECT_FALSE(temperatures.sample().availability.isAvailable());
    const ComponentTemperatureStats again = temperatures.sample();
    EXPECT_TRUE(again.availability.isAvailable());
    EXPECT_EQ(again.cpuSensorCount, 5);
}

TEST(AdvancedSensorInventory, ListsAdmittedChannelsAndWhyTheRestIsNotOffered) {
    const QString root = fixture(QStringLiteral("intel-laptop"));
    SysfsHwmonReading hwmon(root + QStringLiteral("/sys"));
    const auto identity =
        readAdvancedTelemetryIdentity(root + QStringLiteral("/proc"), root + QStringLiteral("/sys"));
    const auto devices = listAdvancedSensors(hwmon, hwmon.deviceNames(), identity);
    const QString noRecord = QStringLiteral("Bu sürücünün sensörleri doğrulanmış bir kayıtta yok.");

    std::map<QString, AdvancedSensorDevice> byName;
    for (const AdvancedSensorDevice& d : devices)
        byName[d.name] = d;
    ASSERT_EQ(byName.size(), 6u);
    for (const char* unverified : {"acpitz", "nvme", "iwlwifi_1"}) {
        EXPECT_EQ(byName[QLatin1String(unverified)].notOfferedReason, noRecord) << unverified;
        EXPECT_TRUE(byName[QLatin1String(unverified)].channels.empty());
    }
    const auto& coretemp = byName[QStringLiteral("coretemp")].channels;
    ASSERT_EQ(coretemp.size(), 5u);
    EXPECT_EQ(coretemp[0].channel, QStringLiteral("temp1"));
    EXPECT_EQ(coretemp[0].label, QStringLiteral("Package id 0"));
    EXPECT_EQ(coretemp[0].value, 61.0);
    EXPECT_EQ(coretemp[4].label, QStringLiteral("Core 3"));
    EXPECT_TRUE(coretemp[4].evidenceID.startsWith(QStringLiteral("coretemp-")));
    const auto& thinkpad = byName[QStringLiteral("thinkpad")].channels;
    ASSERT_EQ(thinkpad.size(), 1u);
    EXPECT_EQ(thinkpad[0].role, AdvancedSensorRole::fan);
    EXPECT_EQ(thinkpad[0].value, 2435.0);
    const auto& battery = byName[QStringLiteral("BAT0")].channels;
    ASSERT_EQ(battery.size(), 1u);
    EXPECT_EQ(battery[0].role, AdvancedSensorRole::batteryVoltage);
    EXPECT_EQ(battery[0].value, 11.875);

    // A kernel no record covers: the drivers that have records say so, the others have none.
    const auto old =
        AdvancedTelemetrySystemIdentity::make(identity->modelIdentifiers, QStringLiteral("4.19.0"));
    for (const AdvancedSensorDevice& d : listAdvancedSensors(hwmon, hwmon.deviceNames(), old)) {
        EXPECT_TRUE(d.channels.empty());
        if (d.name == QStringLiteral("coretemp"))
            EXPECT_EQ(d.notOfferedReason,
                      QStringLiteral("Bu sürücünün kaydı çekirdek 4.19.0 için doğrulanmadı."));
        if (d.name == QStringLiteral("nvme"))
            EXPECT_EQ(d.notOfferedReason, noRecord);
    }
}
