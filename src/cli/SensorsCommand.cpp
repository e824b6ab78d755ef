#include "CliSupport.h"
#include "Commands.h"
#include "SysfsHwmonReading.h"
#include "advanced/AdvancedSensorInventory.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QJsonArray>

namespace kestrum::cli {

namespace {

QString valueText(const AdvancedSensorChannel& channel) {
    if (!channel.value)
        return L10n::string(channel.unavailableReason);
    const int decimals =
        channel.role == AdvancedSensorRole::fan || channel.role == AdvancedSensorRole::gpuUtilization ? 0
        : channel.role == AdvancedSensorRole::batteryVoltage ||
                channel.role == AdvancedSensorRole::batteryCurrent
            ? 2
            : 1;
    const QString unit = unitText(channel.role);
    return MetricFormatting::number(*channel.value, decimals) +
           (unit == QStringLiteral("%") ? unit : QStringLiteral(" ") + unit);
}

} // namespace

int runSensors(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("sensors konumsal argüman almaz.")};

    const QString proc = QStringLiteral("/proc");
    const QString sys = QStringLiteral("/sys");
    SysfsHwmonReading hwmon(sys);
    const auto identity = readAdvancedTelemetryIdentity(proc, sys);
    const std::vector<AdvancedSensorDevice> devices =
        listAdvancedSensors(hwmon, hwmon.deviceNames(), identity);

    if (asJson) {
        QJsonArray list;
        for (const AdvancedSensorDevice& device : devices)
            list.append(sensorDeviceToJson(device));
        printJson(
            QJsonObject{{QStringLiteral("kernelRelease"), identity ? identity->kernelRelease : QString()},
                        {QStringLiteral("devices"), list}});
        return ExitCode::success;
    }

    printHeading(L10n::string(trText("Sensörler")));
    if (devices.empty())
        printLine(L10n::string(trText("Bu bilgisayarda donanım izleme aygıtı yok.")));
    bool anyNotOffered = false;
    for (const AdvancedSensorDevice& device : devices) {
        if (!device.notOfferedReason.isEmpty()) {
            anyNotOffered = true;
            continue;
        }
        printLine(device.name);
        for (const AdvancedSensorChannel& channel : device.channels) {
            QString name = channel.channel;
            if (!channel.label.isEmpty())
                name += QStringLiteral(" \"%1\"").arg(channel.label);
            printLine(QStringLiteral("  %1 · %2 · %3")
                          .arg(name, L10n::string(roleTitle(channel.role)), valueText(channel)));
            printLine(QStringLiteral("      ") +
                      L10n::string(trTemplate("kayıt: \\(evidence)", {channel.evidenceID})));
        }
    }
    if (anyNotOffered) {
        printLine();
        printLine(L10n::string(trText("Sunulmayanlar")));
        for (const AdvancedSensorDevice& device : devices) {
            if (!device.notOfferedReason.isEmpty())
                printLine(QStringLiteral("  %1: %2").arg(device.name, L10n::string(device.notOfferedReason)));
        }
    }
    return ExitCode::success;
}

} // namespace kestrum::cli
