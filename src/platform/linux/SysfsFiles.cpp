#include "SysfsFiles.h"

#include <QCollator>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum::sysfs {

namespace {

// The error a recorded tree names for an attribute that is a folder, else EISDIR.
int recordedError(const QByteArray& folder) {
    static constexpr std::pair<const char*, int> kNames[] = {
        {"ENXIO", ENXIO},           {"ENODATA", ENODATA}, {"EIO", EIO},
        {"EPERM", EPERM},           {"EINVAL", EINVAL},   {"EAGAIN", EAGAIN},
        {"EOPNOTSUPP", EOPNOTSUPP}, {"EACCES", EACCES},
    };
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return EISDIR;
    int error = EISDIR;
    int entries = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            continue;
        ++entries;
        for (const auto& [errorName, code] : kNames) {
            if (std::strcmp(name, errorName) == 0)
                error = code;
        }
    }
    ::closedir(dir);
    return entries == 1 ? error : EISDIR;
}

} // namespace

ReadResult readAttribute(const QString& path, qsizetype maximumBytes) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {std::nullopt, errno};
    QByteArray buffer;
    char chunk[4096];
    while (buffer.size() < maximumBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return {std::nullopt, error == EISDIR ? recordedError(native) : error};
        }
        if (n == 0)
            break;
        buffer.append(chunk, static_cast<qsizetype>(std::min<ssize_t>(n, maximumBytes - buffer.size())));
    }
    ::close(fd);
    return {std::move(buffer), 0};
}

std::optional<QByteArray> readFile(const QString& path, qsizetype maximumBytes) {
    return readAttribute(path, maximumBytes).bytes; // EIO and friends: the value is absent
}

std::optional<QString> readText(const QString& path) {
    const auto bytes = readFile(path, 4096);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes).trimmed();
}

std::optional<int64_t> parseInteger(QByteArrayView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int64_t value = 0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (*begin == '+')
        ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<int64_t> readInteger(const QString& path) {
    const auto bytes = readFile(path, 256);
    if (!bytes)
        return std::nullopt;
    return parseInteger(*bytes);
}

std::optional<int64_t> readHexOrDecimal(const QString& path) {
    const auto bytes = readFile(path, 256);
    if (!bytes)
        return std::nullopt;
    const QByteArray text = bytes->trimmed();
    bool ok = false;
    const qlonglong value = text.startsWith("0x") || text.startsWith("0X") ? text.mid(2).toLongLong(&ok, 16)
                                                                           : text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QStringList listDirectory(const QString& path) {
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        names.append(QFile::decodeName(name));
    }
    ::closedir(dir);
    names.sort();
    return names;
}

bool exists(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isDirectory(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<QString> linkTargetName(const QString& path) {
    char buffer[4096];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::nullopt;
    buffer[n] = 0;
    QString target = QFile::decodeName(buffer);
    while (target.endsWith(u'/'))
        target.chop(1);
    return target.section(u'/', -1);
}

void sortNumerically(QStringList& names) {
    QCollator collator(QLocale::c());
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

} // namespace kestrum::sysfs
