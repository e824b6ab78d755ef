#include "FileHealthArchiveRepository.h"

#include "HealthArchiveJournal.h"
#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"
#include "foundation/KestrumError.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

// The archive key that records the last journal sequence folded into the archive.
const QString kJournalSequenceKey = QStringLiteral("journalSequence");

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failJournalRead(const QString& path, const QString& reason) {
    throw KestrumError(QStringLiteral("fileRead"),
                       trTemplate("Dosya okunamadı: \\(path) (\\(reason))", {path, reason}));
}

[[noreturn]] void failJournalWrite(const QString& path, const QString& reason) {
    throw KestrumError(QStringLiteral("fileWrite"),
                       trTemplate("Dosya yazılamadı: \\(path) (\\(reason))", {path, reason}));
}

// Like the archive, the journal is read only when it is a regular file; a symbolic link is refused too,
// since appends would otherwise write wherever it points.
std::optional<QByteArray> readJournal(const QString& path, qint64 largestBytes) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        failJournalRead(path, errorText(errno));
    }
    if (!S_ISREG(st.st_mode))
        failJournalRead(path, trText("sıradan bir dosya değil"));
    return readFileIfExists(path, largestBytes);
}

// A regular journal file opened for writing, never through a link, never waiting on a FIFO.
int openJournalForWriting(const QString& path, bool create) {
    const int flags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (create ? O_CREAT : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (fd < 0) {
        if (errno == ENOENT && !create)
            return -1;
        failJournalWrite(path, errorText(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        failJournalWrite(path, trText("sıradan bir dosya değil"));
    }
    return fd;
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

std::optional<std::array<qint64, 4>> FileHealthArchiveRepository::fileIdentity(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    // The change time too: a file removed and another made may get the freed inode number.
    return std::array<qint64, 4>{static_cast<qint64>(st.st_dev), static_cast<qint64>(st.st_ino),
                                 static_cast<qint64>(st.st_ctim.tv_sec),
                                 static_cast<qint64>(st.st_ctim.tv_nsec)};
}

namespace {

void syncFolderOf(const QString& path) {
    const int dirFd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

FileHealthArchiveRepository::FileHealthArchiveRepository(QString archivePath, QString benchmarkHistoryPath,
                                                         qint64 largestFileBytes, JournalLimits journalLimits)
    : m_archivePath(std::move(archivePath)), m_journalLimits(journalLimits),
      m_benchmarkHistoryPath(std::move(benchmarkHistoryPath)), m_largestFileBytes(largestFileBytes) {
    if (m_benchmarkHistoryPath.isEmpty())
        m_benchmarkHistoryPath =
            QFileInfo(m_archivePath).absolutePath() + QStringLiteral("/cpu-benchmark-history-v1.json");
    const QFileInfo archive(m_archivePath);
    QString base = archive.fileName();
    if (base.endsWith(QStringLiteral(".json")))
        base.chop(5);
    m_journalPath = archive.absolutePath() + QLatin1Char('/') + base + QStringLiteral(".journal");
    m_executor.setMaxThreadCount(1);
}

FileHealthArchiveRepository::~FileHealthArchiveRepository() {
    m_executor.waitForDone();
    try {
        checkpointNow();
    } catch (const KestrumError& error) {
        // The journal stays and the next load replays it.
        qCWarning(lcArchive) << "could not fold the journal into the archive:" << error.description();
    }
}

QFuture<HealthArchive> FileHealthArchiveRepository::load() {
    return QtConcurrent::run(&m_executor, [this] { return loadNow(); });
}

QFuture<void> FileHealthArchiveRepository::save(const HealthArchive& archive) {
    return QtConcurrent::run(&m_executor, [this, archive] { saveNow(archive); });
}

QFuture<void> FileHealthArchiveRepository::record(const HealthArchive& archive,
                                                  const HealthArchiveChanges& changes) {
    return QtConcurrent::run(&m_executor, [this, archive, changes] { recordNow(archive, changes); });
}

HealthArchive FileHealthArchiveRepository::loadNow() const {
    std::lock_guard lock(m_journalMutex);
    return loadLocked();
}

HealthArchive FileHealthArchiveRepository::loadLocked() const {
    const auto bytes = readFileIfExists(m_archivePath, m_largestFileBytes);
    // Read before anything is decided: a journal that cannot be read fails the load as an archive would.
    const auto journal = readJournal(m_journalPath, m_largestFileBytes);
    HealthArchive archive = bytes ? decodeHealthArchive(*bytes) : HealthArchive::empty();
    qint64 archiveSequence = 0;
    if (const QJsonValue recorded = archive.unknownFields.take(kJournalSequenceKey);
        !recorded.isUndefined()) {
        const double value = recorded.toDouble(-1);
        if (!recorded.isDouble() || value < 0 || value > 9e15 || value != std::floor(value)) {
            json::JsonPath path;
            path.pushKey("journalSequence");
            json::throwWrongType(path);
        }
        archiveSequence = static_cast<qint64>(value);
    }
    // The benchmark history is a second copy of the results: an unusable one is moved aside (never
    // overwritten by the next save) and the archive's own list stays.
    auto history = CPUBenchmarkHistorySidecar::load(m_benchmarkHistoryPath);
    if (!history.problem.isEmpty()) {
        std::lock_guard problemLock(m_problemMutex);
        m_benchmarkHistoryProblem = history.problem;
    }
    if (bytes && history.results)
        archive.cpuBenchmarkResults = std::move(*history.results);
    // Replayed after the sidecar: a journaled result list is newer than both.
    const auto replayed =
        HealthArchiveJournal::replay(archive, archiveSequence, journal.value_or(QByteArray()));
    m_sequence = replayed.lastSequence;
    m_journalGoodBytes = replayed.goodBytes;
    m_journalStartedAt.reset();
    if (replayed.appliedLines > 0)
        m_journalStartedAt = m_journalLimits.clock();
    // Without an archive file the first change writes one: appends alone would leave a journal only.
    m_mustRewrite = !bytes;
    m_archiveIdentity = bytes ? fileIdentity(m_archivePath) : std::nullopt;
    m_archiveBytes = bytes ? bytes->size() : 0;
    return archive;
}

QString FileHealthArchiveRepository::benchmarkHistoryProblem() const {
    std::lock_guard lock(m_problemMutex);
    return m_benchmarkHistoryProblem;
}

void FileHealthArchiveRepository::saveNow(const HealthArchive& archive) const {
    std::lock_guard lock(m_journalMutex);
    saveLocked(archive);
}

void FileHealthArchiveRepository::saveLocked(const HealthArchive& archive) const {
    if (!m_sequence) {
        // Nothing was loaded: whatever journal lies here belongs to the history being replaced.
        emptyJournalLocked();
        m_sequence = 0;
    }
    HealthArchive stamped = archive;
    stamped.unknownFields.insert(kJournalSequenceKey, static_cast<double>(*m_sequence));
    const QByteArray archiveBytes = encodeHealthArchive(stamped);
    // Checked before either file is touched: the old archive stays, still loadable.
    if (archiveBytes.size() > m_largestFileBytes) {
        qCWarning(lcArchive) << "refusing to save an archive of" << archiveBytes.size() << "bytes";
        throw KestrumError(
            QStringLiteral("archiveTooLarge"),
            trTemplate("Geçmiş kaydedilmedi: dosya \\(limit) MB sınırını aşacaktı.",
                       {QString::number((m_largestFileBytes + 1024 * 1024 - 1) / (1024 * 1024))}));
    }
    CPUBenchmarkHistorySidecar::save(m_benchmarkHistoryPath, archive.cpuBenchmarkResults);
    writeFileAtomically(m_archivePath, archiveBytes);
    m_archiveIdentity = fileIdentity(m_archivePath);
    m_archiveBytes = archiveBytes.size();
    // The archive now holds every line: were the journal left by a crash here, its lines are skipped.
    m_mustRewrite = true; // until the journal is empty, appends would follow stale lines
    emptyJournalLocked();
    m_mustRewrite = false;
    m_appended = false;
}

bool FileHealthArchiveRepository::archiveIsWhereItWasLocked() const {
    return m_archiveIdentity && fileIdentity(m_archivePath) == m_archiveIdentity;
}

void FileHealthArchiveRepository::emptyJournalLocked() const {
    const int fd = openJournalForWriting(m_journalPath, false);
    FdCloser closer{fd};
    if (fd >= 0 && (::ftruncate(fd, 0) != 0 || ::fdatasync(fd) != 0))
        failJournalWrite(m_journalPath, errorText(errno));
    m_journalGoodBytes = 0;
    m_journalStartedAt.reset();
}

void FileHealthArchiveRepository::appendLocked(const QByteArray& line) const {
    const int fd = openJournalForWriting(m_journalPath, true);
    FdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        failJournalWrite(m_journalPath, errorText(errno));
    // A line cut short by a crash or a full disk is cut off before the next one follows it.
    if (st.st_size != m_journalGoodBytes && ::ftruncate(fd, m_journalGoodBytes) != 0)
        failJournalWrite(m_journalPath, errorText(errno));
    ssize_t written;
    do {
        written = ::pwrite(fd, line.constData(), static_cast<size_t>(line.size()), m_journalGoodBytes);
    } while (written < 0 && errno == EINTR);
    if (written != line.size()) {
        const int error = written < 0 ? errno : ENOSPC;
        (void)::ftruncate(fd, m_journalGoodBytes);
        failJournalWrite(m_journalPath, errorText(error));
    }
    if (::fdatasync(fd) != 0)
        failJournalWrite(m_journalPath, errorText(errno));
    if (m_journalGoodBytes == 0)
        syncFolderOf(m_journalPath); // a new file's name is durable only with its folder
    m_journalGoodBytes += line.size();
    if (!m_journalStartedAt)
        m_journalStartedAt = m_journalLimits.clock();
}

void FileHealthArchiveRepository::recordNow(const HealthArchive& archive,
                                            const HealthArchiveChanges& changes) const {
    std::lock_guard lock(m_journalMutex);
    const bool journalFull =
        m_journalGoodBytes >= m_journalLimits.bytes ||
        (m_journalStartedAt && m_journalLimits.clock() - *m_journalStartedAt >= m_journalLimits.age);
    // Result lists are rewritten whole: the benchmark history beside the archive and the archive's size
    // limit are kept by the rewrite, and they change a few times a day at most. Incidents and
    // performance sessions (one changes every minute while it runs) are journaled item by item.
    const bool resultsChanged = !changes.replacedFields.isEmpty();
    if (!m_sequence || m_mustRewrite || changes.needsRewrite || journalFull || resultsChanged ||
        !archiveIsWhereItWasLocked()) {
        saveLocked(archive);
        return;
    }
    // One record's lines go in one write and one fdatasync: a crash keeps a prefix of them, each line
    // whole or dropped as torn, and never a later line without the earlier ones.
    QByteArray lines;
    qint64 sequence = *m_sequence;
    for (const HealthSample& sample : changes.samples)
        lines += HealthArchiveJournal::sampleLine(++sequence, sample);
    for (const std::vector<HealthEvent>& batch : changes.events)
        lines += HealthArchiveJournal::eventsLine(++sequence, batch);
    if (!changes.items.isEmpty())
        lines += HealthArchiveJournal::itemsLine(++sequence, changes.items);
    if (lines.isEmpty())
        return;
    // Near the archive's size limit every change is written whole, so that a change the limit refuses is
    // refused now, with its reason, rather than journaled into an archive that could never be folded.
    // A journal line grows at most about fourfold in the indented archive.
    if (m_archiveBytes + 4 * (m_journalGoodBytes + lines.size()) > m_largestFileBytes) {
        saveLocked(archive);
        return;
    }
    try {
        appendLocked(lines);
    } catch (const KestrumError&) {
        // Whatever the journal holds now, the next change rewrites the archive whole.
        m_mustRewrite = true;
        throw;
    }
    m_sequence = sequence;
    m_appended = true;
}

void FileHealthArchiveRepository::checkpointNow() const {
    std::lock_guard lock(m_journalMutex);
    if (!m_appended)
        return;
    saveLocked(loadLocked());
}

} // namespace kestrum
