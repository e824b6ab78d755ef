#include "SysfsNetworkByteCounterReader.h"

#include "SysfsFiles.h"

namespace kestrum {

namespace {
constexpr int64_t kIffUp = 0x1;
constexpr int64_t kIffLoopback = 0x8;
} // namespace

SysfsNetworkByteCounterReader::SysfsNetworkByteCounterReader(QString sysRoot)
    : m_netRoot(sysRoot + QStringLiteral("/class/net/")) {}

std::optional<NetworkByteCounter>
SysfsNetworkByteCounterReader::read(const std::set<QString>& interfaceNames) {
    if (interfaceNames.empty())
        return std::nullopt;
    NetworkByteCounter sum;
    bool counted = false;
    for (const QString& name : interfaceNames) {
        if (name.contains(u'/') || name.startsWith(u'.'))
            continue;
        const QString base = m_netRoot + name;
        const auto flags = sysfs::readHexOrDecimal(base + QStringLiteral("/flags"));
        if (!flags || !(*flags & kIffUp) || (*flags & kIffLoopback))
            continue;
        const auto received = sysfs::readInteger(base + QStringLiteral("/statistics/rx_bytes"));
        const auto sent = sysfs::readInteger(base + QStringLiteral("/statistics/tx_bytes"));
        if (!received || !sent || *received < 0 || *sent < 0)
            continue;
        sum.receivedBytes += static_cast<uint64_t>(*received);
        sum.sentBytes += static_cast<uint64_t>(*sent);
        counted = true;
    }
    if (!counted)
        return std::nullopt;
    return sum;
}

} // namespace kestrum
