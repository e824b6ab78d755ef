#pragma once

#include "measurement/StatsProviding.h"

#include <QString>

namespace kestrum {

// Sums rx/tx byte counters of the named interfaces that are up and not loopback.
class SysfsNetworkByteCounterReader : public NetworkByteCounterReading {
public:
    explicit SysfsNetworkByteCounterReader(QString sysRoot = QStringLiteral("/sys"));
    std::optional<NetworkByteCounter> read(const std::set<QString>& interfaceNames) override;

private:
    QString m_netRoot;
};

} // namespace kestrum
