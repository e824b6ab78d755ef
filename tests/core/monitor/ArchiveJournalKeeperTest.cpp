#include "foundation/Uuid.h"
#include "history/FileHealthArchiveRepository.h"
#include "history/HealthArchiveCompaction.h"
#include "monitor/ArchiveKeeper.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace kestrum;

namespace {

// Saves whole on every change: the behaviour the journal replaces, kept as the reference.
class AlwaysRewritingRepository : public HealthArchivePersisting {
public:
    explicit AlwaysRewritingRepository(const QString& path) : m_files(path) {}
    QFuture<HealthArchive> load() override { return m_files.load(); }
    QFuture<void> save(const HealthArchive& archive) override { return m_files.save(archive); }

private:
    FileHealthArchiveRepository m_files;
};

HealthSample sampleAt(Date when, double cpu) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = when;
    s.cpuUsage = cpu;
    s.thermalLevel = ThermalLevel::nominal;
    s.healthLevel = HealthLevel::normal;
    return s;
}

HealthEvent eventAt(Date when, int n) {
    HealthEvent e;
    e.id = newUuid();
    e.timestamp = when;
    e.signature = QStringLiteral("cpu-high-%1").arg(n);
    e.title = QStringLiteral("İşlemci yükü yüksek");
    return e;
}

} // namespace

// A scripted stretch of monitoring over an archive old enough that compaction thins and drops samples
// every minute: after every step, what a fresh load of the journaled files gives is what the
// always-rewriting files give, and what the monitor holds in memory.
TEST(ArchiveJournal, ReplayedHistoryEqualsTheAlwaysRewrittenOne) {
    QTemporaryDir journaled;
    QTemporaryDir rewritten;
    const QString journaledPath = journaled.filePath(QStringLiteral("health-archive.json"));
    const QString rewrittenPath = rewritten.filePath(QStringLiteral("health-archive.json"));
    Date now = Date::fromUnixSeconds(1'765'000'000);

    HealthArchive start;
    for (int minute = 31 * 24 * 60; minute > 0; minute -= 7)
        start.samples.push_back(sampleAt(now.addingSeconds(-60.0 * minute), (minute % 97) / 100.0));
    for (int n = 0; n < 480; ++n)
        start.events.push_back(eventAt(now.addingSeconds(-3600.0 * 24 * 31 + 5000.0 * n), n));
    FileHealthArchiveRepository(journaledPath).saveNow(start);
    FileHealthArchiveRepository(rewrittenPath).saveNow(start);

    const auto dates = [&now] { return now; };
    // Both keepers ask for ids in the same order, so each gets the same ones.
    const auto countingIds = [] {
        return [n = std::make_shared<uint>(0)] { return QUuid(++*n, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); };
    };
    // A small journal: the run crosses several folds.
    auto journaledFiles = std::make_shared<FileHealthArchiveRepository>(
        journaledPath, QString(), FileHealthArchiveRepository::kLargestArchiveBytes,
        HealthArchiveJournalLimits{16 * 1024, std::chrono::seconds(3600)});
    ArchiveKeeper journaledKeeper({journaledFiles, dates, countingIds()});
    ArchiveKeeper rewrittenKeeper(
        {std::make_shared<AlwaysRewritingRepository>(rewrittenPath), dates, countingIds()});
    QCoro::waitFor(journaledKeeper.prepare());
    QCoro::waitFor(rewrittenKeeper.prepare());
    ASSERT_TRUE(journaledKeeper.isPrepared() && rewrittenKeeper.isPrepared());

    const auto loadedAsOfNow = [&now](const QString& path) {
        return HealthArchiveCompaction::compacted(FileHealthArchiveRepository(path).loadNow(), now);
    };
    bool journalLinesSeen = false;
    for (int minute = 1; minute <= 160; ++minute) {
        now = now.addingSeconds(60);
        const HealthSample sample = sampleAt(now, (minute % 89) / 100.0);
        const std::vector<HealthEvent> events{eventAt(now, 1000 + minute),
                                              eventAt(now.addingSeconds(-90), 2000 + minute)};
        for (ArchiveKeeper* keeper : {&journaledKeeper, &rewrittenKeeper}) {
            ASSERT_TRUE(keeper->appendSampleIfNeeded(sample));
            if (minute % 17 == 0)
                keeper->addEvents(events);
            if (minute == 40)
                keeper->startIncident(QStringLiteral("fan sesi"));
            if (minute == 95)
                keeper->stopIncident(QStringLiteral("geçti"));
            if (minute == 150)
                keeper->commit([&now](HealthArchive& archive) {
                    archive.fullSystemScanResults.push_back(
                        QJsonObject{{QStringLiteral("endedAt"), now.secondsSinceReferenceDate}});
                });
            ASSERT_TRUE(QCoro::waitFor(keeper->persist())) << keeper->persistenceError().toStdString();
        }
        if (minute % 25 != 0 && minute != 41 && minute != 96 && minute != 151)
            continue;
        SCOPED_TRACE(minute);
        const HealthArchive journaledOnDisk = loadedAsOfNow(journaledPath);
        ASSERT_EQ(journaledOnDisk, loadedAsOfNow(rewrittenPath));
        journalLinesSeen = journalLinesSeen || QFileInfo(journaledFiles->journalPath()).size() > 0;
        ASSERT_EQ(journaledOnDisk, journaledKeeper.archive());
    }
    EXPECT_TRUE(journalLinesSeen) << "the changes went to the journal";
    EXPECT_EQ(journaledKeeper.archive().incidents.size(), 1u);
    EXPECT_EQ(journaledKeeper.archive().fullSystemScanResults.size(), 1u);
}
