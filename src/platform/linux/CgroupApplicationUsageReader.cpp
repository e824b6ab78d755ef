#include "CgroupApplicationUsageReader.h"

#include "foundation/Translatable.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace kestrum {

namespace {

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads a small file from its start into `buffer` (counter files can be read again through the same
// descriptor); the text read, or none when it cannot be read (a removed control group answers ENODEV).
std::optional<std::string_view> reread(int fd, char* buffer, size_t size) {
    size_t used = 0;
    while (used < size) {
        const ssize_t n = ::pread(fd, buffer + used, size - used, static_cast<off_t>(used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        used += static_cast<size_t>(n);
        // A short read is the end: control group and /proc files hand over their whole text at once when
        // the buffer can hold it, and asking again would cost a second system call on every read.
        if (n == 0 || used < size)
            break;
    }
    return std::string_view(buffer, used);
}

// Reads a small file relative to a folder; none when it cannot be read (a unit or process that went away
// between the listing and the read).
std::optional<std::string_view> readAt(int directory, const char* name, char* buffer, size_t size) {
    const Fd fd(::openat(directory, name, O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    return reread(fd.get(), buffer, size);
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

std::vector<std::string> subfolders(int directory) {
    std::vector<std::string> names;
    const int copy = ::dup(directory);
    if (copy < 0)
        return names;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    ::rewinddir(dir); // the copy shares the offset of a descriptor listed before
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
            continue;
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// What tells a folder or file apart from one that replaced it under the same name, and, for a folder,
// whether entries were added or removed since.
struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t changed = 0;
    int64_t modified = 0;
    bool operator==(const Identity&) const = default;
};

Identity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec,
            int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<Identity> identityAt(int directory, const char* path) {
    struct stat st {};
    if (::fstatat(directory, path, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return identityOf(st);
}

std::optional<Identity> identityOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return identityOf(st);
}

enum CounterFile { kCPU, kMemory, kIO, kCounterFiles };
constexpr std::array<const char*, kCounterFiles> kCounterFileNames = {"cpu.stat", "memory.current",
                                                                      "io.stat"};

// "<folder>/<file>" into `path`; false when it does not fit.
bool joinPath(char (&path)[PATH_MAX], std::string_view folder, const char* file) {
    const int n = std::snprintf(path, sizeof path, "%.*s/%s", int(folder.size()), folder.data(), file);
    return n > 0 && size_t(n) < sizeof path;
}

} // namespace

struct CgroupApplicationUsageReader::State {
    struct Folder {
        Fd fd;
        Identity identity; // when it was listed
    };
    struct Unit {
        std::string path; // relative to the slice
        Identity identity;
        AppUnitReading names; // unit name, application id and name; the counters are read each time
        std::array<Fd, kCounterFiles> files;
        std::array<bool, kCounterFiles>
            failed{};      // was open, stopped reading: opened again at the next listing
        bool kept = false; // its files are held open (a missing one stays missing until the next listing)
        bool processIORead = false;
        std::optional<std::pair<uint64_t, uint64_t>> processIO;
        bool gone = false;
    };

    Fd slice;
    Fd proc;
    std::vector<Folder> folders; // the slice and the slices nested in it
    std::vector<Unit> units;
    double listedAt = 0;
    double processIOAt = 0;
    bool relistDue = true;
    std::vector<char> procsBuffer;
    std::optional<AppSliceReading> last; // handed out again until the next refresh
    double refreshedAt = 0;
    double nextRefreshAt = 0;
    int systemCalls = 0; // made by the refresh under way
};

CgroupApplicationUsageReader::CgroupApplicationUsageReader(Roots roots, uid_t uid,
                                                           std::shared_ptr<DesktopEntryCatalog> catalog,
                                                           MonotonicClock clock)
    : m_roots(std::move(roots)), m_uid(uid), m_catalog(std::move(catalog)),
      m_clock(clock ? std::move(clock) : systemMonotonicClock()), m_state(std::make_unique<State>()) {}

CgroupApplicationUsageReader::~CgroupApplicationUsageReader() = default;

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

CgroupApplicationUsageReader::Listing CgroupApplicationUsageReader::relist(State& state, double now) const {
    state.relistDue = false;
    state.listedAt = now;
    state.systemCalls += 4;
    const QByteArray root = QFile::encodeName(m_roots.cgroup);
    const Fd rootFd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd.valid() || ::faccessat(rootFd.get(), "cgroup.controllers", R_OK, 0) != 0)
        return Listing::noCgroupV2;
    const QByteArray slicePath =
        QStringLiteral("user.slice/user-%1.slice/user@%1.service/app.slice").arg(m_uid).toUtf8();
    // Opened again at each listing: the user's manager may have made a new slice under the same name.
    Fd slice(::openat(rootFd.get(), slicePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!slice.valid())
        return Listing::noSlice;
    state.slice = std::move(slice);
    if (!state.proc.valid()) {
        const QByteArray procRoot = QFile::encodeName(m_roots.proc);
        state.proc = Fd(::open(procRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }

    // Each folder's identity is taken before it is listed: a change during the listing shows at the next
    // reading and lists again.
    std::vector<State::Folder> folders;
    std::vector<std::string> candidates;
    const auto list = [&](Fd fd, const std::string& prefix) {
        state.systemCalls += 4;
        const auto identity = identityOf(fd.get());
        if (!identity)
            return;
        for (std::string& name : subfolders(fd.get())) {
            if (prefix.empty() && name.ends_with(".slice"))
                continue; // listed below
            candidates.push_back(prefix + name);
        }
        folders.push_back({std::move(fd), *identity});
    };
    list(Fd(::dup(state.slice.get())), {});
    for (const std::string& name : subfolders(state.slice.get())) {
        // Launchers may group an application's units in a slice of its own.
        if (name.ends_with(".slice"))
            list(Fd(::openat(state.slice.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                 name + '/');
    }

    // Keys are copies: the units are moved out while the map is still searched.
    std::unordered_map<std::string, State::Unit*> known;
    for (State::Unit& unit : state.units)
        known.emplace(unit.path, &unit);
    std::vector<State::Unit> units;
    units.reserve(candidates.size());
    int keptFiles = 0;
    char path[PATH_MAX];
    for (const std::string& candidate : candidates) {
        ++state.systemCalls;
        const auto identity = identityAt(state.slice.get(), candidate.c_str());
        if (!identity)
            continue; // gone since the listing
        const auto it = known.find(candidate);
        if (it != known.end() && it->second->identity == *identity) {
            // The same unit: its files stay open; one that was missing or stopped reading is looked for
            // again.
            State::Unit& unit = *it->second;
            for (size_t f = 0; f < kCounterFiles && unit.kept; ++f) {
                if (unit.failed[f] && joinPath(path, unit.path, kCounterFileNames[f])) {
                    unit.files[f] = Fd(::openat(state.slice.get(), path, O_RDONLY | O_CLOEXEC));
                    unit.failed[f] = false;
                    ++state.systemCalls;
                }
            }
            units.push_back(std::move(unit));
        } else {
            const size_t slash = candidate.rfind('/');
            const QString unitName = QFile::decodeName(
                slash == std::string::npos ? candidate.c_str() : candidate.c_str() + slash + 1);
            const auto applicationID = applicationIDOfUnit(unitName);
            if (!applicationID)
                continue;
            State::Unit unit;
            unit.path = candidate;
            unit.identity = *identity;
            unit.names.unitName = unitName;
            unit.names.applicationID = *applicationID;
            const auto entry = m_catalog ? m_catalog->entry(*applicationID) : std::nullopt;
            const QString name = entry && !entry->name.trimmed().isEmpty() ? entry->name : *applicationID;
            unit.names.name = ForegroundApplication::sanitizedName(name);
            if (unit.names.name.isEmpty())
                unit.names.name = ForegroundApplication::sanitizedName(*applicationID);
            units.push_back(std::move(unit));
        }
    }
    // Units new to this listing get open files while the budget lasts.
    for (const State::Unit& unit : units) {
        for (const Fd& file : unit.files)
            keptFiles += file.valid() ? 1 : 0;
    }
    for (State::Unit& unit : units) {
        if (unit.kept || keptFiles + int(kCounterFiles) > kMaximumKeptFiles)
            continue;
        unit.kept = true;
        state.systemCalls += kCounterFiles;
        for (size_t f = 0; f < kCounterFiles; ++f) {
            if (joinPath(path, unit.path, kCounterFileNames[f]))
                unit.files[f] = Fd(::openat(state.slice.get(), path, O_RDONLY | O_CLOEXEC));
            keptFiles += unit.files[f].valid() ? 1 : 0;
        }
    }
    state.units = std::move(units); // closes the files of units that went away
    state.folders = std::move(folders);
    return Listing::listed;
}

void CgroupApplicationUsageReader::readProcessIO(State& state, size_t index) {
    State::Unit& unit = state.units[index];
    unit.processIORead = true;
    unit.processIO.reset();
    char path[PATH_MAX];
    if (!state.proc.valid() || !joinPath(path, unit.path, "cgroup.procs"))
        return;
    if (state.procsBuffer.empty())
        state.procsBuffer.resize(64 * 1024);
    state.systemCalls += 3;
    auto pids = readAt(state.slice.get(), path, state.procsBuffer.data(), state.procsBuffer.size());
    if (!pids)
        return;
    if (pids->size() == state.procsBuffer.size()) // more than fits: the last line may be cut
        pids = pids->substr(0, pids->rfind('\n') == std::string_view::npos ? 0 : pids->rfind('\n'));
    uint64_t r = 0, w = 0;
    bool any = false;
    char ioBuffer[1024];
    forEachLine(*pids, [&](std::string_view pid) {
        if (pid.empty() || pid.size() > 10 ||
            !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return;
        state.systemCalls += 3;
        char ioPath[32];
        std::snprintf(ioPath, sizeof ioPath, "%.*s/io", int(pid.size()), pid.data());
        // A process that exited meanwhile, or one not ours to read, adds nothing.
        const auto io = readAt(state.proc.get(), ioPath, ioBuffer, sizeof ioBuffer);
        if (const auto bytes = io ? processIOBytes(*io) : std::nullopt) {
            r += bytes->first;
            w += bytes->second;
            any = true;
        }
    });
    if (any)
        unit.processIO = std::pair{r, w};
}

AppSliceReading CgroupApplicationUsageReader::read() const {
    const std::lock_guard lock(m_mutex);
    State& state = *m_state;
    const double now = m_clock();
    // Between refreshes the last reading stands, with the time its counters were read. A clock that went
    // back (a fake one in tests) refreshes at once.
    if (state.last && now >= state.refreshedAt && now < state.nextRefreshAt)
        return *state.last;
    state.systemCalls = 0;
    AppSliceReading reading;
    reading.monotonicSeconds = now;

    bool listingDue = state.relistDue || !state.slice.valid() || now < state.listedAt ||
                      now - state.listedAt >= kRelistSeconds;
    for (size_t i = 0; i < state.folders.size() && !listingDue; ++i) {
        ++state.systemCalls;
        listingDue = identityOf(state.folders[i].fd.get()) != state.folders[i].identity;
    }
    if (listingDue) {
        const Listing listing = relist(state, now);
        if (listing != Listing::listed) {
            state = State(); // nothing kept for a slice that is not there
            reading.availability = MetricAvailability::unavailable(
                listing == Listing::noCgroupV2
                    ? trText("Bu sistem cgroup v2 kullanmıyor; uygulama başına ölçüm için cgroup v2 gerekir.")
                    : trText("Kullanıcı oturumunda uygulama dilimi (app.slice) yok; uygulamalar ayrı "
                             "birimlerde başlatılmıyor."));
            return reading;
        }
    }
    reading.availability = MetricAvailability::available();
    const bool processIODue = now < state.processIOAt || now - state.processIOAt >= kProcessIOSeconds;
    if (processIODue)
        state.processIOAt = now;

    bool anyUnitTotals = false, anyProcessTotals = false, anyGone = false;
    char buffer[4096];
    char path[PATH_MAX];
    reading.units.reserve(state.units.size());
    for (size_t index = 0; index < state.units.size(); ++index) {
        State::Unit& unit = state.units[index];
        bool failed = false;
        const auto counter = [&](CounterFile file) -> std::optional<std::string_view> {
            if (unit.kept) {
                if (!unit.files[file].valid())
                    return std::nullopt; // missing when opened: looked for again if it is listed anew
                ++state.systemCalls;
                const auto text = reread(unit.files[file].get(), buffer, sizeof buffer);
                if (!text) {
                    unit.files[file].reset();
                    unit.failed[file] = failed = true;
                }
                return text;
            }
            if (!joinPath(path, unit.path, kCounterFileNames[file]))
                return std::nullopt;
            state.systemCalls += 3;
            return readAt(state.slice.get(), path, buffer, sizeof buffer);
        };
        AppUnitReading current = unit.names;
        if (const auto text = counter(kCPU))
            current.cpuUsageMicroseconds = cpuUsageMicroseconds(*text);
        if (const auto text = counter(kMemory))
            current.memoryBytes = number(*text);
        const auto ioStat = counter(kIO);
        if (failed) {
            // A kept file stopped reading: when its control group is gone (or another took its name), the
            // numbers read are not this unit's any more.
            state.relistDue = true;
            ++state.systemCalls;
            if (identityAt(state.slice.get(), unit.path.c_str()) != unit.identity) {
                unit.gone = anyGone = true;
                continue;
            }
        }
        if (ioStat) {
            const auto [r, w] = ioStatBytes(*ioStat);
            current.diskReadBytes = r;
            current.diskWrittenBytes = w;
            anyUnitTotals = true;
        } else {
            if (processIODue || !unit.processIORead)
                readProcessIO(state, index);
            if (unit.processIO) {
                current.diskReadBytes = unit.processIO->first;
                current.diskWrittenBytes = unit.processIO->second;
                anyProcessTotals = true;
            }
        }
        reading.units.push_back(std::move(current));
    }
    if (anyGone)
        std::erase_if(state.units, [](const State::Unit& unit) { return unit.gone; });
    reading.diskSource = anyUnitTotals      ? DiskUsageSource::unitTotals
                         : anyProcessTotals ? DiskUsageSource::runningProcesses
                                            : DiskUsageSource::unavailable;
    // The next refresh waits as long as this one's system calls are worth in the budget.
    state.refreshedAt = now;
    state.nextRefreshAt =
        now + std::max(kMinimumRefreshSeconds, double(state.systemCalls) / kSystemCallsPerSecond);
    state.last = reading;
    return reading;
}

} // namespace kestrum
