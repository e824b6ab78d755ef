#include "StatvfsDiskCapacityReader.h"

#include <QFile>
#include <limits>
#include <sys/statvfs.h>

namespace kestrum {

StatvfsDiskCapacityReader::StatvfsDiskCapacityReader(QString volumePath)
    : m_path(QFile::encodeName(volumePath)) {}

DiskCapacitySnapshot StatvfsDiskCapacityReader::capacity(const struct statvfs& info) {
    const auto bytes = [](unsigned long long blocks, unsigned long long size) -> int64_t {
        unsigned long long product = 0;
        if (__builtin_mul_overflow(blocks, size, &product) ||
            product > static_cast<unsigned long long>(std::numeric_limits<int64_t>::max()))
            return std::numeric_limits<int64_t>::max();
        return static_cast<int64_t>(product);
    };
    const unsigned long long fragment = info.f_frsize ? info.f_frsize : info.f_bsize;
    const unsigned long long used = info.f_blocks > info.f_bfree ? info.f_blocks - info.f_bfree : 0;
    unsigned long long fillable = 0;
    if (__builtin_add_overflow(used, static_cast<unsigned long long>(info.f_bavail), &fillable))
        fillable = std::numeric_limits<unsigned long long>::max();
    const int64_t available = bytes(info.f_bavail, fragment);
    return DiskCapacitySnapshot{bytes(fillable, fragment), available, available};
}

std::optional<DiskCapacitySnapshot> StatvfsDiskCapacityReader::read() {
    struct statvfs info {};
    if (::statvfs(m_path.constData(), &info) != 0)
        return std::nullopt;
    return capacity(info);
}

} // namespace kestrum
