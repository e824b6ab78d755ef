#include "AdvancedTelemetryCatalogs.h"

// Every record below was checked against the driver's source (label strings, units, which files exist)
// and against a machine recorded under tests/fixtures/ running that driver. The series range is the span
// of kernel releases whose driver source was read for these labels.

namespace kestrum {

namespace {

using Type = AdvancedHwmonChannelType;

AdvancedHwmonChannelRule labelled(Type type, const char* label, ClosedRange<int> numbers,
                                  ClosedRange<int> count) {
    return {type, QString::fromLatin1(label), numbers, count};
}

AdvancedHwmonChannelRule unlabelled(Type type, int number, ClosedRange<int> count) {
    return {type, QString(), {number, number}, count};
}

AdvancedTelemetryRecordKey key(const char* model, ClosedRange<int> majors, KernelSeries from, KernelSeries to,
                               const char* evidence) {
    return {QString::fromLatin1(model), majors, {from, to}, QString::fromLatin1(evidence)};
}

const KernelSeries kLinux5_4{5, 4};
const KernelSeries kLinux5_10{5, 10};
const KernelSeries kLinux6_1{6, 1};
const KernelSeries kLinux6_17{6, 17};

} // namespace

const std::vector<AdvancedFanTelemetryCompatibilityRecord>&
AdvancedFanTelemetryCompatibilityCatalog::records() {
    static const std::vector<AdvancedFanTelemetryCompatibilityRecord> list = [] {
        std::vector<AdvancedFanTelemetryCompatibilityRecord> out;

        // ThinkPads: fan1 (and fan2 on dual-fan models), unlabelled; no limits or target. pwm1_enable
        // covers both fans: 2 EC automatic, 1 manual level, 0 disengaged (full speed, reading stale).
        AdvancedFanTelemetryCompatibilityRecord thinkpad;
        thinkpad.key = key("thinkpad", {5, 6}, kLinux5_4, kLinux6_17,
                           "thinkpad-acpi-fan-telemetry-t14-gen2i-t480-linux-6.1");
        thinkpad.expectedFanCount = {1, 2};
        thinkpad.fanChannels = {unlabelled(Type::fan, 1, {1, 1}), unlabelled(Type::fan, 2, {0, 1})};
        thinkpad.expectedModeAttributeFormat = QStringLiteral("pwm1_enable");
        thinkpad.automaticModeValues = {2};
        thinkpad.manualModeValues = {1};
        thinkpad.forcedModeValues = {0};
        thinkpad.safeRPMWithoutMaximum = {0, 8000};
        out.push_back(thinkpad);

        // Intel Macs (applesmc, legacy layout): labels from the SMC's fan id, speeds from fpe2 keys,
        // target in fanN_output, manual bit in fanN_manual.
        AdvancedFanTelemetryCompatibilityRecord applesmc;
        applesmc.key =
            key("applesmc", {5, 6}, kLinux5_4, kLinux6_17, "applesmc-fan-telemetry-macbookpro11-1-linux-6.1");
        applesmc.expectedFanCount = {1, 1};
        applesmc.fanChannels = {labelled(Type::fan, "Exhaust", {1, 10}, {1, 1})};
        applesmc.targetAttributeFormat = QStringLiteral("fan%d_output");
        applesmc.minimumAttributeFormat = QStringLiteral("fan%d_min");
        applesmc.maximumAttributeFormat = QStringLiteral("fan%d_max");
        applesmc.expectedModeAttributeFormat = QStringLiteral("fan%d_manual");
        applesmc.automaticModeValues = {0};
        applesmc.manualModeValues = {1};
        applesmc.expectedMinimumRPM = ClosedRange<double>{800, 2500};
        applesmc.expectedMaximumRPM = ClosedRange<double>{4000, 8000};
        out.push_back(applesmc);

        // Apple-silicon Macs (macsmc_hwmon): "Fan" on single-fan boards, "Fan 1"/"Fan 2" on dual-fan
        // ones, none on the fanless MacBook Air. No mode file: the SMC manages the fans.
        AdvancedFanTelemetryCompatibilityRecord macsmc;
        macsmc.key = key("macsmc_hwmon", {6, 6}, kLinux6_1, kLinux6_17,
                         "macsmc-hwmon-fan-telemetry-j293-j313-asahi-6.9");
        macsmc.expectedFanCount = {0, 2};
        macsmc.fanChannels = {labelled(Type::fan, "Fan", {1, 64}, {0, 1}),
                              labelled(Type::fan, "Fan 1", {1, 64}, {0, 1}),
                              labelled(Type::fan, "Fan 2", {1, 64}, {0, 1})};
        macsmc.targetAttributeFormat = QStringLiteral("fan%d_target");
        macsmc.minimumAttributeFormat = QStringLiteral("fan%d_min");
        macsmc.maximumAttributeFormat = QStringLiteral("fan%d_max");
        macsmc.expectedMinimumRPM = ClosedRange<double>{800, 2000};
        macsmc.expectedMaximumRPM = ClosedRange<double>{4000, 8000};
        out.push_back(macsmc);

        // Dell laptops (dell_smm): labels by fan type; the BIOS's nominal speeds as min/max/target; the
        // mode switch is write-only.
        AdvancedFanTelemetryCompatibilityRecord dell;
        dell.key =
            key("dell_smm", {6, 6}, kLinux6_1, kLinux6_17, "dell-smm-fan-telemetry-latitude-7490-linux-6.1");
        dell.expectedFanCount = {1, 3};
        for (const char* label : {"Processor Fan", "Motherboard Fan", "Video Fan", "Power Supply Fan",
                                  "Chipset Fan", "Other Fan"})
            dell.fanChannels.push_back(labelled(Type::fan, label, {1, 3}, {0, 3}));
        dell.targetAttributeFormat = QStringLiteral("fan%d_target");
        dell.minimumAttributeFormat = QStringLiteral("fan%d_min");
        dell.maximumAttributeFormat = QStringLiteral("fan%d_max");
        dell.expectedMinimumRPM = ClosedRange<double>{0, 3000};
        dell.expectedMaximumRPM = ClosedRange<double>{1000, 10000};
        out.push_back(dell);

        // Nuvoton NCT6798D Super-I/O: fan inputs by pin, unlabelled; fanN_min is an alarm threshold, not
        // a speed limit, so it is not read. pwmN_enable: 1 manual, 0 full speed, 2–5 automatic curves.
        AdvancedFanTelemetryCompatibilityRecord nct;
        nct.key =
            key("nct6798", {5, 6}, kLinux5_10, kLinux6_17, "nct6798-fan-telemetry-tuf-x570-plus-linux-6.1");
        nct.expectedFanCount = {1, 7};
        for (int number = 1; number <= 7; ++number)
            nct.fanChannels.push_back(unlabelled(Type::fan, number, {0, 1}));
        nct.expectedModeAttributeFormat = QStringLiteral("pwm%d_enable");
        nct.automaticModeValues = {2, 3, 4, 5};
        nct.manualModeValues = {1};
        nct.forcedModeValues = {0};
        nct.safeRPMWithoutMaximum = {0, 10000};
        out.push_back(nct);
        return out;
    }();
    return list;
}

std::optional<AdvancedFanTelemetryCompatibilityRecord>
AdvancedFanTelemetryCompatibilityCatalog::record(const QString& model, int majorVersion,
                                                 const KernelSeries& series) {
    return findRecord(records(), model, majorVersion, series);
}

const std::vector<AdvancedComponentTemperatureCompatibilityRecord>&
AdvancedComponentTemperatureCompatibilityCatalog::records() {
    static const std::vector<AdvancedComponentTemperatureCompatibilityRecord> list = [] {
        std::vector<AdvancedComponentTemperatureCompatibilityRecord> out;

        // Intel: one device per package; "Package id N" and one "Core N" per physical core, numbered
        // core id + 2, so sparse on hybrid processors.
        AdvancedComponentTemperatureCompatibilityRecord coretemp;
        coretemp.key = key("coretemp", {5, 6}, kLinux5_4, kLinux6_17,
                           "coretemp-die-temperatures-t14-t480-latitude-7490-macbookpro11-1-linux-6.1");
        coretemp.cpuChannels = {labelled(Type::temp, "Package id %d", {1, 1}, {1, 1}),
                                labelled(Type::temp, "Core %d", {2, 130}, {1, 128})};
        out.push_back(coretemp);

        // AMD Zen: Tctl and the CCDs that report valid values. Processors with a Tctl offset also show
        // Tdie; there Tctl is not a temperature, so such processors are not admitted (Tdie expected 0).
        AdvancedComponentTemperatureCompatibilityRecord k10temp;
        k10temp.key =
            key("k10temp", {5, 6}, kLinux5_10, kLinux6_17, "k10temp-die-temperatures-ryzen-5800x-linux-6.1");
        k10temp.cpuChannels = {labelled(Type::temp, "Tctl", {1, 1}, {1, 1}),
                               labelled(Type::temp, "Tdie", {2, 2}, {0, 0}),
                               labelled(Type::temp, "Tccd%d", {3, 14}, {0, 12})};
        out.push_back(k10temp);

        // AMD graphics: the edge sensor everywhere, the junction (hotspot) on discrete boards. The memory
        // sensor is not the graphics die.
        AdvancedComponentTemperatureCompatibilityRecord amdgpu;
        amdgpu.key =
            key("amdgpu", {5, 6}, kLinux5_10, kLinux6_17, "amdgpu-die-temperatures-rx-6800-xt-linux-6.1");
        amdgpu.gpuChannels = {labelled(Type::temp, "edge", {1, 1}, {1, 1}),
                              labelled(Type::temp, "junction", {2, 2}, {0, 1})};
        out.push_back(amdgpu);
        return out;
    }();
    return list;
}

std::optional<AdvancedComponentTemperatureCompatibilityRecord>
AdvancedComponentTemperatureCompatibilityCatalog::record(const QString& model, int majorVersion,
                                                         const KernelSeries& series) {
    return findRecord(records(), model, majorVersion, series);
}

const std::vector<AdvancedBatteryTelemetryCompatibilityRecord>&
AdvancedBatteryTelemetryCompatibilityCatalog::records() {
    static const std::vector<AdvancedBatteryTelemetryCompatibilityRecord> list = [] {
        std::vector<AdvancedBatteryTelemetryCompatibilityRecord> out;

        // Apple-silicon Macs: the SMC battery's bridge device, with a signed current.
        AdvancedBatteryTelemetryCompatibilityRecord macsmc;
        macsmc.key = key("macsmc_battery", {6, 6}, kLinux6_1, kLinux6_17,
                         "macsmc-battery-telemetry-j293-j313-asahi-6.9");
        macsmc.temperatureChannel = labelled(Type::temp, "temp", {1, 1}, {1, 1});
        macsmc.voltageChannel = unlabelled(Type::in, 0, {1, 1});
        macsmc.amperageChannels = {unlabelled(Type::curr, 1, {1, 1})};
        out.push_back(macsmc);

        // ACPI batteries: the voltage only. Their current is a magnitude (the status decides the sign)
        // and is absent in energy mode; they report no temperature.
        for (const char* name : {"BAT0", "BAT1"}) {
            AdvancedBatteryTelemetryCompatibilityRecord acpi;
            acpi.key = key(name, {5, 6}, kLinux5_4, kLinux6_17,
                           "acpi-battery-voltage-t14-t480-latitude-7490-linux-6.1");
            acpi.voltageChannel = unlabelled(Type::in, 0, {1, 1});
            out.push_back(acpi);
        }
        return out;
    }();
    return list;
}

std::optional<AdvancedBatteryTelemetryCompatibilityRecord>
AdvancedBatteryTelemetryCompatibilityCatalog::record(const QString& model, int majorVersion,
                                                     const KernelSeries& series) {
    return findRecord(records(), model, majorVersion, series);
}

const std::vector<AdvancedGPUUtilizationCompatibilityRecord>&
AdvancedGPUUtilizationCompatibilityCatalog::records() {
    static const std::vector<AdvancedGPUUtilizationCompatibilityRecord> list = {
        {key("amdgpu", {5, 6}, kLinux5_4, kLinux6_17, "amdgpu-busy-percent-rx-6800-xt-linux-6.1"),
         QStringLiteral("device"), QStringLiteral("gpu_busy_percent")}};
    return list;
}

std::optional<AdvancedGPUUtilizationCompatibilityRecord>
AdvancedGPUUtilizationCompatibilityCatalog::record(const QString& model, int majorVersion,
                                                   const KernelSeries& series) {
    return findRecord(records(), model, majorVersion, series);
}

} // namespace kestrum
