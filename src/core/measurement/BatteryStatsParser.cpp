#include "BatteryStatsParser.h"

#include <algorithm>
#include <cmath>

namespace kestrum::BatteryStatsParser {

namespace {

bool isNumberObject(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

std::optional<bool> boolean(const QVariant& value) {
    if (!isNumberObject(value))
        return std::nullopt;
    return value.typeId() == QMetaType::Bool ? value.toBool() : value.toDouble() != 0;
}

std::optional<double> number(const QVariant& value) {
    if (!isNumberObject(value))
        return std::nullopt;
    return value.toDouble();
}

std::optional<long long> integer(const QVariant& value) {
    if (!isNumberObject(value))
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d))
        return std::nullopt;
    return static_cast<long long>(std::trunc(std::clamp(d, -1e15, 1e15)));
}

std::optional<QString> nonEmptyString(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString trimmed = value.toString().trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

std::optional<bool> powerAdapterConnection(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    if (text == u"AC Power")
        return true;
    if (text == u"Battery Power")
        return false;
    return std::nullopt;
}

QVariant entry(const PowerSourceDescription& description, const char* key) {
    return description.value(QLatin1String(key));
}

} // namespace

BatteryStats stats(const PowerSourceDescription& description) {
    if (boolean(entry(description, "Is Present")) == false)
        return BatteryStats::notPresent(MetricAvailability::available());

    BatteryStats stats;
    stats.isPresent = true;

    const auto current = number(entry(description, "Current Capacity"));
    const auto maximum = number(entry(description, "Max Capacity"));
    if (current && maximum && *maximum > 0) {
        const double fraction = *current / *maximum;
        if (std::isfinite(fraction))
            stats.chargeFraction = std::clamp(fraction, 0.0, 1.0);
    }

    stats.isCharging = boolean(entry(description, "Is Charging")).value_or(false);
    stats.isFullyCharged = boolean(entry(description, "Is Charged")).value_or(false);

    const auto minutes =
        integer(entry(description, stats.isCharging ? "Time to Full Charge" : "Time to Empty"));
    if (minutes && *minutes >= 0)
        stats.timeRemainingMinutes = static_cast<int>(std::min<long long>(*minutes, 1'000'000));

    stats.healthCondition = nonEmptyString(entry(description, "BatteryHealthCondition"));
    if (!stats.healthCondition)
        stats.healthCondition = nonEmptyString(entry(description, "BatteryHealth"));

    if (const auto celsius = number(entry(description, "Temperature"));
        celsius && std::isfinite(*celsius) && *celsius >= -20 && *celsius <= 100) {
        stats.temperatureCelsius = *celsius;
        stats.temperatureSource = BatteryTemperatureSource::publicPowerSource;
    }
    if (const auto millivolts = number(entry(description, "Voltage")); millivolts) {
        const double volts = *millivolts / 1000.0;
        if (std::isfinite(volts) && volts >= 5 && volts <= 30) {
            stats.voltageVolts = volts;
            stats.voltageSource = BatteryElectricalSource::publicPowerSource;
        }
    }
    if (const auto milliamps = number(entry(description, "Current")); milliamps) {
        const double amps = *milliamps / 1000.0;
        if (std::isfinite(amps) && std::abs(amps) <= 30) {
            stats.amperageAmps = amps;
            stats.amperageSource = BatteryElectricalSource::publicPowerSource;
        }
    }
    stats.isConnectedToPowerAdapter = powerAdapterConnection(entry(description, "Power Source State"));
    stats.availability = MetricAvailability::available();
    return stats;
}

} // namespace kestrum::BatteryStatsParser
