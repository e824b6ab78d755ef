#pragma once

#include "hardware/HardwareProfileDiscovering.h"

#include <QDBusConnection>
#include <QString>
#include <optional>

namespace kestrum {

// The start-up disk's health where no administrator rights are needed: the SMART data udisks2 keeps on
// the system bus (ATA drives; NVMe controllers from udisks 2.10 on) and the NVMe composite temperature
// the kernel's hwmon driver offers. Every bus call shares one time budget, so a missing or hung service
// costs at most that budget; a missing service answers at once.
class UDisks2StorageHealthReader : public StorageHealthReading {
public:
    // Without a bus only the kernel's temperature is read.
    UDisks2StorageHealthReader(std::optional<QDBusConnection> bus, QString sysRoot = QStringLiteral("/sys"),
                               int budgetMilliseconds = 800);
    StorageHealth read(const QString& deviceName) override;

    // The object path element udisks2 makes of a kernel name: characters other than letters, digits
    // and "_" become "_" and two hexadecimal digits ("dm-0" → "dm_2d0").
    static QString objectPathElement(const QString& kernelName);

private:
    std::optional<double> hwmonTemperature(const QString& deviceName) const;

    std::optional<QDBusConnection> m_bus;
    QString m_sysRoot;
    int m_budgetMilliseconds;
};

} // namespace kestrum
