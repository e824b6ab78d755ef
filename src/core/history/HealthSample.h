#pragma once

#include "foundation/Date.h"
#include "measurement/HealthLevel.h"
#include "measurement/SystemSnapshot.h"
#include "measurement/ThermalLevel.h"

#include <QJsonObject>
#include <QUuid>
#include <optional>

namespace kestrum {

// The compact persisted form of one live sample.
struct HealthSample {
    QUuid id;
    Date timestamp;
    std::optional<double> cpuUsage;    // 0...1
    std::optional<double> memoryUsage; // used / total, 0...1
    std::optional<double> batteryCharge;
    std::optional<bool> batteryIsCharging;
    std::optional<bool> batteryUsesPowerAdapter;
    std::optional<double> diskUsage; // used / total capacity
    ThermalLevel thermalLevel = ThermalLevel::unavailable;
    std::optional<double> downloadBytesPerSecond;
    std::optional<double> uploadBytesPerSecond;
    std::optional<int> wifiRSSI;
    HealthLevel healthLevel = HealthLevel::unavailable;
    QJsonObject unknownFields; // keys of a later version, written back unchanged

    // Built from a snapshot and the level its health assessment gave it. Only values whose group was
    // available are kept.
    static HealthSample make(const SystemSnapshot& snapshot, HealthLevel assessedLevel, QUuid id);
    bool operator==(const HealthSample&) const = default;
};

} // namespace kestrum
