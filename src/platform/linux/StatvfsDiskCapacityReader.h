#pragma once

#include "measurement/StatsProviding.h"

#include <QString>

struct statvfs;

namespace kestrum {

// Capacity of the start-up volume from statvfs, the way `df` shows it. Blocks reserved for root are
// neither usable nor used by the user, so the total is the part a user can fill, Used + Avail =
// (f_blocks − f_bfree + f_bavail) × f_frsize, and usage equals df's Use% on every file system. Linux has no
// purgeable space, so both available figures are f_bavail × f_frsize.
class StatvfsDiskCapacityReader : public DiskCapacityReading {
public:
    explicit StatvfsDiskCapacityReader(QString volumePath = QStringLiteral("/"));
    std::optional<DiskCapacitySnapshot> read() override;

    static DiskCapacitySnapshot capacity(const struct statvfs& info);

private:
    QByteArray m_path;
};

} // namespace kestrum
