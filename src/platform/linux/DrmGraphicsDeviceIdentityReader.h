#pragma once

#include "hardware/HardwareProfileDiscovering.h"

#include <QStringList>

namespace kestrum {

// The graphics device's name through the DRM/PCI identity the sampler uses.
class DrmGraphicsDeviceIdentityReader : public GraphicsDeviceIdentityReading {
public:
    DrmGraphicsDeviceIdentityReader(QString sysRoot, QStringList pciIdsPaths);
    std::optional<QString> read() override;

private:
    QString m_sysRoot;
    QStringList m_pciIdsPaths;
};

} // namespace kestrum
