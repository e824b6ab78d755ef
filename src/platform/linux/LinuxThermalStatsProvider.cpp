#include "LinuxThermalStatsProvider.h"

#include "SysfsFiles.h"
#include "foundation/Clocks.h"

#include <set>

namespace kestrum {

namespace {

constexpr double kRediscoverAfterSeconds = 60;

int rank(ThermalLevel level) {
    switch (level) {
    case ThermalLevel::nominal:
        return 0;
    case ThermalLevel::fair:
        return 1;
    case ThermalLevel::serious:
        return 2;
    case ThermalLevel::critical:
        return 3;
    case ThermalLevel::unavailable:
        return -1;
    }
    return -1;
}

void raise(ThermalLevel& level, ThermalLevel candidate) {
    if (rank(candidate) > rank(level))
        level = candidate;
}

bool isPassiveCoolingType(const QString& type) {
    return type == u"Processor" || type.contains(u"cpufreq") || type == u"intel_powerclamp";
}

bool isFanCoolingType(const QString& type) {
    return type.contains(u"Fan", Qt::CaseInsensitive);
}

} // namespace

LinuxThermalStatsProvider::LinuxThermalStatsProvider(QString sysRoot, DegradationReader degradation)
    : m_sysRoot(std::move(sysRoot)), m_degradation(std::move(degradation)) {}

std::optional<ThermalLevel> LinuxThermalStatsProvider::judgeZone(int64_t milliCelsius,
                                                                 const std::vector<TripPoint>& trips) {
    bool usable = false;
    ThermalLevel level = ThermalLevel::nominal;
    std::optional<int64_t> lowestPassiveOrHot;
    for (const TripPoint& trip : trips) {
        if (trip.milliCelsius <= -273000)
            continue; // firmware placeholders
        if (trip.type == u"critical") {
            usable = true;
            if (milliCelsius >= trip.milliCelsius - 5000)
                raise(level, ThermalLevel::critical);
        } else if (trip.type == u"hot") {
            usable = true;
            if (milliCelsius >= trip.milliCelsius)
                raise(level, ThermalLevel::critical);
            lowestPassiveOrHot = std::min(lowestPassiveOrHot.value_or(trip.milliCelsius), trip.milliCelsius);
        } else if (trip.type == u"passive") {
            usable = true;
            if (milliCelsius >= trip.milliCelsius)
                raise(level, ThermalLevel::serious);
            lowestPassiveOrHot = std::min(lowestPassiveOrHot.value_or(trip.milliCelsius), trip.milliCelsius);
        }
    }
    if (!usable)
        return std::nullopt;
    if (lowestPassiveOrHot && milliCelsius >= *lowestPassiveOrHot - 10000)
        raise(level, ThermalLevel::fair);
    return level;
}

LinuxThermalStatsProvider::Layout LinuxThermalStatsProvider::discover() const {
    Layout layout;
    const QString thermal = m_sysRoot + QStringLiteral("/class/thermal");
    QStringList entries = sysfs::listDirectory(thermal);
    sysfs::sortNumerically(entries);
    for (const QString& name : entries) {
        const QString base = thermal + u'/' + name;
        if (name.startsWith(u"thermal_zone")) {
            Zone zone{base + QStringLiteral("/temp"), {}};
            for (int i = 0; i < 32; ++i) {
                const QString prefix = base + QStringLiteral("/trip_point_%1_").arg(i);
                const auto type = sysfs::readText(prefix + QStringLiteral("type"));
                if (!type)
                    break;
                if (const auto temp = sysfs::readInteger(prefix + QStringLiteral("temp")))
                    zone.trips.push_back({*type, *temp});
            }
            if (!zone.trips.empty())
                layout.zones.push_back(std::move(zone));
        } else if (name.startsWith(u"cooling_device")) {
            const auto type = sysfs::readText(base + QStringLiteral("/type"));
            // A device without states to offer (ACPI processors in QEMU/KVM and Hyper-V guests) is no signal.
            const auto maxState = sysfs::readInteger(base + QStringLiteral("/max_state"));
            if (!type || !maxState || *maxState <= 0)
                continue;
            if (isPassiveCoolingType(*type))
                layout.coolingDevices.push_back({base + QStringLiteral("/cur_state"), *maxState, true});
            else if (isFanCoolingType(*type))
                layout.coolingDevices.push_back({base + QStringLiteral("/cur_state"), *maxState, false});
        }
    }

    // Throttle counters: every core's, and the package counter once per physical package.
    const QString cpuRoot = m_sysRoot + QStringLiteral("/devices/system/cpu");
    QStringList cpus = sysfs::listDirectory(cpuRoot);
    sysfs::sortNumerically(cpus);
    std::set<int64_t> packages;
    for (const QString& cpu : cpus) {
        if (!cpu.startsWith(u"cpu") || cpu.size() < 4 || !cpu[3].isDigit())
            continue;
        const QString throttle = cpuRoot + u'/' + cpu + QStringLiteral("/thermal_throttle/");
        const QString core = throttle + QStringLiteral("core_throttle_count");
        if (sysfs::exists(core))
            layout.throttleCounters.push_back(core);
        const QString package = throttle + QStringLiteral("package_throttle_count");
        if (sysfs::exists(package)) {
            const auto id =
                sysfs::readInteger(cpuRoot + u'/' + cpu + QStringLiteral("/topology/physical_package_id"));
            if (packages.insert(id.value_or(-1)).second)
                layout.throttleCounters.push_back(package);
        }
    }

    const QString hwmonRoot = m_sysRoot + QStringLiteral("/class/hwmon");
    for (const QString& hwmon : sysfs::listDirectory(hwmonRoot)) {
        const QString base = hwmonRoot + u'/' + hwmon;
        const QStringList files = sysfs::listDirectory(base);
        for (const QString& file : files) {
            if (!file.startsWith(u"temp") || !file.endsWith(u"_input"))
                continue;
            const QString channel = file.chopped(6); // "tempN"
            HwmonChannel entry;
            if (files.contains(channel + QStringLiteral("_crit_alarm")))
                entry.alarmPath = base + u'/' + channel + QStringLiteral("_crit_alarm");
            if (files.contains(channel + QStringLiteral("_crit"))) {
                entry.inputPath = base + u'/' + file;
                entry.critPath = base + u'/' + channel + QStringLiteral("_crit");
            }
            if (!entry.alarmPath.isEmpty() || !entry.critPath.isEmpty())
                layout.hwmon.push_back(std::move(entry));
        }
    }
    return layout;
}

ThermalLevel LinuxThermalStatsProvider::sample() {
    std::lock_guard lock(m_mutex);
    const double now = systemMonotonicClock()();
    if (m_layoutAge < 0 || now - m_layoutAge >= kRediscoverAfterSeconds || now < m_layoutAge) {
        m_layout = discover();
        m_layoutAge = now;
    }

    ThermalLevel level = ThermalLevel::unavailable;
    const auto signal = [&](ThermalLevel judged) {
        if (level == ThermalLevel::unavailable)
            level = ThermalLevel::nominal;
        raise(level, judged);
    };

    for (const Zone& zone : m_layout.zones) {
        if (const auto temp = sysfs::readInteger(zone.tempPath)) {
            if (const auto judged = judgeZone(*temp, zone.trips))
                signal(*judged);
        }
    }
    for (const CoolingDevice& device : m_layout.coolingDevices) {
        if (const auto state = sysfs::readInteger(device.statePath)) {
            // Passive cooling engaged at all means the CPU is held back. Fans turn at idle on many
            // machines: only one driven to its last state says the machine is working hard to stay cool,
            // and an on/off fan (one state) that is on says nothing of the kind.
            if (device.passive)
                signal(*state > 0 ? ThermalLevel::serious : ThermalLevel::nominal);
            else
                signal(device.maxState > 1 && *state >= device.maxState ? ThermalLevel::fair
                                                                        : ThermalLevel::nominal);
        }
    }
    for (const QString& counter : m_layout.throttleCounters) {
        const auto count = sysfs::readInteger(counter);
        if (!count)
            continue;
        const auto previous = m_previousThrottleCounts.find(counter);
        const bool rose = previous != m_previousThrottleCounts.end() && *count > previous->second;
        m_previousThrottleCounts[counter] = *count;
        signal(rose ? ThermalLevel::serious : ThermalLevel::nominal);
    }
    for (const HwmonChannel& channel : m_layout.hwmon) {
        if (!channel.alarmPath.isEmpty()) {
            if (const auto alarm = sysfs::readInteger(channel.alarmPath))
                signal(*alarm == 1 ? ThermalLevel::critical : ThermalLevel::nominal);
        }
        if (!channel.critPath.isEmpty()) {
            const auto input = sysfs::readInteger(channel.inputPath);
            const auto crit = sysfs::readInteger(channel.critPath);
            if (input && crit && *crit > 0)
                signal(*input >= *crit ? ThermalLevel::critical : ThermalLevel::nominal);
        }
    }
    if (m_degradation) {
        if (const auto degraded = m_degradation())
            signal(*degraded == u"high-operating-temperature" ? ThermalLevel::serious
                                                              : ThermalLevel::nominal);
    }
    return level;
}

} // namespace kestrum
