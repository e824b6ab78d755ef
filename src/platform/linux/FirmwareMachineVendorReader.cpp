#include "FirmwareMachineVendorReader.h"

#include "SysfsFiles.h"

namespace kestrum {

FirmwareMachineVendorReader::FirmwareMachineVendorReader(QString procRoot, QString sysRoot)
    : m_procRoot(std::move(procRoot)), m_sysRoot(std::move(sysRoot)) {}

bool FirmwareMachineVendorReader::isMac() const {
    for (const QString& path : {m_procRoot + QStringLiteral("/device-tree/compatible"),
                                m_sysRoot + QStringLiteral("/firmware/devicetree/base/compatible")}) {
        if (const auto compatible = sysfs::readFile(path, 4096))
            return isAppleBoard(*compatible);
    }
    const auto vendor = sysfs::readText(m_sysRoot + QStringLiteral("/class/dmi/id/sys_vendor"));
    return vendor && isAppleVendor(*vendor);
}

bool FirmwareMachineVendorReader::isAppleBoard(const QByteArray& compatible) {
    return compatible.startsWith("apple,");
}

bool FirmwareMachineVendorReader::isAppleVendor(const QString& sysVendor) {
    // Intel Macs say "Apple Inc."; the first ones said "Apple Computer, Inc.".
    const QString vendor = sysVendor.trimmed();
    return vendor == u"Apple Inc." || vendor == u"Apple Computer, Inc.";
}

} // namespace kestrum
