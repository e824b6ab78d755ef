#include "ProcMeminfoMemorySnapshotReader.h"

#include "SysfsFiles.h"

#include <charconv>
#include <unistd.h>

namespace kestrum {

ProcMeminfoMemorySnapshotReader::ProcMeminfoMemorySnapshotReader(QString procRoot, QString sysRoot,
                                                                 uint64_t pageSizeBytes)
    : m_procRoot(std::move(procRoot)), m_sysRoot(std::move(sysRoot)), m_pageSize(pageSizeBytes) {
    if (m_pageSize == 0) {
        const long size = ::sysconf(_SC_PAGESIZE);
        m_pageSize = size > 0 ? static_cast<uint64_t>(size) : 0;
    }
}

std::map<QByteArray, uint64_t> ProcMeminfoMemorySnapshotReader::parseMeminfo(QByteArrayView text) {
    std::map<QByteArray, uint64_t> values;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(pos, end - pos);
        pos = end + 1;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        QByteArrayView rest = line.sliced(colon + 1).trimmed();
        uint64_t multiplier = 1;
        if (rest.endsWith(" kB")) {
            rest.chop(3);
            multiplier = 1024;
        }
        uint64_t value = 0;
        const auto [ptr, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (ec != std::errc() || ptr != rest.data() + rest.size())
            continue;
        uint64_t bytes = 0;
        if (__builtin_mul_overflow(value, multiplier, &bytes))
            continue;
        values.emplace(line.first(colon).toByteArray(), bytes);
    }
    return values;
}

std::optional<uint64_t> ProcMeminfoMemorySnapshotReader::parseZramCompressedBytes(QByteArrayView text) {
    const QList<QByteArray> fields = text.trimmed().toByteArray().simplified().split(' ');
    if (fields.size() < 2)
        return std::nullopt;
    const auto value = sysfs::parseInteger(fields[1]);
    if (!value || *value < 0)
        return std::nullopt;
    return static_cast<uint64_t>(*value);
}

std::optional<MachMemorySnapshot>
ProcMeminfoMemorySnapshotReader::snapshot(const std::map<QByteArray, uint64_t>& meminfo,
                                          uint64_t zramCompressedBytes, uint64_t pageSizeBytes) {
    const auto get = [&](const char* key) -> std::optional<uint64_t> {
        const auto it = meminfo.find(QByteArray(key));
        if (it == meminfo.end())
            return std::nullopt;
        return it->second;
    };
    const auto total = get("MemTotal");
    if (!total || *total == 0 || pageSizeBytes == 0)
        return std::nullopt;
    auto available = get("MemAvailable");
    if (!available) {
        // Kernels before 3.14 lack MemAvailable; estimate it the way they were read then.
        const auto free = get("MemFree");
        if (!free)
            return std::nullopt;
        const uint64_t reclaimable =
            get("Buffers").value_or(0) + get("Cached").value_or(0) + get("SReclaimable").value_or(0);
        const uint64_t shared = get("Shmem").value_or(0);
        available = *free + (reclaimable > shared ? reclaimable - shared : 0);
    }
    const uint64_t availableBytes = std::min(*available, *total);
    const uint64_t wired = get("Unevictable").value_or(0) + get("SUnreclaim").value_or(0) +
                           get("KernelStack").value_or(0) + get("PageTables").value_or(0);
    const uint64_t compressed = zramCompressedBytes + get("Zswap").value_or(0);
    const uint64_t inUse = *total - availableBytes;
    const uint64_t active = inUse > wired + compressed ? inUse - wired - compressed : 0;

    MachMemorySnapshot out;
    out.physicalMemoryBytes = *total;
    out.pageSizeBytes = pageSizeBytes;
    // Round the byte figures to whole pages so that page × size gives them back.
    out.activePageCount = (active + pageSizeBytes / 2) / pageSizeBytes;
    out.wiredPageCount = (wired + pageSizeBytes / 2) / pageSizeBytes;
    out.compressedPageCount = (compressed + pageSizeBytes / 2) / pageSizeBytes;
    const uint64_t swapTotal = get("SwapTotal").value_or(0);
    const uint64_t swapFree = get("SwapFree").value_or(0);
    out.swapUsedBytes = swapTotal > swapFree ? swapTotal - swapFree : 0;
    return out;
}

std::optional<MachMemorySnapshot> ProcMeminfoMemorySnapshotReader::read() {
    const auto text = sysfs::readFile(m_procRoot + QStringLiteral("/meminfo"));
    if (!text)
        return std::nullopt;
    uint64_t zram = 0;
    const QString blockRoot = m_sysRoot + QStringLiteral("/block");
    for (const QString& name : sysfs::listDirectory(blockRoot)) {
        if (!name.startsWith(u"zram"))
            continue;
        if (const auto stat = sysfs::readFile(blockRoot + u'/' + name + QStringLiteral("/mm_stat"), 1024)) {
            if (const auto bytes = parseZramCompressedBytes(*stat))
                zram += *bytes;
        }
    }
    return snapshot(parseMeminfo(*text), zram, m_pageSize);
}

} // namespace kestrum
