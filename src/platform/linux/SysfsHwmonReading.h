#pragma once

// The read-only connection to the kernel's hardware-monitoring devices under <sys>/class/hwmon. It finds
// devices by their `name` and reads the attributes it is asked for; it never lists a device's files.

#include "advanced/AdvancedHwmonChannels.h"

#include <QHash>
#include <QString>
#include <mutex>

namespace kestrum {

class SysfsHwmonReading : public AdvancedHwmonReading {
public:
    explicit SysfsHwmonReading(QString sysRoot);
    ~SysfsHwmonReading() override;
    SysfsHwmonReading(const SysfsHwmonReading&) = delete;
    SysfsHwmonReading& operator=(const SysfsHwmonReading&) = delete;

    std::vector<AdvancedHwmonDevice> devices(const QString& name) override;
    AdvancedHwmonRead read(const AdvancedHwmonDevice& device, const QString& attribute) override;

    // The names of every hwmon device present, for matching the compatibility records.
    std::set<QString> deviceNames();

private:
    // Every device with the folder its attributes live in: the hwmon folder itself, or its parent device
    // for drivers on the legacy registration (applesmc), whose hwmon folder has no `name`.
    std::vector<AdvancedHwmonDevice> allDevices();

    AdvancedHwmonRead readKept(const QString& path);
    QString nameAt(const QString& folder);
    void closeAll();

    QString m_classFolder;
    // Attributes read before stay open: a read at offset 0 asks the driver again, so a sample costs one
    // system call per value instead of four. A handle that fails is dropped and the path opened anew.
    std::mutex m_mutex;
    QHash<QString, int> m_open;
};

// The identity the compatibility records are matched against: the hwmon device names and the running
// kernel's release (<proc>/sys/kernel/osrelease). Absent when the release is unreadable.
std::optional<AdvancedTelemetrySystemIdentity> readAdvancedTelemetryIdentity(const QString& procRoot,
                                                                             const QString& sysRoot);

} // namespace kestrum
