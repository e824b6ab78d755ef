#include "DrmGPUStatsProvider.h"

#include "NvmlLibrary.h"
#include "SysfsFiles.h"
#include "foundation/Translatable.h"

#include <QRegularExpression>

namespace kestrum {

namespace {

constexpr uint16_t kVendorNvidia = 0x10de;

QString noUtilizationReason() {
    return trText("Bu grafik sürücüsü sistem genelindeki GPU kullanımını sunmuyor.");
}

// "Advanced Micro Devices, Inc. [AMD/ATI]" reads better as its bracketed short name.
QString shortVendorName(const QString& vendor) {
    static const QRegularExpression bracket(QStringLiteral("\\[([^\\]]+)\\]\\s*$"));
    const auto match = bracket.match(vendor);
    return match.hasMatch() ? match.captured(1) : vendor;
}

std::optional<QString> ofCompatibleName(const QString& uevent) {
    for (const QString& line : uevent.split(u'\n')) {
        if (line.startsWith(u"OF_COMPATIBLE_")) {
            const QString value = line.section(u'=', 1);
            if (auto apple = DrmGPUStatsProvider::appleGPUName(value))
                return apple;
        }
    }
    for (const QString& line : uevent.split(u'\n')) {
        if (line.startsWith(u"OF_COMPATIBLE_0="))
            return line.section(u'=', 1);
    }
    return std::nullopt;
}

} // namespace

DrmGPUStatsProvider::DrmGPUStatsProvider(QString sysRoot, QStringList pciIdsPaths,
                                         std::shared_ptr<NvmlLibrary> nvml)
    : m_sysRoot(std::move(sysRoot)), m_pciIdsPaths(std::move(pciIdsPaths)), m_nvml(std::move(nvml)) {}

std::optional<QString> DrmGPUStatsProvider::appleGPUName(const QString& compatible) {
    static const std::pair<const char*, const char*> socs[] = {
        {"t8103", "M1"}, {"t6000", "M1 Pro"}, {"t6001", "M1 Max"}, {"t6002", "M1 Ultra"},
        {"t8112", "M2"}, {"t6020", "M2 Pro"}, {"t6021", "M2 Max"}, {"t6022", "M2 Ultra"},
    };
    if (!compatible.startsWith(u"apple,"))
        return std::nullopt;
    for (const auto& [soc, chip] : socs) {
        if (compatible.endsWith(QLatin1String(soc)))
            return QStringLiteral("Apple %1 GPU").arg(QLatin1String(chip));
    }
    return std::nullopt;
}

std::optional<QString> DrmGPUStatsProvider::pciName(QByteArrayView pciIds, uint16_t vendor, uint16_t device) {
    const QByteArray vendorKey = QByteArray::number(vendor, 16).rightJustified(4, '0');
    const QByteArray deviceKey = QByteArray::number(device, 16).rightJustified(4, '0');
    std::optional<QString> vendorName;
    qsizetype pos = 0;
    while (pos < pciIds.size()) {
        qsizetype end = pciIds.indexOf('\n', pos);
        if (end < 0)
            end = pciIds.size();
        const QByteArrayView line = pciIds.sliced(pos, end - pos);
        pos = end + 1;
        if (line.isEmpty() || line[0] == '#')
            continue;
        if (!vendorName) {
            // Vendor lines start in column 0: "8086  Intel Corporation".
            if (line[0] != '\t' && line.startsWith(vendorKey) && line.size() > 6)
                vendorName = QString::fromUtf8(line.sliced(4).trimmed());
            continue;
        }
        if (line[0] != '\t')
            break; // the next vendor: the device is not listed
        if (line.size() > 1 && line[1] == '\t')
            continue; // subsystem lines
        const QByteArrayView entry = line.sliced(1);
        if (entry.startsWith(deviceKey) && entry.size() > 6)
            return shortVendorName(*vendorName) + u' ' + QString::fromUtf8(entry.sliced(4).trimmed());
    }
    if (vendorName)
        return shortVendorName(*vendorName) + QStringLiteral(" (PCI %1)").arg(QString::fromLatin1(deviceKey));
    return std::nullopt;
}

DrmGPUStatsProvider::Identity DrmGPUStatsProvider::discoverIdentity(const QString& sysRoot,
                                                                    const QStringList& pciIdsPaths) {
    Identity identity;
    const QString drm = sysRoot + QStringLiteral("/class/drm");
    QStringList cards = sysfs::listDirectory(drm);
    sysfs::sortNumerically(cards);
    static const QRegularExpression cardName(QStringLiteral("^card[0-9]+$"));
    for (const QString& card : cards) {
        if (!cardName.match(card).hasMatch())
            continue;
        const QString device = drm + u'/' + card + QStringLiteral("/device");
        if (sysfs::isDirectory(device)) {
            identity.devicePath = device;
            break;
        }
    }
    if (identity.devicePath.isEmpty()) {
        // Headless servers often have no DRM card for their accelerator: look for a PCI display controller.
        const QString pci = sysRoot + QStringLiteral("/bus/pci/devices");
        for (const QString& slot : sysfs::listDirectory(pci)) {
            const auto pciClass = sysfs::readHexOrDecimal(pci + u'/' + slot + QStringLiteral("/class"));
            if (pciClass && ((*pciClass >> 16) & 0xff) == 0x03) {
                identity.devicePath = pci + u'/' + slot;
                break;
            }
        }
    }
    if (identity.devicePath.isEmpty())
        return identity;

    const auto vendor = sysfs::readHexOrDecimal(identity.devicePath + QStringLiteral("/vendor"));
    const auto device = sysfs::readHexOrDecimal(identity.devicePath + QStringLiteral("/device"));
    if (vendor && device) {
        identity.pciBusId = sysfs::linkTargetName(identity.devicePath).value_or(QString());
        if (identity.pciBusId.isEmpty())
            identity.pciBusId = identity.devicePath.section(u'/', -1);
        identity.isNvidia = *vendor == kVendorNvidia;
        for (const QString& path : pciIdsPaths) {
            if (const auto ids = sysfs::readFile(path, 8 * 1024 * 1024)) {
                identity.name = pciName(*ids, static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*device));
                if (identity.name)
                    break;
            }
        }
        if (!identity.name)
            identity.name = QStringLiteral("PCI %1:%2")
                                .arg(*vendor, 4, 16, QLatin1Char('0'))
                                .arg(*device, 4, 16, QLatin1Char('0'));
        // Discrete cards have their own memory: amdgpu shows a VRAM file, NVIDIA cards are discrete.
        identity.hasUnifiedMemory =
            !identity.isNvidia &&
            !sysfs::exists(identity.devicePath + QStringLiteral("/mem_info_vram_total"));
    } else {
        // A platform device (Apple silicon and other SoCs): named by the device tree.
        const QString uevent =
            sysfs::readText(identity.devicePath + QStringLiteral("/uevent")).value_or(QString());
        identity.name = ofCompatibleName(uevent);
        identity.hasUnifiedMemory = true;
    }
    return identity;
}

DrmGPUStatsProvider::Identity DrmGPUStatsProvider::identity() {
    std::lock_guard lock(m_mutex);
    if (!m_identity)
        m_identity = discoverIdentity(m_sysRoot, m_pciIdsPaths);
    return *m_identity;
}

GPUStats DrmGPUStatsProvider::sample() {
    const Identity id = identity();
    GPUStats stats;
    stats.name = id.name;
    stats.hasUnifiedMemory = id.hasUnifiedMemory;
    stats.systemUtilizationAvailability = MetricAvailability::unavailable(noUtilizationReason());
    if (id.devicePath.isEmpty()) {
        stats.systemUtilizationAvailability =
            MetricAvailability::unavailable(trText("Grafik aygıtı bulunamadı."));
        if (m_nvml) {
            if (const auto reading = m_nvml->read(QString())) {
                stats.name = reading->name;
                stats.hasUnifiedMemory = false;
                stats.currentMetalResourceBytes = reading->usedMemoryBytes;
                stats.systemUtilizationFraction = reading->utilizationFraction;
                if (stats.systemUtilizationFraction)
                    stats.systemUtilizationAvailability = MetricAvailability::available();
            }
        }
        return stats;
    }
    if (id.isNvidia && m_nvml) {
        if (const auto reading = m_nvml->read(id.pciBusId)) {
            if (reading->name)
                stats.name = reading->name;
            stats.currentMetalResourceBytes = reading->usedMemoryBytes;
            stats.systemUtilizationFraction = reading->utilizationFraction;
        }
    } else {
        if (const auto busy = sysfs::readInteger(id.devicePath + QStringLiteral("/gpu_busy_percent"));
            busy && *busy >= 0 && *busy <= 100)
            stats.systemUtilizationFraction = static_cast<double>(*busy) / 100.0;
        if (const auto used = sysfs::readInteger(id.devicePath + QStringLiteral("/mem_info_vram_used"));
            used && *used >= 0)
            stats.currentMetalResourceBytes = static_cast<uint64_t>(*used);
    }
    if (stats.systemUtilizationFraction)
        stats.systemUtilizationAvailability = MetricAvailability::available();
    return stats;
}

} // namespace kestrum
