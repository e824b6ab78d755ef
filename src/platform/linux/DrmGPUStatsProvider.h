#pragma once

#include "measurement/StatsProviding.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

namespace kestrum {

class NvmlLibrary;

// The graphics device: identity from the first DRM card with a device link (else the first PCI display
// controller), named through pci.ids or the device tree; allocated memory and utilization where Linux
// makes them public (amdgpu files, NVIDIA's NVML).
class DrmGPUStatsProvider : public GPUStatsProviding {
public:
    struct Identity {
        std::optional<QString> name;
        bool hasUnifiedMemory = true;
        QString devicePath; // <sys>/…/device, empty when there is no device
        QString pciBusId;   // "0000:01:00.0" for PCI devices
        bool isNvidia = false;
        bool operator==(const Identity&) const = default;
    };

    DrmGPUStatsProvider(QString sysRoot = QStringLiteral("/sys"),
                        QStringList pciIdsPaths = {QStringLiteral("/usr/share/hwdata/pci.ids"),
                                                   QStringLiteral("/usr/share/misc/pci.ids")},
                        std::shared_ptr<NvmlLibrary> nvml = {});
    GPUStats sample() override;

    // Read once: the device does not change while Kestrum runs.
    Identity identity();
    static Identity discoverIdentity(const QString& sysRoot, const QStringList& pciIdsPaths);
    // "Vendor Device" from a pci.ids text; absent when the vendor is not listed.
    static std::optional<QString> pciName(QByteArrayView pciIds, uint16_t vendor, uint16_t device);
    // Apple-silicon GPUs by their device-tree compatible string ("apple,agx-t8103" → "Apple M1 GPU").
    static std::optional<QString> appleGPUName(const QString& compatible);

private:
    QString m_sysRoot;
    QStringList m_pciIdsPaths;
    std::shared_ptr<NvmlLibrary> m_nvml;
    std::mutex m_mutex;
    std::optional<Identity> m_identity;
};

} // namespace kestrum
