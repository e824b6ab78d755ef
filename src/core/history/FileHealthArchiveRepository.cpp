#include "FileHealthArchiveRepository.h"

#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"
#include "foundation/Logging.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace kestrum {

namespace {

constexpr qint64 kLargestArchiveBytes = 64LL * 1024 * 1024;

} // namespace

FileHealthArchiveRepository::FileHealthArchiveRepository(QString archivePath, QString benchmarkHistoryPath)
    : m_archivePath(std::move(archivePath)), m_benchmarkHistoryPath(std::move(benchmarkHistoryPath)) {
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
    const auto bytes = readFileIfExists(m_archivePath, kLargestArchiveBytes);
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
    CPUBenchmarkHistorySidecar::save(m_benchmarkHistoryPath, archive.cpuBenchmarkResults);
    writeFileAtomically(m_archivePath, encodeHealthArchive(archive));
}

} // namespace kestrum
