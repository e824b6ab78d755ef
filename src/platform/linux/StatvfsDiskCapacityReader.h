#pragma once

#include "measurement/StatsProviding.h"

#include <QString>

namespace kestrum {

// Capacity of the start-up volume from statvfs. Linux has no purgeable space, so both available
// figures are the space available to unprivileged users (f_bavail × f_frsize).
class StatvfsDiskCapacityReader : public DiskCapacityReading {
public:
    explicit StatvfsDiskCapacityReader(QString volumePath = QStringLiteral("/"));
    std::optional<DiskCapacitySnapshot> read() override;

private:
    QByteArray m_path;
};

} // namespace kestrum
