#include "SysfsPowerSupplyBatteryStatsProvider.h"

#include "SysfsFiles.h"
#include "foundation/Translatable.h"
#include "measurement/BatteryStatsParser.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrum {

namespace {

struct Supply {
    QString path;
    QString name;
    std::optional<int64_t> integer(const char* attribute) const {
        return sysfs::readInteger(path + u'/' + QLatin1String(attribute));
    }
    std::optional<QString> text(const char* attribute) const {
        return sysfs::readText(path + u'/' + QLatin1String(attribute));
    }
};

// A positive value, else absent: several drivers report 0 for "unknown".
std::optional<double> positive(std::optional<int64_t> value) {
    if (value && *value > 0)
        return static_cast<double>(*value);
    return std::nullopt;
}

std::optional<double> real(std::optional<int64_t> value) {
    if (value)
        return static_cast<double>(*value);
    return std::nullopt;
}

// One battery's attributes in the kernel's units: charge µAh, energy µWh, current µA, power µW, voltage µV.
struct Battery {
    QString name;
    QString status;
    std::optional<double> capacityPercent;
    std::optional<double> energyNow, energyFull, energyDesign, power;
    std::optional<double> chargeNow, chargeFull, chargeDesign, current;
    std::optional<double> voltage, designVoltage;
    std::optional<double> secondsToEmpty, secondsToFull;
    std::optional<QString> health;
    std::optional<double> temperatureTenths;

    bool charging() const { return status == u"Charging"; }
    bool discharging() const { return status == u"Discharging"; }

    // The current in mA with the sign taken from the status, since drivers disagree on it. Energy-mode ACPI
    // batteries give no current_now: power ÷ voltage then.
    std::optional<double> signedMilliamps() const {
        std::optional<double> microamps;
        if (current)
            microamps = std::abs(*current);
        else if (power && voltage && *voltage > 0)
            microamps = std::abs(*power) / *voltage * 1e6;
        if (!microamps)
            return std::nullopt;
        const double milliamps = *microamps / 1000.0;
        return discharging() ? -milliamps : milliamps;
    }

    // The figures in µWh and µW the way upower combines batteries: charge is turned into energy with the
    // design voltage, current into power with the present voltage.
    std::optional<double> asEnergy(std::optional<double> energy, std::optional<double> charge) const {
        if (energy)
            return energy;
        const auto volts = designVoltage ? designVoltage : voltage;
        if (charge && volts && *volts > 0)
            return *charge * *volts / 1e6;
        return std::nullopt;
    }
    std::optional<double> powerMicrowatts() const {
        if (power)
            return std::abs(*power);
        if (current && voltage)
            return std::abs(*current) * *voltage / 1e6;
        return std::nullopt;
    }
};

Battery readBattery(const Supply& supply) {
    Battery b;
    b.name = supply.name;
    b.status = supply.text("status").value_or(QString());
    b.capacityPercent = real(supply.integer("capacity"));
    b.energyNow = real(supply.integer("energy_now"));
    b.energyFull = positive(supply.integer("energy_full"));
    b.energyDesign = positive(supply.integer("energy_full_design"));
    b.power = real(supply.integer("power_now"));
    b.chargeNow = real(supply.integer("charge_now"));
    b.chargeFull = positive(supply.integer("charge_full"));
    b.chargeDesign = positive(supply.integer("charge_full_design"));
    b.current = real(supply.integer("current_now"));
    b.voltage = positive(supply.integer("voltage_now"));
    b.designVoltage = positive(supply.integer("voltage_min_design"));
    b.secondsToEmpty = positive(supply.integer("time_to_empty_now"));
    b.secondsToFull = positive(supply.integer("time_to_full_now"));
    b.health = supply.text("health");
    b.temperatureTenths = real(supply.integer("temp"));
    return b;
}

// Minutes until empty or full from a quantity and its rate (µAh and µA, or µWh and µW), as upower does.
std::optional<double> minutesFrom(std::optional<double> now, std::optional<double> full,
                                  std::optional<double> rate, bool charging) {
    if (!now || *now <= 0 || !rate || *rate == 0)
        return std::nullopt;
    const double perHour = std::abs(*rate);
    if (charging) {
        if (!full || *full <= *now)
            return std::nullopt;
        return (*full - *now) / perHour * 60.0;
    }
    return *now / perHour * 60.0;
}

// Charge figures first: on Apple-silicon Macs energy_* is computed from charge at a nominal 3.8 V per
// cell while power_now is measured, so the two energy figures do not belong together.
std::optional<double> estimatedMinutes(const Battery& b) {
    if (auto minutes = minutesFrom(b.chargeNow, b.chargeFull, b.current, b.charging()))
        return minutes;
    return minutesFrom(b.energyNow, b.energyFull, b.power, b.charging());
}

std::optional<QString> ratioHealth(std::optional<double> full, std::optional<double> design) {
    if (!full || !design)
        return std::nullopt;
    return *full / *design >= 0.80 ? QStringLiteral("Good") : QStringLiteral("Service Recommended");
}

// The driver's own verdict, when it is one. macsmc-battery reports "Good" unless a single "bad battery"
// flag is set, whatever the wear, so there only another value counts.
std::optional<QString> verdict(const Battery& b) {
    if (!b.health || b.health->isEmpty() || *b.health == u"Unknown")
        return std::nullopt;
    if (b.name == u"macsmc-battery" && *b.health == u"Good")
        return std::nullopt;
    return b.health;
}

// Full ÷ design capacity in one family; charge_* first (on Apple-silicon Macs energy_* is derived from it).
std::optional<QString> derivedHealth(const Battery& b) {
    if (auto health = ratioHealth(b.chargeFull, b.chargeDesign))
        return health;
    return ratioHealth(b.energyFull, b.energyDesign);
}

void insertTimes(PowerSourceDescription& d, bool charging, bool discharging, std::optional<double> toFull,
                 std::optional<double> toEmpty) {
    const auto minutes = [](std::optional<double> value, bool applies) {
        return applies && value ? static_cast<int>(*value) : -1; // -1: still estimating
    };
    d.insert(QStringLiteral("Time to Full Charge"), minutes(toFull, charging));
    d.insert(QStringLiteral("Time to Empty"), minutes(toEmpty, discharging));
}

void describeOne(PowerSourceDescription& d, const Battery& b) {
    d.insert(QStringLiteral("Is Charging"), b.charging());
    d.insert(QStringLiteral("Is Charged"), b.status == u"Full");

    std::optional<double> percent = b.capacityPercent;
    if (!percent) {
        if (b.energyNow && b.energyFull)
            percent = *b.energyNow / *b.energyFull * 100.0;
        else if (b.chargeNow && b.chargeFull)
            percent = *b.chargeNow / *b.chargeFull * 100.0;
    }
    if (percent) {
        d.insert(QStringLiteral("Current Capacity"), *percent);
        d.insert(QStringLiteral("Max Capacity"), 100);
    }

    const auto driverOrEstimate = [&](std::optional<double> seconds) {
        return seconds ? std::optional<double>(*seconds / 60.0) : estimatedMinutes(b);
    };
    insertTimes(d, b.charging(), b.discharging(), driverOrEstimate(b.secondsToFull),
                driverOrEstimate(b.secondsToEmpty));

    if (auto health = verdict(b))
        d.insert(QStringLiteral("BatteryHealth"), *health);
    else if (auto derived = derivedHealth(b))
        d.insert(QStringLiteral("BatteryHealth"), *derived);

    if (b.temperatureTenths)
        d.insert(QStringLiteral("Temperature"), *b.temperatureTenths / 10.0);
    if (b.voltage)
        d.insert(QStringLiteral("Voltage"), *b.voltage / 1000.0);
    if (const auto milliamps = b.signedMilliamps())
        d.insert(QStringLiteral("Current"), *milliamps);
}

// Several system batteries (ThinkPads with BAT0 and BAT1) read as one, the way upower's display device
// combines them: energies and powers summed, the charge and the times from the sums.
void describeCombined(PowerSourceDescription& d, const std::vector<Battery>& batteries) {
    const auto any = [&](auto predicate) {
        return std::any_of(batteries.begin(), batteries.end(), predicate);
    };
    const bool charging = any([](const Battery& b) { return b.charging(); });
    const bool discharging = !charging && any([](const Battery& b) { return b.discharging(); });
    const bool full =
        std::all_of(batteries.begin(), batteries.end(), [](const Battery& b) { return b.status == u"Full"; });
    d.insert(QStringLiteral("Is Charging"), charging);
    d.insert(QStringLiteral("Is Charged"), full);

    // A sum counts only when every battery contributes to it.
    const auto sum = [&](auto figure) -> std::optional<double> {
        double total = 0;
        for (const Battery& b : batteries) {
            const std::optional<double> value = figure(b);
            if (!value)
                return std::nullopt;
            total += *value;
        }
        return total;
    };
    const auto energyNow = sum([](const Battery& b) { return b.asEnergy(b.energyNow, b.chargeNow); });
    const auto energyFull = sum([](const Battery& b) { return b.asEnergy(b.energyFull, b.chargeFull); });
    const auto energyDesign =
        sum([](const Battery& b) { return b.asEnergy(b.energyDesign, b.chargeDesign); });
    const auto power = sum([](const Battery& b) { return b.powerMicrowatts(); });

    std::optional<double> percent;
    if (energyNow && energyFull && *energyFull > 0)
        percent = *energyNow / *energyFull * 100.0;
    else if (const auto total = sum([](const Battery& b) { return b.capacityPercent; }))
        percent = *total / static_cast<double>(batteries.size());
    if (percent) {
        d.insert(QStringLiteral("Current Capacity"), *percent);
        d.insert(QStringLiteral("Max Capacity"), 100);
    }

    const auto toFull = minutesFrom(energyNow, energyFull, power, true);
    const auto toEmpty = minutesFrom(energyNow, energyFull, power, false);
    insertTimes(d, charging, discharging, toFull, toEmpty);

    std::optional<QString> health;
    for (const Battery& b : batteries) {
        if (const auto v = verdict(b); v && *v != u"Good" && !health)
            health = v;
    }
    if (!health)
        health = ratioHealth(energyFull, energyDesign);
    if (!health && any([](const Battery& b) { return verdict(b) == u"Good"; }))
        health = QStringLiteral("Good");
    if (health)
        d.insert(QStringLiteral("BatteryHealth"), *health);

    // The warmest pack; the voltage of the pack that carries the load (the first when none does); the
    // currents of all packs together.
    std::optional<double> warmest;
    const Battery* active = &batteries.front();
    double activePower = -1;
    std::optional<double> milliamps;
    for (const Battery& b : batteries) {
        if (b.temperatureTenths)
            warmest = std::max(warmest.value_or(*b.temperatureTenths), *b.temperatureTenths);
        if (const auto p = b.powerMicrowatts(); p && *p > activePower) {
            activePower = *p;
            active = &b;
        }
        if (const auto current = b.signedMilliamps())
            milliamps = milliamps.value_or(0) + *current;
    }
    if (warmest)
        d.insert(QStringLiteral("Temperature"), *warmest / 10.0);
    if (active->voltage)
        d.insert(QStringLiteral("Voltage"), *active->voltage / 1000.0);
    if (milliamps)
        d.insert(QStringLiteral("Current"), *milliamps);
}

} // namespace

SysfsPowerSupplyBatteryStatsProvider::SysfsPowerSupplyBatteryStatsProvider(QString sysRoot)
    : m_supplyRoot(sysRoot + QStringLiteral("/class/power_supply")) {}

std::optional<PowerSourceDescription>
SysfsPowerSupplyBatteryStatsProvider::internalBatteryDescription(const QString& supplyRoot) {
    std::vector<Battery> batteries;
    bool sawSystemBattery = false;
    bool adapterExists = false;
    bool onExternalPower = false;
    for (const QString& name : sysfs::listDirectory(supplyRoot)) {
        const Supply supply{supplyRoot + u'/' + name, name};
        // Supplies are told apart by their type, never by their name.
        const auto type = supply.text("type");
        if (!type)
            continue;
        if (*type == u"Battery") {
            if (supply.text("scope").value_or(QString()) == u"Device")
                continue; // a mouse's or headset's battery
            sawSystemBattery = true;
            if (supply.integer("present").value_or(1) != 0)
                batteries.push_back(readBattery(supply));
        } else if (*type == u"Mains" || *type == u"USB" || *type == u"Wireless" ||
                   type->startsWith(u"USB_")) {
            adapterExists = true;
            if (supply.integer("online").value_or(0) > 0)
                onExternalPower = true;
        }
    }
    if (!sawSystemBattery)
        return std::nullopt;

    PowerSourceDescription d;
    d.insert(QStringLiteral("Type"), QStringLiteral("InternalBattery"));
    d.insert(QStringLiteral("Is Present"), !batteries.empty());
    if (batteries.empty())
        return d;
    if (batteries.size() == 1)
        describeOne(d, batteries.front());
    else
        describeCombined(d, batteries);

    // A charging battery is on external power even where the adapter has no node of its own.
    const bool charging =
        std::any_of(batteries.begin(), batteries.end(), [](const Battery& b) { return b.charging(); });
    const bool discharging =
        std::any_of(batteries.begin(), batteries.end(), [](const Battery& b) { return b.discharging(); });
    if (onExternalPower || charging)
        d.insert(QStringLiteral("Power Source State"), QStringLiteral("AC Power"));
    else if (adapterExists || discharging)
        d.insert(QStringLiteral("Power Source State"), QStringLiteral("Battery Power"));
    return d;
}

BatteryStats SysfsPowerSupplyBatteryStatsProvider::sample() {
    if (!sysfs::isDirectory(m_supplyRoot))
        return BatteryStats::notPresent(
            MetricAvailability::unavailable(trText("Batarya bilgisi okunamadı.")));
    const auto description = internalBatteryDescription(m_supplyRoot);
    if (!description)
        return BatteryStats::notPresent(MetricAvailability::available());
    return BatteryStatsParser::stats(*description);
}

} // namespace kestrum
