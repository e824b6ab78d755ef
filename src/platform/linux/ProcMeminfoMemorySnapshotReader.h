#pragma once

#include "measurement/StatsProviding.h"

#include <QString>
#include <map>

namespace kestrum {

// Memory from /proc/meminfo, compressed memory from zram (`mm_stat`) and zswap (`Zswap:`).
// physical = MemTotal; wired = Unevictable + SUnreclaim + KernelStack + PageTables;
// active = MemTotal − MemAvailable − wired − compressed (never below 0); swap = SwapTotal − SwapFree.
// So "used" comes out as MemTotal − MemAvailable, what `free` shows.
class ProcMeminfoMemorySnapshotReader : public MachMemorySnapshotReading {
public:
    ProcMeminfoMemorySnapshotReader(QString procRoot = QStringLiteral("/proc"),
                                    QString sysRoot = QStringLiteral("/sys"), uint64_t pageSizeBytes = 0);
    std::optional<MachMemorySnapshot> read() override;

    // Key → value in bytes (the kB figures multiplied out).
    static std::map<QByteArray, uint64_t> parseMeminfo(QByteArrayView text);
    // The second field of a zram `mm_stat`: compressed data in bytes.
    static std::optional<uint64_t> parseZramCompressedBytes(QByteArrayView text);
    static std::optional<MachMemorySnapshot> snapshot(const std::map<QByteArray, uint64_t>& meminfo,
                                                      uint64_t zramCompressedBytes, uint64_t pageSizeBytes);

private:
    QString m_procRoot;
    QString m_sysRoot;
    uint64_t m_pageSize;
};

} // namespace kestrum
