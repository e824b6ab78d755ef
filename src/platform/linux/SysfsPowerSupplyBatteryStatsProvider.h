#pragma once

#include "measurement/StatsProviding.h"

#include <QString>

namespace kestrum {

// Battery and power source from /sys/class/power_supply. Builds the power-source description of the
// internal battery (the `Battery` supplies whose scope is not `Device`; several of them combined the way
// upower's display device does) and hands it to BatteryStatsParser unchanged. No battery supply at all is
// a desktop: not present, available.
class SysfsPowerSupplyBatteryStatsProvider : public BatteryStatsProviding {
public:
    explicit SysfsPowerSupplyBatteryStatsProvider(QString sysRoot = QStringLiteral("/sys"));
    BatteryStats sample() override;

    // The description of the internal battery; absent when there is none. `supplyRoot` is
    // <sys>/class/power_supply. Throws nothing: unreadable attributes are simply left out.
    static std::optional<PowerSourceDescription> internalBatteryDescription(const QString& supplyRoot);

private:
    QString m_supplyRoot;
};

} // namespace kestrum
