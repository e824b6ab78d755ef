#include "SysfsPowerSupplyBatteryStatsProvider.h"

#include "SysfsFiles.h"
#include "foundation/Translatable.h"
#include "measurement/BatteryStatsParser.h"

#include <cmath>

namespace kestrum {

namespace {

struct Supply {
    QString path;
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

// Minutes until empty or full the way upower estimates them, from energy (µWh, µW) or charge (µAh, µA).
std::optional<double> estimatedMinutes(const Supply& battery, bool charging) {
    const auto estimate = [&](const char* nowKey, const char* fullKey,
                              const char* rateKey) -> std::optional<double> {
        const auto now = positive(battery.integer(nowKey));
        const auto rate = battery.integer(rateKey);
        if (!now || !rate || *rate == 0)
            return std::nullopt;
        const double perHour = std::abs(static_cast<double>(*rate));
        if (charging) {
            const auto full = positive(battery.integer(fullKey));
            if (!full || *full <= *now)
                return std::nullopt;
            return (*full - *now) / perHour * 60.0;
        }
        return *now / perHour * 60.0;
    };
    if (auto minutes = estimate("energy_now", "energy_full", "power_now"))
        return minutes;
    return estimate("charge_now", "charge_full", "current_now");
}

// "Good" unless full ÷ design capacity has fallen below 0.80; charge_* first (on Apple-silicon Macs the
// energy_* figures are computed from it).
std::optional<QString> derivedHealth(const Supply& battery) {
    for (const auto& [full, design] :
         {std::pair{"charge_full", "charge_full_design"}, std::pair{"energy_full", "energy_full_design"}}) {
        const auto f = positive(battery.integer(full));
        const auto d = positive(battery.integer(design));
        if (f && d)
            return *f / *d >= 0.80 ? QStringLiteral("Good") : QStringLiteral("Service Recommended");
    }
    return std::nullopt;
}

} // namespace

SysfsPowerSupplyBatteryStatsProvider::SysfsPowerSupplyBatteryStatsProvider(QString sysRoot)
    : m_supplyRoot(sysRoot + QStringLiteral("/class/power_supply")) {}

std::optional<PowerSourceDescription>
SysfsPowerSupplyBatteryStatsProvider::internalBatteryDescription(const QString& supplyRoot) {
    std::optional<Supply> battery;
    bool onExternalPower = false;
    for (const QString& name : sysfs::listDirectory(supplyRoot)) {
        const Supply supply{supplyRoot + u'/' + name};
        // Supplies are told apart by their type, never by their name.
        const auto type = supply.text("type");
        if (!type)
            continue;
        if (*type == u"Battery") {
            if (!battery && supply.text("scope").value_or(QString()) != u"Device")
                battery = supply;
        } else if (*type == u"Mains" || *type == u"USB" || *type == u"Wireless" ||
                   type->startsWith(u"USB_")) {
            if (supply.integer("online").value_or(0) > 0)
                onExternalPower = true;
        }
    }
    if (!battery)
        return std::nullopt;

    PowerSourceDescription d;
    d.insert(QStringLiteral("Type"), QStringLiteral("InternalBattery"));
    d.insert(QStringLiteral("Is Present"), battery->integer("present").value_or(1) != 0);

    const QString status = battery->text("status").value_or(QString());
    const bool charging = status == u"Charging";
    const bool discharging = status == u"Discharging";
    d.insert(QStringLiteral("Is Charging"), charging);
    d.insert(QStringLiteral("Is Charged"), status == u"Full");

    std::optional<double> percent;
    if (const auto capacity = battery->integer("capacity"))
        percent = static_cast<double>(*capacity);
    if (!percent) {
        for (const auto& [now, full] :
             {std::pair{"energy_now", "energy_full"}, std::pair{"charge_now", "charge_full"}}) {
            const auto n = battery->integer(now);
            const auto f = positive(battery->integer(full));
            if (n && f) {
                percent = static_cast<double>(*n) / *f * 100.0;
                break;
            }
        }
    }
    if (percent) {
        d.insert(QStringLiteral("Current Capacity"), *percent);
        d.insert(QStringLiteral("Max Capacity"), 100);
    }

    const auto timeEntry = [&](const char* key, const char* attribute, bool applies) {
        if (!applies) {
            d.insert(QLatin1String(key), -1);
            return;
        }
        if (const auto seconds = positive(battery->integer(attribute))) {
            d.insert(QLatin1String(key), static_cast<int>(*seconds / 60.0));
        } else if (const auto minutes = estimatedMinutes(*battery, charging)) {
            d.insert(QLatin1String(key), static_cast<int>(*minutes));
        } else {
            d.insert(QLatin1String(key), -1); // still estimating
        }
    };
    timeEntry("Time to Full Charge", "time_to_full_now", charging);
    timeEntry("Time to Empty", "time_to_empty_now", discharging);

    const auto health = battery->text("health");
    if (health && !health->isEmpty() && *health != u"Unknown")
        d.insert(QStringLiteral("BatteryHealth"), *health);
    else if (const auto derived = derivedHealth(*battery))
        d.insert(QStringLiteral("BatteryHealth"), *derived);

    if (const auto temp = battery->integer("temp"))
        d.insert(QStringLiteral("Temperature"), static_cast<double>(*temp) / 10.0);
    if (const auto microvolts = battery->integer("voltage_now"))
        d.insert(QStringLiteral("Voltage"), static_cast<double>(*microvolts) / 1000.0);
    if (const auto microamps = battery->integer("current_now")) {
        // Drivers disagree on the sign; the status decides it.
        const double milliamps = std::abs(static_cast<double>(*microamps)) / 1000.0;
        d.insert(QStringLiteral("Current"), discharging ? -milliamps : milliamps);
    }
    d.insert(QStringLiteral("Power Source State"),
             onExternalPower ? QStringLiteral("AC Power") : QStringLiteral("Battery Power"));
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
