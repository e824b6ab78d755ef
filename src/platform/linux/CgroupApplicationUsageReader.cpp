#include "CgroupApplicationUsageReader.h"

#include "foundation/Translatable.h"

#include <QFile>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace kestrum {

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads a small file relative to a folder into `buffer`; the text read, or none when it cannot be read
// (a unit or process that went away between the listing and the read).
std::optional<std::string_view> readAt(int directory, const char* name, char* buffer, size_t size) {
    const Fd fd(::openat(directory, name, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    size_t used = 0;
    while (used < size) {
        const ssize_t n = ::read(fd.get(), buffer + used, size - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    return std::string_view(buffer, used);
}

std::optional<uint64_t> number(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Calls `line` for each line of a text.
template <class F> void forEachLine(std::string_view text, F&& line) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        line(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

// The value after `key` in a "key value" or "key=value" field list, when the key is there.
std::optional<uint64_t> fieldValue(std::string_view line, std::string_view key, char separator) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != separator)
        return std::nullopt;
    std::string_view rest = line.substr(key.size() + 1);
    const size_t end = rest.find(' ');
    return number(rest.substr(0, end));
}

QStringList unitFolders(int directory) {
    QStringList names;
    const int copy = ::dup(directory);
    if (copy < 0)
        return names;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            continue;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        names.append(QFile::decodeName(entry->d_name));
    }
    ::closedir(dir);
    return names;
}

} // namespace

CgroupApplicationUsageReader::CgroupApplicationUsageReader(Roots roots, uid_t uid,
                                                           std::shared_ptr<DesktopEntryCatalog> catalog,
                                                           MonotonicClock clock)
    : m_roots(std::move(roots)), m_uid(uid), m_catalog(std::move(catalog)),
      m_clock(clock ? std::move(clock) : systemMonotonicClock()) {}

QString CgroupApplicationUsageReader::unescapedUnitPart(QStringView part) {
    QByteArray bytes;
    bytes.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] == u'\\' && i + 3 < part.size() && part[i + 1] == u'x') {
            bool ok = false;
            const int value = part.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                bytes.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        bytes.append(part.mid(i, 1).toUtf8());
    }
    return QString::fromUtf8(bytes);
}

std::optional<QString> CgroupApplicationUsageReader::applicationIDOfUnit(const QString& unitName) {
    QStringView name(unitName);
    bool scope = false;
    if (name.endsWith(u".scope")) {
        scope = true;
        name.chop(6);
    } else if (name.endsWith(u".service")) {
        name.chop(8);
        if (const qsizetype at = name.indexOf(u'@'); at >= 0)
            name.truncate(at); // the instance is the random part
    } else {
        return std::nullopt;
    }
    const QList<QStringView> parts = name.split(u'-');
    if (parts.size() < 2 || parts[0] != u"app")
        return std::nullopt;
    // Scopes end in a random part: app-<id>-<n> or app-<launcher>-<id>-<n>. Services carry it after '@':
    // app-<id> or app-<launcher>-<id>.
    QStringView id;
    if (scope && parts.size() == 3)
        id = parts[1];
    else if (scope && parts.size() == 4)
        id = parts[2];
    else if (!scope && parts.size() == 2)
        id = parts[1];
    else if (!scope && parts.size() == 3)
        id = parts[2];
    else
        return std::nullopt;
    if (scope && parts.back().isEmpty())
        return std::nullopt;
    QString unescaped = unescapedUnitPart(id);
    if (unescaped.endsWith(QLatin1String(".desktop")))
        unescaped.chop(8);
    // Anyone may start a unit under any name: what is kept must be safe to show and bounded.
    unescaped = ForegroundApplication::sanitizedIdentifier(unescaped);
    if (unescaped.isEmpty())
        return std::nullopt;
    return unescaped;
}

std::optional<uint64_t> CgroupApplicationUsageReader::cpuUsageMicroseconds(std::string_view cpuStat) {
    std::optional<uint64_t> usage;
    forEachLine(cpuStat, [&](std::string_view line) {
        if (!usage)
            usage = fieldValue(line, "usage_usec", ' ');
    });
    return usage;
}

std::pair<uint64_t, uint64_t> CgroupApplicationUsageReader::ioStatBytes(std::string_view ioStat) {
    uint64_t readBytes = 0, writtenBytes = 0;
    forEachLine(ioStat, [&](std::string_view line) {
        // "8:0 rbytes=N wbytes=N rios=N …": fields after the device, any of them may be missing.
        size_t start = line.find(' ');
        while (start != std::string_view::npos) {
            const std::string_view field = line.substr(start + 1);
            if (const auto r = fieldValue(field, "rbytes", '='))
                readBytes += *r;
            else if (const auto w = fieldValue(field, "wbytes", '='))
                writtenBytes += *w;
            start = line.find(' ', start + 1);
        }
    });
    return {readBytes, writtenBytes};
}

std::optional<std::pair<uint64_t, uint64_t>>
CgroupApplicationUsageReader::processIOBytes(std::string_view procIO) {
    std::optional<uint64_t> readBytes, writtenBytes;
    forEachLine(procIO, [&](std::string_view line) {
        if (const auto r = fieldValue(line, "read_bytes:", ' '))
            readBytes = r;
        else if (const auto w = fieldValue(line, "write_bytes:", ' '))
            writtenBytes = w;
    });
    if (!readBytes || !writtenBytes)
        return std::nullopt;
    return std::pair{*readBytes, *writtenBytes};
}

AppSliceReading CgroupApplicationUsageReader::read() const {
    AppSliceReading reading;
    reading.monotonicSeconds = m_clock();
    const QByteArray root = QFile::encodeName(m_roots.cgroup);
    const Fd rootFd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    char probe[1];
    if (!rootFd.valid() || !readAt(rootFd.get(), "cgroup.controllers", probe, 0)) {
        reading.availability = MetricAvailability::unavailable(
            trText("Bu sistem cgroup v2 kullanmıyor; uygulama başına ölçüm için cgroup v2 gerekir."));
        return reading;
    }
    const QByteArray slice =
        QStringLiteral("user.slice/user-%1.slice/user@%1.service/app.slice").arg(m_uid).toUtf8();
    const Fd sliceFd(::openat(rootFd.get(), slice.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!sliceFd.valid()) {
        reading.availability = MetricAvailability::unavailable(
            trText("Kullanıcı oturumunda uygulama dilimi (app.slice) yok; uygulamalar ayrı birimlerde "
                   "başlatılmıyor."));
        return reading;
    }
    reading.availability = MetricAvailability::available();
    const QByteArray procRoot = QFile::encodeName(m_roots.proc);
    const Fd procFd(::open(procRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    bool anyUnitTotals = false, anyProcessTotals = false;
    char buffer[4096];

    const auto readUnit = [&](int parent, const QString& unitName) {
        const auto applicationID = applicationIDOfUnit(unitName);
        if (!applicationID)
            return;
        const QByteArray encoded = QFile::encodeName(unitName);
        const Fd unitFd(::openat(parent, encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!unitFd.valid())
            return; // gone since the listing
        AppUnitReading unit;
        unit.unitName = unitName;
        unit.applicationID = *applicationID;
        if (const auto text = readAt(unitFd.get(), "cpu.stat", buffer, sizeof buffer))
            unit.cpuUsageMicroseconds = cpuUsageMicroseconds(*text);
        if (const auto text = readAt(unitFd.get(), "memory.current", buffer, sizeof buffer))
            unit.memoryBytes = number(*text);
        if (const auto text = readAt(unitFd.get(), "io.stat", buffer, sizeof buffer)) {
            const auto [r, w] = ioStatBytes(*text);
            unit.diskReadBytes = r;
            unit.diskWrittenBytes = w;
            anyUnitTotals = true;
        } else if (procFd.valid()) {
            if (const auto pids = readAt(unitFd.get(), "cgroup.procs", buffer, sizeof buffer)) {
                uint64_t r = 0, w = 0;
                bool any = false;
                std::vector<std::string> names;
                forEachLine(*pids, [&](std::string_view pid) {
                    if (!pid.empty())
                        names.emplace_back(pid);
                });
                char ioBuffer[1024];
                for (const std::string& pid : names) {
                    const std::string path = pid + "/io";
                    // A process that exited meanwhile, or one not ours to read, adds nothing.
                    const auto io = readAt(procFd.get(), path.c_str(), ioBuffer, sizeof ioBuffer);
                    if (const auto bytes = io ? processIOBytes(*io) : std::nullopt) {
                        r += bytes->first;
                        w += bytes->second;
                        any = true;
                    }
                }
                if (any) {
                    unit.diskReadBytes = r;
                    unit.diskWrittenBytes = w;
                    anyProcessTotals = true;
                }
            }
        }
        const auto entry = m_catalog ? m_catalog->entry(*applicationID) : std::nullopt;
        const QString name = entry && !entry->name.trimmed().isEmpty() ? entry->name : *applicationID;
        unit.name = ForegroundApplication::sanitizedName(name);
        if (unit.name.isEmpty())
            unit.name = ForegroundApplication::sanitizedName(*applicationID);
        reading.units.push_back(std::move(unit));
    };

    for (const QString& name : unitFolders(sliceFd.get())) {
        if (name.endsWith(QLatin1String(".slice"))) {
            // Launchers may group an application's units in a slice of its own.
            const QByteArray encoded = QFile::encodeName(name);
            const Fd nested(::openat(sliceFd.get(), encoded.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (nested.valid()) {
                for (const QString& inner : unitFolders(nested.get()))
                    readUnit(nested.get(), inner);
            }
        } else {
            readUnit(sliceFd.get(), name);
        }
    }
    reading.diskSource = anyUnitTotals      ? DiskUsageSource::unitTotals
                         : anyProcessTotals ? DiskUsageSource::runningProcesses
                                            : DiskUsageSource::unavailable;
    return reading;
}

} // namespace kestrum
