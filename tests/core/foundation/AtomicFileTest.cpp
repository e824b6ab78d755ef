#include "foundation/AtomicFile.h"

#include "TestSupport.h"
#include "foundation/KestrumError.h"
#include "foundation/ProcessLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;

TEST(AtomicFile, WritesCreatesFoldersAndKeepsPermissions) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/a/b/file.json");
    writeFileAtomically(path, "first");
    EXPECT_EQ(test::readFile(path), QByteArray("first"));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    writeFileAtomically(path, "second");
    EXPECT_EQ(test::readFile(path), QByteArray("second"));
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary files left behind.
    EXPECT_EQ(QDir(dir.path() + QStringLiteral("/a/b")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(AtomicFile, FailuresAreReportedAndLeaveWhatWasThere) {
    QTemporaryDir dir;
    // A folder where the file should go cannot be replaced, even by root.
    const QString path = dir.path() + QStringLiteral("/occupied");
    test::writeFile(path + QStringLiteral("/inside"), "keep");
    try {
        writeFileAtomically(path, "new");
        ADD_FAILURE() << "wrote over a folder";
    } catch (const KestrumError& error) {
        EXPECT_EQ(error.code(), QStringLiteral("fileWrite"));
        EXPECT_TRUE(error.description().contains(path));
    }
    EXPECT_EQ(test::readFile(path + QStringLiteral("/inside")), QByteArray("keep"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0) << "no temporary file left";
}

TEST(AtomicFile, AWriterKilledMidWayLeavesTheOldOrTheNewFileNeverAPart) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/archive.json");
    const QByteArray oldContent(3 * 1024 * 1024, 'o');
    const QByteArray newContent(3 * 1024 * 1024, 'n');
    writeFileAtomically(path, oldContent);
    for (int attempt = 0; attempt < 12; ++attempt) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                writeFileAtomically(path, newContent);
                writeFileAtomically(path, oldContent);
            }
        }
        ::usleep(2000 + attempt * 1500);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const QByteArray now = test::readFile(path);
        EXPECT_TRUE(now == oldContent || now == newContent)
            << "attempt " << attempt << " size " << now.size();
    }
}

TEST(AtomicFile, ReadingMissingTooLargeAndUnreadableFiles) {
    QTemporaryDir dir;
    EXPECT_FALSE(readFileIfExists(dir.path() + QStringLiteral("/missing")));
    const QString big = dir.path() + QStringLiteral("/big");
    writeFileAtomically(big, QByteArray(100, 'x'));
    EXPECT_THROW(readFileIfExists(big, 10), KestrumError);
    EXPECT_EQ(readFileIfExists(big, 100)->size(), 100);
    EXPECT_THROW(readFileIfExists(dir.path()), KestrumError) << "a folder is not a readable file";
}

TEST(AtomicFile, SpecialFilesAreRefusedWithoutWaitingOrReadingForever) {
    QTemporaryDir dir;
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // Were the reader to wait for a writer, this one comes after two seconds and the timing tells.
    std::thread unblocker([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    struct Case {
        QString path;
        const char* name;
    } cases[] = {
        {fifo, "FIFO"},
        {QStringLiteral("/dev/zero"), "endless device"},
        {dir.path(), "folder"},
    };
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        try {
            readFileIfExists(c.path, 1024);
            ADD_FAILURE() << c.name << " was read";
        } catch (const KestrumError& error) {
            EXPECT_EQ(error.code(), QStringLiteral("fileRead")) << c.name;
            EXPECT_TRUE(error.description().contains(QStringLiteral("sıradan bir dosya değil")))
                << c.name << ": " << error.description().toStdString();
        }
        EXPECT_LT(timer.elapsed(), 1000) << c.name;
    }
    unblocker.join();
}

TEST(AtomicFile, ASymbolicLinkIsWrittenThroughAndStaysALink) {
    QTemporaryDir dir;
    const QString real = dir.path() + QStringLiteral("/elsewhere/real.json");
    test::writeFile(real, "old");
    struct Case {
        const char* name;
        QString link;
        QString target;
    } cases[] = {
        {"absolute", dir.path() + QStringLiteral("/absolute.json"), real},
        {"relative", dir.path() + QStringLiteral("/relative.json"), QStringLiteral("elsewhere/real.json")},
        {"chain", dir.path() + QStringLiteral("/chain.json"), QStringLiteral("absolute.json")},
    };
    int round = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(::symlink(QFile::encodeName(c.target).constData(), QFile::encodeName(c.link).constData()),
                  0);
        const QByteArray content = "new " + QByteArray::number(++round);
        writeFileAtomically(c.link, content);
        EXPECT_TRUE(QFileInfo(c.link).isSymLink()) << c.name;
        EXPECT_EQ(test::readFile(real), content) << c.name;
    }
    // A dangling link makes the file it names.
    const QString dangling = dir.path() + QStringLiteral("/dangling.json");
    ASSERT_EQ(::symlink("made-by-write.json", QFile::encodeName(dangling).constData()), 0);
    writeFileAtomically(dangling, "made");
    EXPECT_EQ(test::readFile(dir.path() + QStringLiteral("/made-by-write.json")), QByteArray("made"));
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
}

TEST(AtomicFile, NewFoldersArePrivateWhateverTheUmask) {
    QTemporaryDir dir;
    const mode_t previous = ::umask(0);
    writeFileAtomically(dir.path() + QStringLiteral("/data/kestrum/file.json"), "x");
    ::umask(previous);
    for (const char* folder : {"/data", "/data/kestrum"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir.path() + QLatin1String(folder)).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    struct stat st {};
    ::stat(QFile::encodeName(dir.path() + QStringLiteral("/data/kestrum/file.json")).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(AtomicFile, StaleTemporariesOfTheGuardedFilesGoWhenTheLockIsTaken) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/data");
    const QStringList stale = {QStringLiteral(".health-archive.json.Ab3xQ9"),
                               QStringLiteral(".cpu-benchmark-history-v1.json.000000")};
    const QStringList kept = {QStringLiteral("health-archive.json"),
                              QStringLiteral(".health-archive.json.short"), // not mkstemp's six characters
                              QStringLiteral(".health-archive.json.Ab3xQ9.bak"),
                              QStringLiteral(".preferences.json.Ab3xQ9"), // not a file this lock guards
                              QStringLiteral("notes.txt")};
    for (const QString& name : stale + kept)
        test::writeFile(folder + u'/' + name, "x");
    const QString lockPath = folder + QStringLiteral("/monitor.lock");
    ProcessLock holder(lockPath);
    ASSERT_TRUE(holder.tryLock());
    for (const QString& name : stale)
        EXPECT_FALSE(QFile::exists(folder + u'/' + name)) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(QFile::exists(folder + u'/' + name)) << name.toStdString();

    // One that does not get the lock leaves the holder's temporaries alone: they may be in use.
    test::writeFile(folder + u'/' + stale[0], "being written");
    ProcessLock other(lockPath);
    EXPECT_FALSE(other.tryLock());
    EXPECT_TRUE(QFile::exists(folder + u'/' + stale[0]));
}
