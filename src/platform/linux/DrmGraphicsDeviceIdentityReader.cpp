#include "DrmGraphicsDeviceIdentityReader.h"

#include "DrmGPUStatsProvider.h"

namespace kestrum {

DrmGraphicsDeviceIdentityReader::DrmGraphicsDeviceIdentityReader(QString sysRoot, QStringList pciIdsPaths)
    : m_sysRoot(std::move(sysRoot)), m_pciIdsPaths(std::move(pciIdsPaths)) {}

std::optional<QString> DrmGraphicsDeviceIdentityReader::read() {
    return DrmGPUStatsProvider::discoverIdentity(m_sysRoot, m_pciIdsPaths).name;
}

} // namespace kestrum
