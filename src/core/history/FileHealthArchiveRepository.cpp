#include "FileHealthArchiveRepository.h"

#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"
#include "foundation/KestrumError.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace kestrum {

FileHealthArchiveRepository::FileHealthArchiveRepository(QString archivePath, QString benchmarkHistoryPath,
                                                         qint64 largestFileBytes)
    : m_archivePath(std::move(archivePath)), m_benchmarkHistoryPath(std::move(benchmarkHistoryPath)),
      m_largestFileBytes(largestFileBytes) {
    if (m_benchmarkHistoryPath.isEmpty())
        m_benchmarkHistoryPath =
            QFileInfo(m_archivePath).absolutePath() + QStringLiteral("/cpu-benchmark-history-v1.json");
    m_executor.setMaxThreadCount(1);
}

FileHealthArchiveRepository::~FileHealthArchiveRepository() {
    m_executor.waitForDone();
}

QFuture<HealthArchive> FileHealthArchiveRepository::load() {
    return QtConcurrent::run(&m_executor, [this] { return loadNow(); });
}

QFuture<void> FileHealthArchiveRepository::save(const HealthArchive& archive) {
    return QtConcurrent::run(&m_executor, [this, archive] { saveNow(archive); });
}

HealthArchive FileHealthArchiveRepository::loadNow() const {
    const auto bytes = readFileIfExists(m_archivePath, m_largestFileBytes);
    HealthArchive archive = bytes ? decodeHealthArchive(*bytes) : HealthArchive::empty();
    // The benchmark history is a second copy of the results: an unusable one is moved aside (never
    // overwritten by the next save) and the archive's own list stays.
    auto history = CPUBenchmarkHistorySidecar::load(m_benchmarkHistoryPath);
    if (!history.problem.isEmpty()) {
        std::lock_guard lock(m_problemMutex);
        m_benchmarkHistoryProblem = history.problem;
    }
    if (bytes && history.results)
        archive.cpuBenchmarkResults = std::move(*history.results);
    return archive;
}

QString FileHealthArchiveRepository::benchmarkHistoryProblem() const {
    std::lock_guard lock(m_problemMutex);
    return m_benchmarkHistoryProblem;
}

void FileHealthArchiveRepository::saveNow(const HealthArchive& archive) const {
    const QByteArray archiveBytes = encodeHealthArchive(archive);
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
}

} // namespace kestrum
