#include "SysfsHwmonReading.h"

#include "SysfsFiles.h"

#include <cerrno>

namespace kestrum {

SysfsHwmonReading::SysfsHwmonReading(QString sysRoot)
    : m_classFolder(sysRoot + QStringLiteral("/class/hwmon")) {}

std::vector<AdvancedHwmonDevice> SysfsHwmonReading::allDevices() {
    QStringList entries = sysfs::listDirectory(m_classFolder);
    sysfs::sortNumerically(entries);
    std::vector<AdvancedHwmonDevice> out;
    for (const QString& entry : entries) {
        if (!entry.startsWith(QStringLiteral("hwmon")))
            continue;
        const QString folder = m_classFolder + QLatin1Char('/') + entry;
        if (const auto name = sysfs::readText(folder + QStringLiteral("/name")); name && !name->isEmpty()) {
            out.push_back({*name, folder});
            continue;
        }
        const QString parent = folder + QStringLiteral("/device");
        if (const auto name = sysfs::readText(parent + QStringLiteral("/name")); name && !name->isEmpty())
            out.push_back({*name, parent});
    }
    return out;
}

std::vector<AdvancedHwmonDevice> SysfsHwmonReading::devices(const QString& name) {
    std::vector<AdvancedHwmonDevice> out;
    for (AdvancedHwmonDevice& device : allDevices()) {
        if (device.name == name)
            out.push_back(std::move(device));
    }
    return out;
}

std::set<QString> SysfsHwmonReading::deviceNames() {
    std::set<QString> names;
    for (const AdvancedHwmonDevice& device : allDevices())
        names.insert(device.name);
    return names;
}

AdvancedHwmonRead SysfsHwmonReading::read(const AdvancedHwmonDevice& device, const QString& attribute) {
    // Attribute names come from the records; a path component other than a plain name is never read.
    if (attribute.isEmpty() || attribute.contains(QStringLiteral("..")) ||
        attribute.startsWith(QLatin1Char('/')))
        return {std::nullopt, EINVAL};
    sysfs::ReadResult result = sysfs::readAttribute(device.path + QLatin1Char('/') + attribute, 4096);
    return {std::move(result.bytes), result.error};
}

std::optional<AdvancedTelemetrySystemIdentity> readAdvancedTelemetryIdentity(const QString& procRoot,
                                                                             const QString& sysRoot) {
    const auto release = sysfs::readText(procRoot + QStringLiteral("/sys/kernel/osrelease"));
    if (!release)
        return std::nullopt;
    SysfsHwmonReading hwmon(sysRoot);
    return AdvancedTelemetrySystemIdentity::make(hwmon.deviceNames(), *release);
}

} // namespace kestrum
