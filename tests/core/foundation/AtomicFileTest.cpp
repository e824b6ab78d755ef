#include "foundation/AtomicFile.h"

#include "TestSupport.h"
#include "foundation/KestrumError.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
