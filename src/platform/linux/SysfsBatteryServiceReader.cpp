#include "SysfsBatteryServiceReader.h"

#include "SysfsFiles.h"

namespace kestrum {

namespace {

// A capacity attribute in micro-units; absent unless positive.
std::optional<double> micro(const QString& path) {
    const auto value = sysfs::readInteger(path);
    if (!value || *value <= 0)
        return std::nullopt;
    return static_cast<double>(*value);
}

std::optional<QString> text(const QString& path) {
    auto value = sysfs::readText(path);
    if (value)
        *value = value->simplified();
    if (!value || value->isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

SysfsBatteryServiceReader::SysfsBatteryServiceReader(QString sysRoot) : m_sysRoot(std::move(sysRoot)) {}

std::optional<BatteryServiceInfo> SysfsBatteryServiceReader::read() {
    const QString root = m_sysRoot + QStringLiteral("/class/power_supply/");
    QStringList supplies = sysfs::listDirectory(root);
    sysfs::sortNumerically(supplies);
    for (const QString& name : supplies) {
        const QString dir = root + name + u'/';
        // The machine's own battery: told apart by type, never by name; a mouse's battery has scope Device.
        if (sysfs::readText(dir + QStringLiteral("type")) != u"Battery" ||
            sysfs::readText(dir + QStringLiteral("scope")) == u"Device")
            continue;
        BatteryServiceInfo info;
        if (const auto cycles = sysfs::readInteger(dir + QStringLiteral("cycle_count"));
            cycles && *cycles >= 0 && *cycles < 100000)
            info.cycleCount = static_cast<int>(*cycles);
        const auto energyDesign = micro(dir + QStringLiteral("energy_full_design"));
        const auto chargeDesign = micro(dir + QStringLiteral("charge_full_design"));
        const bool preferCharge = chargeDesign && (!energyDesign || name.startsWith(u"macsmc"));
        if (preferCharge) {
            info.capacityUnit = QStringLiteral("mAh");
            info.designCapacity = *chargeDesign / 1000.0;
            if (const auto full = micro(dir + QStringLiteral("charge_full")))
                info.fullChargeCapacity = *full / 1000.0;
        } else if (energyDesign) {
            info.capacityUnit = QStringLiteral("Wh");
            info.designCapacity = *energyDesign / 1e6;
            if (const auto full = micro(dir + QStringLiteral("energy_full")))
                info.fullChargeCapacity = *full / 1e6;
        }
        info.manufacturer = text(dir + QStringLiteral("manufacturer"));
        info.model = text(dir + QStringLiteral("model_name"));
        return info;
    }
    return std::nullopt;
}

} // namespace kestrum
