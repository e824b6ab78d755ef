#include "FileHealthArchiveRepository.h"

#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QtConcurrent/QtConcurrentRun>

namespace kestrum {

namespace {

std::optional<std::vector<QJsonObject>> benchmarkResults(const QByteArray& bytes) {
    const QJsonValue document = json::parseDocument(bytes);
    const QJsonObject object = document.toObject();
    if (object.value(QStringLiteral("schemaVersion")).toDouble(-1) != 1)
        return std::nullopt;
    const QJsonValue results = object.value(QStringLiteral("results"));
    if (!results.isArray())
        return std::nullopt;
    std::vector<QJsonObject> out;
    for (const QJsonValue& value : results.toArray()) {
        if (!value.isObject() || !value.toObject().value(QStringLiteral("endedAt")).isDouble())
            return std::nullopt;
        out.push_back(value.toObject());
    }
    return out;
}

} // namespace

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
    if (!bytes)
        return HealthArchive::empty();
    HealthArchive archive = decodeHealthArchive(*bytes);
    // The benchmark history is a second copy of the results; any problem with it is ignored.
    try {
        if (const auto history = readFileIfExists(m_benchmarkHistoryPath, m_largestFileBytes)) {
            if (auto results = benchmarkResults(*history))
                archive.cpuBenchmarkResults = std::move(*results);
        }
    } catch (const KestrumError& error) {
        qCInfo(lcArchive) << "ignoring unreadable benchmark history:" << error.description();
    }
    return archive;
}

void FileHealthArchiveRepository::saveNow(const HealthArchive& archive) const {
    QJsonArray results;
    for (const QJsonObject& result : archive.cpuBenchmarkResults)
        results.append(result);
    const QJsonObject history{{QStringLiteral("schemaVersion"), 1}, {QStringLiteral("results"), results}};
    const QByteArray historyBytes = json::toDocumentBytes(history);
    const QByteArray archiveBytes = encodeHealthArchive(archive);
    // Checked before either file is touched: the old archive stays, still loadable.
    if (archiveBytes.size() > m_largestFileBytes || historyBytes.size() > m_largestFileBytes) {
        qCWarning(lcArchive) << "refusing to save an archive of" << archiveBytes.size() << "bytes";
        throw KestrumError(
            QStringLiteral("archiveTooLarge"),
            trTemplate("Geçmiş kaydedilmedi: dosya \\(limit) MB sınırını aşacaktı.",
                       {QString::number((m_largestFileBytes + 1024 * 1024 - 1) / (1024 * 1024))}));
    }
    writeFileAtomically(m_benchmarkHistoryPath, historyBytes);
    writeFileAtomically(m_archivePath, archiveBytes);
}

} // namespace kestrum
