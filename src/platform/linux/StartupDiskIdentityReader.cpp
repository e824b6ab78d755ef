#include "StartupDiskIdentityReader.h"

#include "SysfsFiles.h"
#include "foundation/Translatable.h"
#include "hardware/StorageDeviceIdentityParser.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace kestrum {

namespace {

constexpr int kMaximumLayerDepth = 8;

// Mount paths and sources escape space, tab, newline and backslash as \ooo.
QString unescapeMountField(const QString& field) {
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'\\' && i + 3 < field.size()) {
            const QString digits = field.mid(i + 1, 3);
            const bool octal =
                std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'7'; });
            if (octal) {
                out += QChar(digits.toInt(nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool oneOf(const QString& value, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (value == QLatin1String(name))
            return true;
    }
    return false;
}

} // namespace

StartupDiskIdentityReader::StartupDiskIdentityReader(QString procRoot, QString sysRoot, QString mountPoint)
    : m_procRoot(std::move(procRoot)), m_sysRoot(std::move(sysRoot)), m_mountPoint(std::move(mountPoint)) {}

std::optional<StartupDiskIdentityReader::MountEntry>
StartupDiskIdentityReader::mountEntry(const QString& mountinfo, const QString& mountPoint) {
    std::optional<MountEntry> found;
    for (const QString& line : mountinfo.split(u'\n')) {
        // id parent major:minor root mountpoint options [optional fields…] - type source super-options
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        const qsizetype separator = fields.indexOf(QStringLiteral("-"));
        if (fields.size() < 7 || separator < 6 || separator + 2 >= fields.size())
            continue;
        if (unescapeMountField(fields[4]) != mountPoint)
            continue;
        found = MountEntry{fields[2], unescapeMountField(fields[4]), fields[separator + 1],
                           unescapeMountField(fields[separator + 2])};
    }
    return found;
}

std::optional<QString> StartupDiskIdentityReader::kernelNameForMount(const MountEntry& mount) const {
    // A real device number names the device directly; btrfs (and anything else on an anonymous device
    // number, major 0) only names it in the source.
    if (!mount.majorMinor.startsWith(u"0:")) {
        const QString node = m_sysRoot + QStringLiteral("/dev/block/") + mount.majorMinor;
        if (auto name = sysfs::linkTargetName(node))
            return name;
        const QString uevent = sysfs::readText(node + QStringLiteral("/uevent")).value_or(QString());
        for (const QString& line : uevent.split(u'\n')) {
            if (line.startsWith(u"DEVNAME="))
                return line.mid(8);
        }
    }
    if (!mount.source.startsWith(u"/dev/"))
        return std::nullopt;
    if (mount.source.startsWith(u"/dev/mapper/")) {
        const QString mapped = mount.source.mid(12);
        const QString classBlock = m_sysRoot + QStringLiteral("/class/block/");
        for (const QString& entry : sysfs::listDirectory(classBlock)) {
            if (entry.startsWith(u"dm-") &&
                sysfs::readText(classBlock + entry + QStringLiteral("/dm/name")) == mapped)
                return entry;
        }
        return std::nullopt;
    }
    const QString name = mount.source.mid(5);
    if (name.contains(u'/') || !sysfs::exists(m_sysRoot + QStringLiteral("/class/block/") + name))
        return std::nullopt; // /dev/disk/by-… links cannot be followed from here
    return name;
}

QStringList StartupDiskIdentityReader::wholeDisks(const QString& name, int depth) const {
    if (depth > kMaximumLayerDepth)
        return {};
    const QString device = m_sysRoot + QStringLiteral("/class/block/") + name;
    const QStringList slaves = sysfs::listDirectory(device + QStringLiteral("/slaves"));
    if (!slaves.isEmpty()) {
        // device-mapper (LUKS, LVM) and md layers: the disks beneath every member.
        QStringList disks;
        for (const QString& slave : slaves) {
            for (const QString& disk : wholeDisks(slave, depth + 1)) {
                if (!disks.contains(disk))
                    disks << disk;
            }
        }
        return disks;
    }
    if (sysfs::exists(device + QStringLiteral("/partition"))) {
        const QString block = m_sysRoot + QStringLiteral("/block/");
        for (const QString& disk : sysfs::listDirectory(block)) {
            if (sysfs::isDirectory(block + disk + u'/' + name))
                return {disk};
        }
        return {};
    }
    if (sysfs::isDirectory(m_sysRoot + QStringLiteral("/block/") + name))
        return {name};
    return {};
}

StartupDiskIdentityReader::Resolution
StartupDiskIdentityReader::resolveWholeDisk(const MountEntry& mount) const {
    const QString& type = mount.fileSystemType;
    if (oneOf(type, {"tmpfs", "ramfs", "rootfs"}))
        return {std::nullopt,
                trTemplate("Kök dosya sistemi bellekte (\\(type)); başlangıç diski yok.", {type})};
    if (oneOf(type, {"overlay", "aufs", "unionfs"}) || type.startsWith(u"fuse.overlay"))
        return {
            std::nullopt,
            trTemplate("Kök dosya sistemi katmanlı bir dosya sistemi (\\(type)); altındaki disk kesin olarak "
                       "belirlenemiyor.",
                       {type})};
    if (oneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p", "virtiofs", "ceph", "glusterfs", "afs"}) ||
        type.startsWith(u"fuse"))
        return {std::nullopt,
                trTemplate("Kök dosya sistemi ağ veya sanal makine paylaşımından bağlı (\\(type)); "
                           "yerel bir başlangıç diski yok.",
                           {type})};
    if (type == u"zfs")
        return {std::nullopt,
                trText("Kök dosya sistemi bir ZFS havuzunda; havuzun diskleri buradan eşleştirilemediği "
                       "için tek bir disk gösterilmiyor.")};

    const std::optional<QString> name = kernelNameForMount(mount);
    if (!name)
        return {std::nullopt,
                trTemplate("Kök dosya sisteminin blok aygıtı bulunamadı (\\(source)).", {mount.source})};
    if (name->startsWith(u"loop"))
        return {std::nullopt,
                trText("Kök dosya sistemi bir dosyadan bağlanan loop aygıtında; başlangıç diski yok.")};

    if (type == u"btrfs") {
        // A btrfs file system lists every device it spans.
        const QString btrfs = m_sysRoot + QStringLiteral("/fs/btrfs/");
        for (const QString& uuid : sysfs::listDirectory(btrfs)) {
            const QStringList devices = sysfs::listDirectory(btrfs + uuid + QStringLiteral("/devices"));
            if (devices.contains(*name) && devices.size() > 1)
                return {std::nullopt,
                        trTemplate("Kök dosya sistemi birden çok diske yayılıyor (\\(count) aygıt); "
                                   "tek bir disk gösterilmiyor.",
                                   {QString::number(devices.size())})};
        }
    }

    const QStringList disks = wholeDisks(*name, 0);
    if (disks.size() > 1)
        return {std::nullopt,
                trTemplate("Kök dosya sistemi birden çok diske yayılıyor (\\(count) aygıt); tek bir disk "
                           "gösterilmiyor.",
                           {QString::number(disks.size())})};
    if (disks.isEmpty())
        return {std::nullopt,
                trTemplate("Kök dosya sisteminin blok aygıtı bulunamadı (\\(source)).", {*name})};
    return {disks.first(), std::nullopt};
}

QString StartupDiskIdentityReader::transport(const QString& disk) const {
    if (disk.startsWith(u"nvme"))
        return QStringLiteral("nvme");
    if (disk.startsWith(u"mmcblk"))
        return QStringLiteral("mmc");
    if (disk.startsWith(u"vd"))
        return QStringLiteral("virtio");
    const QString path = QFileInfo(m_sysRoot + QStringLiteral("/block/") + disk).canonicalFilePath();
    if (path.contains(u"/usb"))
        return QStringLiteral("usb");
    // SCSI disks: the host adapter's driver tells SATA from the rest.
    static const QRegularExpression host(QStringLiteral("^(.*/(host[0-9]+))/"));
    if (const auto match = host.match(path); match.hasMatch()) {
        const auto driver = sysfs::readText(match.captured(1) + QStringLiteral("/scsi_host/") +
                                            match.captured(2) + QStringLiteral("/proc_name"));
        if (driver) {
            if (driver->startsWith(u"ahci") || driver->startsWith(u"sata"))
                return QStringLiteral("sata");
            if (driver->contains(u"ata"))
                return QStringLiteral("ata");
            if (driver->startsWith(u"virtio"))
                return QStringLiteral("virtio");
            if (*driver == u"usb-storage" || *driver == u"uas")
                return QStringLiteral("usb");
        }
    }
    if (path.contains(u"/ata"))
        return QStringLiteral("sata");
    if (path.contains(u"/virtio"))
        return QStringLiteral("virtio");
    return {};
}

QVariantMap StartupDiskIdentityReader::describe(const QString& disk) const {
    using namespace StorageDeviceIdentityParser;
    const QString dir = m_sysRoot + QStringLiteral("/block/") + disk;
    QVariantMap description;
    if (const auto sectors = sysfs::readInteger(dir + QStringLiteral("/size")); sectors && *sectors > 0)
        description.insert(kMediaSizeKey,
                           QVariant::fromValue<qulonglong>(static_cast<qulonglong>(*sectors) * 512));

    const QString kind = transport(disk);
    const QString cardType = sysfs::readText(dir + QStringLiteral("/device/type")).value_or(QString());
    auto model = sysfs::readText(dir + QStringLiteral("/device/model"));
    if (!model && kind == u"mmc")
        model = sysfs::readText(dir + QStringLiteral("/device/name"));
    if (model)
        description.insert(kDeviceModelKey, model->simplified());
    // "ATA" is the SCSI translation layer speaking, and hexadecimal ids are no names.
    static const QRegularExpression hexId(QStringLiteral("^0x[0-9A-Fa-f]+$"));
    if (const auto vendor = sysfs::readText(dir + QStringLiteral("/device/vendor"));
        vendor && *vendor != u"ATA" && !hexId.match(*vendor).hasMatch())
        description.insert(kDeviceVendorKey, vendor->simplified());

    static const std::pair<const char*, const char*> protocolNames[] = {
        {"nvme", "NVMe"}, {"sata", "SATA"}, {"ata", "ATA"}, {"usb", "USB"}, {"virtio", "VirtIO"}};
    for (const auto& [transportName, protocol] : protocolNames) {
        if (kind == QLatin1String(transportName))
            description.insert(kDeviceProtocolKey, QString::fromLatin1(protocol));
    }
    if (kind == u"mmc")
        description.insert(kDeviceProtocolKey, cardType == u"MMC"  ? QStringLiteral("eMMC")
                                               : cardType == u"SD" ? QStringLiteral("SD")
                                                                   : QStringLiteral("MMC"));

    if (const auto rotational = sysfs::readInteger(dir + QStringLiteral("/queue/rotational")))
        description.insert(kMediaSolidStateKey, *rotational == 0);
    const auto removable = sysfs::readInteger(dir + QStringLiteral("/removable"));
    const bool externalBus = kind == u"usb" || (kind == u"mmc" && cardType == u"SD");
    if (removable && (!kind.isEmpty() || *removable != 0))
        description.insert(kDeviceInternalKey, *removable == 0 && !externalBus);
    return description;
}

StartupDiskReading StartupDiskIdentityReader::read() {
    StartupDiskReading reading;
    const auto mountinfo = sysfs::readFile(m_procRoot + QStringLiteral("/self/mountinfo"), 4 * 1024 * 1024);
    const auto mount = mountinfo ? mountEntry(QString::fromUtf8(*mountinfo), m_mountPoint) : std::nullopt;
    if (!mount) {
        reading.unavailableReason = trText("Kök dosya sisteminin bağlantı bilgisi okunamadı.");
        return reading;
    }
    const Resolution resolution = resolveWholeDisk(*mount);
    if (!resolution.disk) {
        reading.unavailableReason = resolution.reason;
        return reading;
    }
    reading.deviceName = resolution.disk;
    reading.identity = StorageDeviceIdentityParser::identity(describe(*resolution.disk));
    if (!reading.identity->model && !reading.identity->physicalBytes)
        reading.unavailableReason =
            trTemplate("Başlangıç diskinin modeli ve boyutu okunamadı (\\(disk)).", {*resolution.disk});
    return reading;
}

} // namespace kestrum
