#pragma once

#include "BatteryStats.h"
#include "CPUStats.h"
#include "ComponentTemperatureStats.h"
#include "DiskStats.h"
#include "FanStats.h"
#include "GPUStats.h"
#include "MemoryStats.h"
#include "NetworkStats.h"
#include "ThermalLevel.h"
#include "foundation/Date.h"

#include <QUuid>

namespace kestrum {

// One complete live sample of the machine.
struct SystemSnapshot {
    QUuid id;
    Date timestamp;
    CPUStats cpu;
    MemoryStats memory;
    BatteryStats battery;
    DiskStats disk;
    ThermalLevel thermal = ThermalLevel::unavailable;
    NetworkStats network;
    GPUStats gpu;
    FanStats fan;
    ComponentTemperatureStats componentTemperatures;

    // Every group unreadable, with a new id and the given time.
    static SystemSnapshot empty(QUuid id, Date timestamp);
    static SystemSnapshot empty();
    bool operator==(const SystemSnapshot&) const = default;
};

} // namespace kestrum
