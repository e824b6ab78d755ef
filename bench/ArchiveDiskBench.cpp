// Bytes the monitor writes to disk for its archive over a simulated stretch of minutes with a full-size
// archive (30 days after compaction, 500 events, 100 incidents, full result lists): one sample a minute
// persisted through the archive keeper, either journaled (what ships) or rewriting the whole archive on
// every change (what it replaced). Reads write_bytes from /proc/self/io.
//
// With `session`, a performance session runs the whole time and counts every kept sample.
//
//   archive_disk_bench [journal|rewrite] [MINUTES] [JOURNAL_AGE_HOURS] [session]
//   (default: journal 1440 8)

#include "FullSizeArchive.h"
#include "foundation/Uuid.h"
#include "healthtests/CPUBenchmarkScoreEngine.h"
#include "healthtests/DeepHealthTestScoreEngine.h"
#include "history/FileHealthArchiveRepository.h"
#include "history/HealthArchiveCompaction.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "monitor/ArchiveKeeper.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <cstdio>
#include <qcoro/qcorotask.h>

using namespace kestrum;

namespace {

const Date kNow = Date::now();

class AlwaysRewritingRepository : public HealthArchivePersisting {
public:
    explicit AlwaysRewritingRepository(const QString& path) : m_files(path) {}
    QFuture<HealthArchive> load() override { return m_files.load(); }
    QFuture<void> save(const HealthArchive& archive) override { return m_files.save(archive); }

private:
    FileHealthArchiveRepository m_files;
};

long long writtenBytes() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("write_bytes:"))
            return line.mid(12).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool journal = argc < 2 || qstrcmp(argv[1], "rewrite") != 0;
    const int minutes = argc >= 3 ? std::max(1, atoi(argv[2])) : 1440;
    QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/archive-disk-bench-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("health-archive.json"));
    FileHealthArchiveRepository(path).saveNow(bench::fullSizeArchive(kNow));

    Date now = kNow;
    std::shared_ptr<HealthArchivePersisting> repository;
    // The journal's age is measured in simulated time, so its hourly folds happen as in a real day.
    HealthArchiveJournalLimits limits;
    if (argc >= 4)
        limits.age = std::chrono::hours(std::max(1, atoi(argv[3])));
    const bool session = argc >= 5 && qstrcmp(argv[4], "session") == 0;
    limits.clock = [&now] {
        return std::chrono::steady_clock::time_point(
            std::chrono::milliseconds(static_cast<long long>(now.secondsSinceReferenceDate * 1000)));
    };
    if (journal)
        repository = std::make_shared<FileHealthArchiveRepository>(
            path, QString(), FileHealthArchiveRepository::kLargestArchiveBytes, limits);
    else
        repository = std::make_shared<AlwaysRewritingRepository>(path);
    long long before = 0;
    {
        ArchiveKeeper keeper({repository, [&now] { return now; }, [] { return newUuid(); }});
        QCoro::waitFor(keeper.prepare());
        if (session) {
            SystemSnapshot start = SystemSnapshot::empty(newUuid(), now);
            keeper.commit([&start](HealthArchive& archive) {
                archive.performanceSessions.push_back(
                    PerformanceSession::start(newUuid(), QStringLiteral("Derleme"), start));
            });
            QCoro::waitFor(keeper.persist());
        }
        before = writtenBytes(); // after the start-up rewrite compaction asks for
        for (int minute = 1; minute <= minutes; ++minute) {
            now = now.addingSeconds(60);
            HealthSample s;
            s.id = newUuid();
            s.timestamp = now;
            s.cpuUsage = 0.2 + (minute % 7) / 100.0;
            s.memoryUsage = 0.55;
            s.thermalLevel = ThermalLevel::nominal;
            s.healthLevel = HealthLevel::normal;
            keeper.appendSampleIfNeeded(s);
            if (session) {
                SystemSnapshot snapshot = SystemSnapshot::empty(newUuid(), now);
                snapshot.cpu.totalUsage = *s.cpuUsage;
                snapshot.cpu.availability = MetricAvailability::available();
                snapshot.memory =
                    MemoryStats{9'000, 10'000, 0, 2'000'000'000, MetricAvailability::available()};
                keeper.commit([&snapshot](HealthArchive& archive) {
                    archive.performanceSessions.back().record(snapshot);
                });
            }
            if (!QCoro::waitFor(keeper.persist())) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(keeper.persistenceError()));
                return 1;
            }
        }
    }
    const long long during = writtenBytes() - before;
    repository.reset(); // a clean stop: the journal is folded in
    const long long withStop = writtenBytes() - before;
    QElapsedTimer timer;
    timer.start();
    const HealthArchive loaded = FileHealthArchiveRepository(path).loadNow();
    const double perDay = static_cast<double>(during) * 1440.0 / minutes;
    std::printf("%s%s: %d minutes, %lld bytes written (%lld with the clean stop), %.1f MB per day; "
                "reload %lld ms, %zu samples\n",
                journal ? "journal" : "rewrite", session ? " with a running session" : "", minutes, during,
                withStop, perDay / 1e6, static_cast<long long>(timer.elapsed()), loaded.samples.size());
    return 0;
}
