#pragma once

#include "HealthArchivePersisting.h"

#include <QString>
#include <QThreadPool>
#include <mutex>

namespace kestrum {

// The archive file and, beside it, the benchmark history. Serial: loads and saves run one at a time on
// the repository's own thread. It holds no archive in memory: every load reads the file, every save
// replaces it atomically.
class FileHealthArchiveRepository : public HealthArchivePersisting {
public:
    // Without a benchmark path the history file sits beside the archive.
    explicit FileHealthArchiveRepository(QString archivePath, QString benchmarkHistoryPath = {});
    ~FileHealthArchiveRepository() override;

    QFuture<HealthArchive> load() override;
    QFuture<void> save(const HealthArchive& archive) override;

    // The same work on the calling thread.
    HealthArchive loadNow() const;
    void saveNow(const HealthArchive& archive) const;

    // A Turkish sentence when the last load found the benchmark history unusable and moved it aside.
    QString benchmarkHistoryProblem() const;

    const QString& archivePath() const { return m_archivePath; }
    const QString& benchmarkHistoryPath() const { return m_benchmarkHistoryPath; }

private:
    QString m_archivePath;
    QString m_benchmarkHistoryPath;
    mutable std::mutex m_problemMutex;
    mutable QString m_benchmarkHistoryProblem;
    QThreadPool m_executor;
};

} // namespace kestrum
