#pragma once

// Every hardware-monitoring device of the machine, with the channels a compatibility record admits and
// their values now, or the reason the device is not offered. Reads only what the records name.

#include "AdvancedTelemetryCatalogs.h"

#include <QJsonObject>

namespace kestrum {

enum class AdvancedSensorRole {
    cpu,
    gpu,
    fan,
    batteryTemperature,
    batteryVoltage,
    batteryCurrent,
    gpuUtilization
};

struct AdvancedSensorChannel {
    QString channel; // "temp3"; empty when the record's channels could not be resolved at all
    QString label;   // trimmed; empty where the driver gives none
    AdvancedSensorRole role = AdvancedSensorRole::cpu;
    std::optional<double> value; // °C, RPM, V, A or % by role
    QString evidenceID;          // the record that admitted the channel
    QString unavailableReason;   // Turkish; set exactly when the value is absent
    bool operator==(const AdvancedSensorChannel&) const = default;
};

struct AdvancedSensorDevice {
    QString name; // the hwmon device's `name`
    std::vector<AdvancedSensorChannel> channels;
    QString notOfferedReason; // Turkish; set when no record admits the device on this kernel
    bool operator==(const AdvancedSensorDevice&) const = default;
};

// `names`: every hwmon device name present. Without an identity (the kernel release is unreadable)
// every device is listed as not offered.
std::vector<AdvancedSensorDevice>
listAdvancedSensors(AdvancedHwmonReading& connection, const std::set<QString>& names,
                    const std::optional<AdvancedTelemetrySystemIdentity>& identity);

QString unitText(AdvancedSensorRole role);
// "işlemci", "fan", … (Turkish)
QString roleTitle(AdvancedSensorRole role);
QString roleName(AdvancedSensorRole role); // "cpu", "batteryVoltage": stable, for JSON
QJsonObject sensorDeviceToJson(const AdvancedSensorDevice& device);

} // namespace kestrum
