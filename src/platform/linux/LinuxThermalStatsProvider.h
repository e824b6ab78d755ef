#pragma once

#include "measurement/StatsProviding.h"

#include <QString>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace kestrum {

// Linux has no single thermal-state value: the level is the highest that any readable signal gives.
//   critical: a zone at/above a `hot` trip or within 5 °C of a `critical` trip; an hwmon crit alarm or
//             an input at/above its crit limit.
//   serious:  a zone at/above a `passive` trip; a passive cooling device engaged; a CPU throttle counter
//             that rose since the last sample; power-profiles-daemon reporting high operating temperature.
//   fair:     a zone within 10 °C of its lowest passive/hot trip; an active (fan) cooling device with
//             several states at its last one (a fan that merely turns is normal).
//   nominal:  at least one signal is readable and none fires.
//   unavailable: none exists (expected in VMs and on Apple-silicon Macs). A cooling device whose max_state
//             is 0 offers no signal.
// The layout (zones, trips, devices, hwmon channels) is discovered once and again every minute; a sample
// only reads the changing values.
class LinuxThermalStatsProvider : public ThermalStatsProviding {
public:
    // Returns power-profiles-daemon's PerformanceDegraded text, absent when the daemon is not there.
    using DegradationReader = std::function<std::optional<QString>()>;

    explicit LinuxThermalStatsProvider(QString sysRoot = QStringLiteral("/sys"),
                                       DegradationReader degradation = {});
    ThermalLevel sample() override;

    struct TripPoint {
        QString type; // passive, hot, critical, active
        int64_t milliCelsius = 0;
    };
    // Pure judgement of one zone's temperature against its trips; absent when the zone has no usable trip.
    static std::optional<ThermalLevel> judgeZone(int64_t milliCelsius, const std::vector<TripPoint>& trips);

private:
    struct Zone {
        QString tempPath;
        std::vector<TripPoint> trips;
    };
    struct CoolingDevice {
        QString statePath;
        int64_t maxState = 0;
        bool passive = false; // else active (a fan)
    };
    struct HwmonChannel {
        QString alarmPath; // temp*_crit_alarm, may be empty
        QString inputPath; // temp*_input, with critPath
        QString critPath;
    };
    struct Layout {
        std::vector<Zone> zones;
        std::vector<CoolingDevice> coolingDevices;
        std::vector<QString> throttleCounters; // core counters, and one package counter per package
        std::vector<HwmonChannel> hwmon;
    };

    Layout discover() const;

    QString m_sysRoot;
    DegradationReader m_degradation;
    std::mutex m_mutex;
    Layout m_layout;
    double m_layoutAge = -1;
    std::map<QString, int64_t> m_previousThrottleCounts;
};

} // namespace kestrum
