#pragma once

#include "hardware/HardwareProfileDiscovering.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kestrum {

// The start-up disk: the mount of "/" in /proc/self/mountinfo → its block device → the whole disk
// beneath it (through device-mapper and md layers and partitions) → model, vendor, size, rotation,
// removability and transport, as lsblk reports them. Root file systems that live on no single disk
// (tmpfs, overlay, network shares, multi-device btrfs, ZFS, LVM or RAID across disks) give no disk and
// say why: never a wrong one.
class StartupDiskIdentityReader : public StorageDeviceIdentityReading {
public:
    explicit StartupDiskIdentityReader(QString procRoot = QStringLiteral("/proc"),
                                       QString sysRoot = QStringLiteral("/sys"),
                                       QString mountPoint = QStringLiteral("/"));
    StartupDiskReading read() override;

    struct MountEntry {
        QString majorMinor; // "259:2"
        QString mountPoint;
        QString fileSystemType;
        QString source;
        bool operator==(const MountEntry&) const = default;
    };
    // The entry that is visible at `mountPoint`: the last one mounted there.
    static std::optional<MountEntry> mountEntry(const QString& mountinfo, const QString& mountPoint);

    struct Resolution {
        std::optional<QString> disk; // kernel name of the whole disk, "nvme0n1"
        std::optional<QString> reason;
    };
    Resolution resolveWholeDisk(const MountEntry& mount) const;
    // The disk description the identity parser takes.
    QVariantMap describe(const QString& disk) const;
    // "nvme", "sata", "ata", "usb", "mmc", "virtio", or empty when not known.
    QString transport(const QString& disk) const;

private:
    std::optional<QString> kernelNameForMount(const MountEntry& mount) const;
    QStringList wholeDisks(const QString& name, int depth) const;

    QString m_procRoot;
    QString m_sysRoot;
    QString m_mountPoint;
};

} // namespace kestrum
