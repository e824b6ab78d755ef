#include "CPUBenchmarkHistorySidecar.h"

#include "HealthTestsJsonFields.h"
#include "foundation/AtomicFile.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"

#include <QFile>

namespace kestrum {

namespace {

struct HistoryFile {
    int schemaVersion = CPUBenchmarkHistorySidecar::kSchemaVersion;
    std::vector<CPUBenchmarkResult> results;
};

constexpr qint64 kLargestFileBytes = 64LL * 1024 * 1024;

} // namespace

namespace json {
template <> struct JsonRecord<HistoryFile> {
    static constexpr auto fields = std::tuple{field("schemaVersion", &HistoryFile::schemaVersion),
                                              field("results", &HistoryFile::results)};
};
} // namespace json

namespace CPUBenchmarkHistorySidecar {

QByteArray encode(const std::vector<CPUBenchmarkResult>& results) {
    return json::writeDocument(HistoryFile{kSchemaVersion, results});
}

std::vector<CPUBenchmarkResult> decode(const QByteArray& bytes) {
    // The version decides first, so that a newer layout is reported as such.
    const QJsonValue document = json::parseDocument(bytes);
    const QJsonValue version = document.toObject().value(QStringLiteral("schemaVersion"));
    if (version.isDouble() && version.toDouble() != kSchemaVersion) {
        throw KestrumError(QStringLiteral("unsupportedSchema"),
                           trTemplate("Geçmiş veri biçimi desteklenmiyor (sürüm \\(version)).",
                                      {QString::number(version.toDouble())}));
    }
    return json::readDocument<HistoryFile>(bytes).results;
}

LoadOutcome load(const QString& path) {
    LoadOutcome outcome;
    try {
        const auto bytes = readFileIfExists(path, kLargestFileBytes);
        if (!bytes)
            return outcome;
        outcome.results = decode(*bytes);
        return outcome;
    } catch (const KestrumError& error) {
        const QString aside =
            path + QStringLiteral(".unreadable-") + QString::number(qint64(Date::now().unixSeconds()));
        QFile::rename(path, aside);
        qCWarning(lcArchive) << "benchmark history unreadable (" << error.description() << "), moved aside to"
                             << aside;
        outcome.problem = trTemplate("Benchmark geçmişi dosyası okunamadı; \\(path) olarak saklandı ve "
                                     "benchmark sonuçları arşivden alındı.",
                                     {aside});
    }
    return outcome;
}

void save(const QString& path, const std::vector<CPUBenchmarkResult>& results) {
    writeFileAtomically(path, encode(results));
}

} // namespace CPUBenchmarkHistorySidecar

} // namespace kestrum
