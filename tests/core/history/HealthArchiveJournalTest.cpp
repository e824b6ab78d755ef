#include "history/HealthArchiveJournal.h"

#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "foundation/Uuid.h"
#include "history/FileHealthArchiveRepository.h"
#include "measurement/SystemSnapshot.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

const Date kStart = Date::fromUnixSeconds(1'765'000'000);

HealthSample sampleNumber(int i) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = kStart.addingSeconds(60.0 * i);
    s.cpuUsage = 0.01 * (i % 100);
    s.thermalLevel = ThermalLevel::nominal;
    s.healthLevel = HealthLevel::normal;
    return s;
}

HealthArchiveChanges appended(const HealthSample& sample) {
    HealthArchiveChanges changes;
    changes.samples.push_back(sample);
    return changes;
}

struct Folder {
    QTemporaryDir dir;
    QString archive() const { return dir.filePath(QStringLiteral("health-archive.json")); }
    QString journal() const { return dir.filePath(QStringLiteral("health-archive.journal")); }
};

// An archive of one sample, then two journaled samples: the files every damage case starts from.
HealthArchive writeArchiveAndTwoLines(const Folder& folder) {
    HealthArchive archive;
    QByteArray journal;
    {
        FileHealthArchiveRepository repository(folder.archive());
        archive = repository.loadNow();
        archive.samples.push_back(sampleNumber(0));
        repository.saveNow(archive);
        for (int i = 1; i <= 2; ++i) {
            archive.samples.push_back(sampleNumber(i));
            repository.recordNow(archive, appended(archive.samples.back()));
        }
        journal = readFile(folder.journal());
    }
    // As a crash leaves it: the repository's clean stop folded the journal into the archive.
    writeFile(folder.journal(), journal);
    HealthArchive beforeLines = archive;
    beforeLines.samples.resize(1);
    FileHealthArchiveRepository rewriter(folder.archive());
    rewriter.saveNow(beforeLines);
    writeFile(folder.journal(), journal);
    return archive;
}

HealthArchive loadFresh(const Folder& folder) {
    return FileHealthArchiveRepository(folder.archive()).loadNow();
}

} // namespace

TEST(HealthArchiveJournal, RecordedSamplesAreAppendedAndReplayed) {
    Folder folder;
    FileHealthArchiveRepository repository(folder.archive());
    HealthArchive archive = repository.loadNow();
    for (int i = 0; i < 3; ++i) {
        archive.samples.push_back(sampleNumber(i));
        repository.recordNow(archive, appended(archive.samples.back()));
    }
    // The first change writes the archive (there was none); the next two are lines.
    EXPECT_EQ(readFile(folder.journal()).count('\n'), 2);
    EXPECT_EQ(loadFresh(folder), archive);
}

TEST(HealthArchiveJournal, DamageIsJudgedByWhereItIs) {
    struct Case {
        const char* name;
        std::function<QByteArray(const QByteArray&)> damage;
        int samplesLoaded; // -1: a decoding error, and the files stay as they were
    };
    const std::vector<Case> cases{
        {"torn last line", [](const QByteArray& j) { return j + R"({"seq":3,"sample":{"id":"A)"; }, 3},
        {"unreadable last line", [](const QByteArray& j) { return j + "\x01\x02garbage\n"; }, 3},
        {"last line cut without its newline", [](const QByteArray& j) { return j.left(j.size() - 1); }, 2},
        {"garbage between lines",
         [](const QByteArray& j) {
             const qsizetype firstEnd = j.indexOf('\n') + 1;
             return j.left(firstEnd) + "not json\n" + j.mid(firstEnd);
         },
         -1},
        {"a sequence that goes back", [](const QByteArray& j) { return j.mid(j.indexOf('\n') + 1) + j; }, -1},
        {"an unknown change",
         [](const QByteArray& j) {
             return R"({"seq":1,"teleport":{}})"
                    "\n" +
                    j;
         },
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        writeArchiveAndTwoLines(folder);
        writeFile(folder.journal(), c.damage(readFile(folder.journal())));
        const QByteArray archiveBefore = readFile(folder.archive());
        const QByteArray journalBefore = readFile(folder.journal());
        if (c.samplesLoaded < 0) {
            try {
                FileHealthArchiveRepository repository(folder.archive());
                repository.loadNow();
                ADD_FAILURE() << "loaded";
            } catch (const KestrumError& error) {
                EXPECT_EQ(error.code(), QStringLiteral("decoding"));
                EXPECT_TRUE(error.description().contains(QStringLiteral("günlüğünün")))
                    << error.description().toStdString();
            }
            EXPECT_EQ(readFile(folder.archive()), archiveBefore);
            EXPECT_EQ(readFile(folder.journal()), journalBefore);
            continue;
        }
        FileHealthArchiveRepository repository(folder.archive());
        HealthArchive loaded = repository.loadNow();
        EXPECT_EQ(static_cast<int>(loaded.samples.size()), c.samplesLoaded);
        // The next line replaces the dropped one instead of following it.
        loaded.samples.push_back(sampleNumber(10));
        repository.recordNow(loaded, appended(loaded.samples.back()));
        EXPECT_EQ(FileHealthArchiveRepository(folder.archive()).loadNow(), loaded);
    }
}

TEST(HealthArchiveJournal, AJournalWithoutItsArchiveAndAnArchiveNewerThanItsJournal) {
    {
        Folder folder;
        const HealthArchive written = writeArchiveAndTwoLines(folder);
        QFile::remove(folder.archive());
        const HealthArchive loaded = loadFresh(folder);
        ASSERT_EQ(loaded.samples.size(), 2u) << "the archive's own sample went with it";
        EXPECT_EQ(loaded.samples[0], written.samples[1]);
    }
    {
        // A crash between writing the archive and emptying the journal leaves lines already folded in.
        Folder folder;
        HealthArchive archive = writeArchiveAndTwoLines(folder);
        const QByteArray oldJournal = readFile(folder.journal());
        FileHealthArchiveRepository repository(folder.archive());
        archive = repository.loadNow();
        archive.samples.push_back(sampleNumber(3));
        repository.saveNow(archive);
        EXPECT_TRUE(readFile(folder.journal()).isEmpty());
        writeFile(folder.journal(), oldJournal);
        EXPECT_EQ(loadFresh(folder), archive) << "no sample twice";
    }
}

TEST(HealthArchiveJournal, TheArchiveIsRewrittenWhenTheJournalIsFullOldOrCannotSayTheChange) {
    struct Case {
        const char* name;
        HealthArchiveJournalLimits limits;
        bool needsRewrite;
        int linesAfterThreeChanges;
    };
    const std::vector<Case> cases{
        {"within limits", {}, false, 3},
        {"past its size", {100, std::chrono::seconds(3600)}, false, 1},
        {"past its age", {256 * 1024, std::chrono::seconds(0)}, false, 1},
        {"a change without a journal form", {}, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        HealthArchive archive;
        {
            FileHealthArchiveRepository repository(
                folder.archive(), {}, FileHealthArchiveRepository::kLargestArchiveBytes, c.limits);
            archive = repository.loadNow();
            archive.samples.push_back(sampleNumber(0));
            repository.saveNow(archive);
            for (int i = 1; i <= 3; ++i) {
                archive.samples.push_back(sampleNumber(i));
                HealthArchiveChanges changes = appended(archive.samples.back());
                changes.needsRewrite = c.needsRewrite;
                repository.recordNow(archive, changes);
            }
            EXPECT_EQ(readFile(folder.journal()).count('\n'), c.linesAfterThreeChanges);
            EXPECT_EQ(loadFresh(folder), archive);
        }
        // A clean stop folds the journal in.
        EXPECT_TRUE(readFile(folder.journal()).isEmpty());
        EXPECT_EQ(loadFresh(folder), archive);
    }
}

TEST(HealthArchiveJournal, IncidentsAndResultsAreReplacedWholeAndClearedOptionalsStayCleared) {
    Folder folder;
    FileHealthArchiveRepository repository(folder.archive());
    HealthArchive archive = repository.loadNow();
    archive.latestNetworkQualityResult = NetworkQualityResult{};
    repository.saveNow(archive);
    archive.incidents.push_back({newUuid(), kStart, kStart.addingSeconds(5), QStringLiteral("fan")});
    archive.fullSystemScanResults.push_back(QJsonObject{{QStringLiteral("endedAt"), 1.0}});
    archive.latestNetworkQualityResult.reset();
    HealthArchiveChanges changes;
    changes.replacedFields = QStringList{QStringLiteral("incidents"), QStringLiteral("fullSystemScanResults"),
                                         QStringLiteral("latestNetworkQualityResult")};
    repository.recordNow(archive, changes);
    EXPECT_EQ(readFile(folder.journal()).count('\n'), 0) << "rewritten whole";
    EXPECT_EQ(loadFresh(folder), archive);
    // A replacement line from the journal replays too.
    writeFile(folder.journal(), HealthArchiveJournal::replaceLine(1, archive, changes.replacedFields));
    archive.latestNetworkQualityResult = NetworkQualityResult{};
    FileHealthArchiveRepository(folder.archive()).saveNow(archive);
    writeFile(folder.journal(),
              HealthArchiveJournal::replaceLine(1, HealthArchive{}, changes.replacedFields));
    archive.incidents.clear();
    archive.fullSystemScanResults.clear();
    archive.latestNetworkQualityResult.reset();
    EXPECT_EQ(loadFresh(folder), archive);
}

TEST(HealthArchiveJournal, IncidentsAndSessionsAreJournaledItemByItem) {
    const IncidentSession a{newUuid(), kStart, kStart.addingSeconds(60), QStringLiteral("a")};
    const IncidentSession b{newUuid(), kStart.addingSeconds(100), std::nullopt, QStringLiteral("b")};
    IncidentSession bStopped = b;
    bStopped.endedAt = kStart.addingSeconds(200);
    const IncidentSession c{newUuid(), kStart.addingSeconds(300), std::nullopt, QStringLiteral("c")};
    SystemSnapshot snapshot = SystemSnapshot::empty(newUuid(), kStart);
    snapshot.memory = MemoryStats{9'000, 10'000, 0, 2'000'000'000, MetricAvailability::available()};
    const PerformanceSession running = PerformanceSession::start(newUuid(), QStringLiteral("s"), snapshot);
    PerformanceSession counted = running;
    snapshot.timestamp = kStart.addingSeconds(60);
    ASSERT_TRUE(counted.record(snapshot));
    const PerformanceSession ended = PerformanceSession::start(newUuid(), QStringLiteral("e"), snapshot);

    struct Case {
        const char* name;
        std::vector<IncidentSession> incidentsBefore, incidentsAfter;
        std::vector<PerformanceSession> sessionsBefore, sessionsAfter;
        bool hasItemForm;
    };
    const std::vector<Case> cases{
        {"an incident started", {a}, {a, b}, {}, {}, true},
        {"an incident stopped moves last", {b, a}, {a, bStopped}, {}, {}, true},
        {"an old incident dropped, a new one added", {a, b}, {b, c}, {}, {}, true},
        {"every incident erased", {a, b}, {}, {}, {}, true},
        {"a running session counted a sample", {a}, {a}, {ended, running}, {ended, counted}, true},
        {"a session and an incident at once", {a}, {a, b}, {running}, {counted}, true},
        {"unchanged incidents reordered", {a, b}, {b, a}, {}, {}, false},
        {"one id twice", {a}, {a, a}, {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        HealthArchive before = HealthArchive::empty();
        before.incidents = c.incidentsBefore;
        before.performanceSessions = c.sessionsBefore;
        HealthArchive after = before;
        after.incidents = c.incidentsAfter;
        after.performanceSessions = c.sessionsAfter;
        HealthArchiveChanges changes;
        changes.replacedFields = HealthArchiveJournal::differingFields(before, after);
        ASSERT_FALSE(changes.replacedFields.isEmpty());
        changes.items = HealthArchiveJournal::itemChanges(before, after, changes.replacedFields);
        EXPECT_EQ(changes.replacedFields.isEmpty(), c.hasItemForm)
            << changes.replacedFields.join(u',').toStdString();
        EXPECT_EQ(changes.items.isEmpty(), !c.hasItemForm);
        {
            FileHealthArchiveRepository repository(folder.archive());
            repository.loadNow();
            repository.saveNow(before);
            repository.recordNow(after, changes);
            EXPECT_EQ(readFile(folder.journal()).count('\n'), c.hasItemForm ? 1 : 0);
            EXPECT_EQ(loadFresh(folder), after);
            QByteArray journal = readFile(folder.journal());
            // As a crash leaves it: the line is replayed over the archive it followed.
            if (c.hasItemForm) {
                FileHealthArchiveRepository(folder.archive()).saveNow(before);
                writeFile(folder.journal(), journal);
                EXPECT_EQ(loadFresh(folder), after);
            }
        }
        EXPECT_TRUE(readFile(folder.journal()).isEmpty());
        EXPECT_EQ(loadFresh(folder), after);
    }
    // Lines that name what no list holds are decoding errors, not silently skipped.
    const QList<QByteArray> bad{R"({"seq":1,"items":{"samples":[]}})",
                                R"({"seq":1,"items":{},"removed":{"events":[]}})",
                                R"({"seq":1,"items":{},"removed":{"incidents":["not an id"]}})"};
    for (const QByteArray& line : bad) {
        SCOPED_TRACE(line.toStdString());
        HealthArchive archive = HealthArchive::empty();
        EXPECT_THROW(HealthArchiveJournal::replay(archive, 0, line + "\n" + line + "\n"), KestrumError);
    }
}

TEST(HealthArchiveJournal, AnArchiveGoneFromUnderTheWriterIsWrittenAgainNotJournaledAlone) {
    struct Case {
        const char* name;
        std::function<void(const Folder&)> disturb;
        bool recordSucceeds;
    };
    const std::vector<Case> cases{
        {"removed", [](const Folder& f) { QFile::remove(f.archive()); }, true},
        {"replaced by another file",
         [](const Folder& f) {
             const QByteArray bytes = readFile(f.archive());
             QFile::remove(f.archive());
             writeFile(f.archive(), bytes);
         },
         true},
        {"a folder in its place",
         [](const Folder& f) {
             QFile::remove(f.archive());
             writeFile(f.archive() + QStringLiteral("/in-the-way"), "x");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        FileHealthArchiveRepository repository(folder.archive());
        HealthArchive archive = repository.loadNow();
        archive.samples.push_back(sampleNumber(0));
        repository.saveNow(archive);
        archive.samples.push_back(sampleNumber(1));
        repository.recordNow(archive, appended(archive.samples.back()));
        c.disturb(folder);
        archive.samples.push_back(sampleNumber(2));
        if (!c.recordSucceeds) {
            EXPECT_THROW(repository.recordNow(archive, appended(archive.samples.back())), KestrumError);
            continue;
        }
        repository.recordNow(archive, appended(archive.samples.back()));
        EXPECT_TRUE(readFile(folder.journal()).isEmpty()) << "rewritten whole";
        EXPECT_EQ(loadFresh(folder), archive);
    }
}

TEST(HealthArchiveJournal, SpecialFilesInPlaceOfTheJournalAreRefusedNotWaitedOn) {
    struct Case {
        const char* name;
        std::function<void(const Folder&)> make;
    };
    const std::vector<Case> cases{
        {"FIFO",
         [](const Folder& f) { ASSERT_EQ(::mkfifo(QFile::encodeName(f.journal()).constData(), 0600), 0); }},
        {"symbolic link",
         [](const Folder& f) {
             writeFile(f.dir.filePath(QStringLiteral("elsewhere")), "{\"seq\":1}\n");
             ASSERT_TRUE(QFile::link(f.dir.filePath(QStringLiteral("elsewhere")), f.journal()));
         }},
        {"folder", [](const Folder& f) { ASSERT_TRUE(QDir().mkdir(f.journal())); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        {
            FileHealthArchiveRepository repository(folder.archive());
            HealthArchive archive = repository.loadNow();
            archive.samples.push_back(sampleNumber(0));
            repository.saveNow(archive);
        }
        c.make(folder);
        const QByteArray archiveBefore = readFile(folder.archive());
        FileHealthArchiveRepository repository(folder.archive());
        try {
            repository.loadNow();
            ADD_FAILURE() << "loaded";
        } catch (const KestrumError& error) {
            EXPECT_EQ(error.code(), QStringLiteral("fileRead"));
        }
        EXPECT_EQ(readFile(folder.archive()), archiveBefore);
    }
}

// A writer killed at random moments of its appends and rewrites: every load succeeds, and holds every
// acknowledged sample exactly once, in order.
TEST(HealthArchiveJournal, KilledWritersLoseNothingAcknowledged) {
    Folder folder;
    std::mt19937 random(20261206);
    int acknowledged = -1;
    for (int round = 0; round < 100; ++round) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            // Small limits: rewrites happen every few appends, so kills land in both.
            FileHealthArchiveRepository repository(folder.archive(), {},
                                                   FileHealthArchiveRepository::kLargestArchiveBytes,
                                                   {2048, std::chrono::seconds(3600)});
            HealthArchive archive = repository.loadNow();
            for (int i = static_cast<int>(archive.samples.size());; ++i) {
                archive.samples.push_back(sampleNumber(i));
                repository.recordNow(archive, appended(archive.samples.back()));
                if (::write(pipeFds[1], &i, sizeof i) != sizeof i)
                    ::_exit(2);
            }
        }
        ::close(pipeFds[1]);
        // The kill lands at a random point after the writer's first acknowledged change, however slow the
        // build (sanitizers) makes its start.
        int index = 0;
        pollfd ready{pipeFds[0], POLLIN, 0};
        if (::poll(&ready, 1, 20000) == 1 && ::read(pipeFds[0], &index, sizeof index) == sizeof index)
            acknowledged = std::max(acknowledged, index);
        ::usleep(std::uniform_int_distribution<int>(0, 30000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        while (::read(pipeFds[0], &index, sizeof index) == sizeof index)
            acknowledged = std::max(acknowledged, index);
        ::close(pipeFds[0]);

        HealthArchive loaded;
        try {
            loaded = loadFresh(folder);
        } catch (const KestrumError& error) {
            FAIL() << "round " << round << ": " << error.description().toStdString();
        }
        ASSERT_GE(static_cast<int>(loaded.samples.size()), acknowledged + 1) << "round " << round;
        ASSERT_LE(static_cast<int>(loaded.samples.size()), acknowledged + 2) << "round " << round;
        for (size_t i = 0; i < loaded.samples.size(); ++i)
            ASSERT_EQ(loaded.samples[i].timestamp, sampleNumber(static_cast<int>(i)).timestamp)
                << "round " << round << ", sample " << i;
        // A sample written but not acknowledged is kept: the writer's next run counts on from it.
        acknowledged = static_cast<int>(loaded.samples.size()) - 1;
    }
    EXPECT_GT(acknowledged, 10) << "the writers made progress";
}
