#include "LinuxThermalSignal.h"

#include "SysfsFiles.h"

namespace kestrum::LinuxThermalSignal {

bool isVirtualMachine(const QString& procRoot, const QString& sysRoot) {
    if (const auto cpuinfo = sysfs::readFile(procRoot + QStringLiteral("/cpuinfo"), 4 * 1024 * 1024)) {
        for (const QByteArray& line : cpuinfo->split('\n')) {
            // x86 "flags", and the same word on other architectures' feature lines.
            if (!line.startsWith("flags") && !line.startsWith("Features"))
                continue;
            const qsizetype colon = line.indexOf(':');
            const QList<QByteArray> flags = line.mid(colon + 1).simplified().split(' ');
            if (flags.contains("hypervisor"))
                return true;
        }
    }
    const QString dmi = sysRoot + QStringLiteral("/class/dmi/id/");
    const QString vendor = sysfs::readText(dmi + QStringLiteral("sys_vendor")).value_or(QString());
    const QString product = sysfs::readText(dmi + QStringLiteral("product_name")).value_or(QString());
    static const char* const hypervisorVendors[] = {"QEMU",    "KVM",       "VMware", "Xen",
                                                    "innotek", "Parallels", "Bochs"};
    for (const char* name : hypervisorVendors) {
        if (vendor.contains(QLatin1String(name), Qt::CaseInsensitive) ||
            product.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    }
    // Hyper-V guests: Microsoft's vendor with its "Virtual Machine" product (not a Surface laptop).
    return vendor.contains(QLatin1String("Microsoft"), Qt::CaseInsensitive) &&
           product.contains(QLatin1String("Virtual Machine"), Qt::CaseInsensitive);
}

bool kernelExposesThermalSource(const QString& sysRoot) {
    const QString thermal = sysRoot + QStringLiteral("/class/thermal/");
    for (const QString& entry : sysfs::listDirectory(thermal)) {
        if (entry.startsWith(QLatin1String("thermal_zone")) &&
            sysfs::exists(thermal + entry + QStringLiteral("/temp")))
            return true;
        if (entry.startsWith(QLatin1String("cooling_device")) &&
            sysfs::readInteger(thermal + entry + QStringLiteral("/max_state")).value_or(0) > 0)
            return true;
    }
    if (sysfs::exists(sysRoot + QStringLiteral("/devices/system/cpu/cpu0/thermal_throttle")))
        return true;
    const QString hwmon = sysRoot + QStringLiteral("/class/hwmon/");
    for (const QString& device : sysfs::listDirectory(hwmon)) {
        for (const QString& attribute : sysfs::listDirectory(hwmon + device)) {
            if (attribute.startsWith(QLatin1String("temp")) && attribute.endsWith(QLatin1String("_input")))
                return true;
        }
    }
    return false;
}

bool machineOffersThermalSignal(const QString& procRoot, const QString& sysRoot) {
    return !isVirtualMachine(procRoot, sysRoot) && kernelExposesThermalSource(sysRoot);
}

} // namespace kestrum::LinuxThermalSignal
