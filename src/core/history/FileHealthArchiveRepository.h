#pragma once

#include "HealthArchivePersisting.h"

#include <QString>
#include <QThreadPool>
#include <array>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

namespace kestrum {

// When the journal is folded into the archive: past this size, or this long after its first line.
struct HealthArchiveJournalLimits {
    qint64 bytes = 256 * 1024;
    std::chrono::seconds age{8 * 3600};
    // The clock the age is measured by (simulations drive their own).
    std::function<std::chrono::steady_clock::time_point()> clock = [] {
        return std::chrono::steady_clock::now();
    };
};

// The archive file and, beside it, the benchmark history and the journal. Serial: loads and saves run one
// at a time on the repository's own thread. It holds no archive in memory: every load reads the archive
// and replays the journal; a recorded change is appended to the journal (one line, one write, fdatasync),
// and the archive is rewritten atomically — and the journal emptied — only when the journal has grown
// past its size or age, when a change has no journal form, and on save().
class FileHealthArchiveRepository : public HealthArchivePersisting {
public:
    using JournalLimits = HealthArchiveJournalLimits;

    // The largest archive file this system reads and writes. One limit for both: a save that would
    // produce a file the next load refuses is refused itself, before anything is written.
    static constexpr qint64 kLargestArchiveBytes = 64LL * 1024 * 1024;

    // Without a benchmark path the history file sits beside the archive.
    explicit FileHealthArchiveRepository(QString archivePath, QString benchmarkHistoryPath = {},
                                         qint64 largestFileBytes = kLargestArchiveBytes,
                                         JournalLimits journalLimits = {});
    // Folds what this repository journaled into the archive: a clean stop leaves a single file.
    ~FileHealthArchiveRepository() override;

    QFuture<HealthArchive> load() override;
    QFuture<void> save(const HealthArchive& archive) override;
    QFuture<void> record(const HealthArchive& archive, const HealthArchiveChanges& changes) override;

    // The same work on the calling thread.
    HealthArchive loadNow() const;
    void saveNow(const HealthArchive& archive) const;
    void recordNow(const HealthArchive& archive, const HealthArchiveChanges& changes) const;
    // Rewrites the archive from the archive and journal on disk and empties the journal, when this
    // repository appended to it since its last rewrite.
    void checkpointNow() const;

    // A Turkish sentence when the last load found the benchmark history unusable and moved it aside.
    QString benchmarkHistoryProblem() const;

    const QString& archivePath() const { return m_archivePath; }
    const QString& benchmarkHistoryPath() const { return m_benchmarkHistoryPath; }
    const QString& journalPath() const { return m_journalPath; }

private:
    HealthArchive loadLocked() const;
    void saveLocked(const HealthArchive& archive) const;
    void appendLocked(const QByteArray& line) const;
    void emptyJournalLocked() const;
    // Appends go on only beside the archive file they follow: one removed or replaced since this
    // repository last read or wrote it is rewritten first, so the journal never stands alone.
    bool archiveIsWhereItWasLocked() const;
    static std::optional<std::array<qint64, 4>> fileIdentity(const QString& path);

    QString m_archivePath;
    QString m_journalPath;
    JournalLimits m_journalLimits;
    // The journal's state, shared by loads and writes (which run on any thread when called directly).
    mutable std::mutex m_journalMutex;
    mutable std::optional<qint64> m_sequence; // the last sequence on disk; unknown before a load or save
    mutable qint64 m_journalGoodBytes = 0;    // the journal's length up to its last complete line
    mutable std::optional<std::chrono::steady_clock::time_point> m_journalStartedAt;
    mutable bool m_mustRewrite =
        true; // the next change rewrites the archive (no archive yet, a failed append)
    mutable std::optional<std::array<qint64, 4>> m_archiveIdentity; // device, inode, change time
    mutable qint64 m_archiveBytes = 0; // the archive file's size as last read or written
    mutable bool m_appended = false;   // lines this repository wrote that the archive does not hold yet
    QString m_benchmarkHistoryPath;
    mutable std::mutex m_problemMutex;
    mutable QString m_benchmarkHistoryProblem;
    qint64 m_largestFileBytes;
    QThreadPool m_executor;
};

} // namespace kestrum
