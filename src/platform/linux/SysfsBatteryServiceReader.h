#pragma once

#include "hardware/HardwareProfileDiscovering.h"

#include <QString>

namespace kestrum {

// The internal battery's wear as its driver reports it in /sys/class/power_supply: cycle count, design
// and full-charge capacity (energy in Wh, or charge in mAh when the driver gives no energy figures, and
// on Apple-silicon Macs, whose energy figures are computed), maker and model.
class SysfsBatteryServiceReader : public BatteryServiceInfoReading {
public:
    explicit SysfsBatteryServiceReader(QString sysRoot = QStringLiteral("/sys"));
    std::optional<BatteryServiceInfo> read() override;

private:
    QString m_sysRoot;
};

} // namespace kestrum
