// kestrum-cli storage end to end: which folder is remembered, Ctrl-C, and names that are not text.

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class StorageCli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
        env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=/nonexistent/kestrum-test-bus"));
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("tr_TR"));
        return env;
    }

    CliRun run(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral(KESTRUM_CLI_PATH), QStringList{QStringLiteral("storage")} + arguments);
        if (!process.waitForFinished(60000))
            return {};
        return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                      QString::fromUtf8(process.readAllStandardError())};
    }

    // The folder a plain `storage` scans now; empty when it fails.
    QString remembered() {
        const CliRun again = run({QStringLiteral("--json")});
        if (again.exitCode != 0)
            return {};
        return QJsonDocument::fromJson(again.out.toUtf8())
            .object()
            .value(QStringLiteral("rootPath"))
            .toString();
    }
};

void makeTree(const QString& root, int folders, int filesPerFolder) {
    for (int d = 0; d < folders; ++d) {
        const QString folder = root + QStringLiteral("/f%1").arg(d);
        QDir().mkpath(folder);
        for (int i = 0; i < filesPerFolder; ++i)
            test::writeFile(folder + QStringLiteral("/n%1.txt").arg(i), "x");
    }
}

} // namespace

TEST_F(StorageCli, OnlyASuccessfulScanOfAChosenFolderIsRemembered) {
    QTemporaryDir first;
    QTemporaryDir second;
    test::writeFile(first.path() + QStringLiteral("/a.txt"), "a");
    test::writeFile(second.path() + QStringLiteral("/b.txt"), "b");
    EXPECT_EQ(run({}).exitCode, 1) << "nothing remembered yet";

    ASSERT_EQ(run({first.path(), QStringLiteral("--json")}).exitCode, 0);
    EXPECT_EQ(remembered(), first.path());

    struct Case {
        const char* description;
        QStringList arguments;
        int exitCode;
        QString rememberedAfter;
    } cases[] = {
        {"a missing folder", {second.path() + QStringLiteral("/missing")}, 1, first.path()},
        {"a file", {second.path() + QStringLiteral("/b.txt")}, 1, first.path()},
        {"two folders", {first.path(), second.path()}, 2, first.path()},
        {"another folder, with a trailing slash", {second.path() + u'/'}, 0, second.path()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run(c.arguments).exitCode, c.exitCode) << c.description;
        EXPECT_EQ(remembered(), c.rememberedAfter) << c.description;
    }
    const CliRun json = run({second.path() + u'/', QStringLiteral("--json")});
    EXPECT_EQ(
        QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("rootName")).toString(),
        QFileInfo(second.path()).fileName())
        << "a trailing slash does not empty the folder's name";
}

TEST_F(StorageCli, CtrlCStopsTheScanButKeepsTheRememberedFolder) {
    QTemporaryDir small;
    test::writeFile(small.path() + QStringLiteral("/a.txt"), "a");
    QTemporaryDir big(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                          ? QStringLiteral("/dev/shm/kestrum-cli-test-XXXXXX")
                          : QDir::tempPath() + QStringLiteral("/kestrum-cli-test-XXXXXX"));
    makeTree(big.path(), 400, 100);
    ASSERT_EQ(run({big.path(), QStringLiteral("--json")}).exitCode, 0);
    ASSERT_EQ(remembered(), big.path());

    // Interrupt at different moments: before the scan starts, during it, as it ends. Whatever the
    // moment, the remembered folder stays; a folder given with the interrupted run is not remembered.
    int interrupted = 0;
    const auto interruptAfter = [&](bool withFolder, int delayMs) {
        QProcess process;
        process.setProcessEnvironment(environment());
        QStringList arguments{QStringLiteral("storage"), QStringLiteral("--json")};
        if (withFolder)
            arguments << small.path();
        process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
        ASSERT_TRUE(process.waitForStarted());
        std::this_thread::sleep_for(std::chrono::milliseconds(withFolder ? delayMs / 10 : delayMs));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        ASSERT_TRUE(process.waitForFinished(60000));
        const bool finished = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 130)
            ++interrupted;
        // A small folder's scan may end before the signal arrives: then it is rightly remembered.
        const QString expected = withFolder && finished ? small.path() : big.path();
        EXPECT_EQ(remembered(), expected) << (withFolder ? "with a folder, " : "") << delayMs << " ms";
        if (remembered() != big.path())
            ASSERT_EQ(run({big.path(), QStringLiteral("--json")}).exitCode, 0);
    };
    for (const bool withFolder : {false, true}) {
        for (const int delayMs : {20, 60, 120, 200, 300, 450})
            interruptAfter(withFolder, delayMs);
    }
    // On a loaded machine the process may start slower than every delay above: later, until one lands.
    for (int delayMs = 700; interrupted == 0 && delayMs < 6000; delayMs = delayMs * 3 / 2)
        interruptAfter(false, delayMs);
    EXPECT_GT(interrupted, 0) << "no run was interrupted during its scan";
}

TEST_F(StorageCli, NamesThatAreNotTextDoNotBreakTheTable) {
    QTemporaryDir tree;
    const QByteArray root = QFile::encodeName(tree.path());
    for (const QByteArray& name : {QByteArray("line\nbreak"), QByteArray("bad\xff")}) {
        ASSERT_EQ(::mkdir((root + '/' + name).constData(), 0755), 0);
        const int fd =
            ::open((root + '/' + name + "/f.bin").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_EQ(::write(fd, "data", 4), 4);
        ::close(fd);
    }
    const CliRun text = run({tree.path()});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("line\\x0abreak"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("bad\\xff"))) << text.out.toStdString();
    for (const QString& line : text.out.split(u'\n'))
        EXPECT_FALSE(line.trimmed().startsWith(QStringLiteral("break"))) << "a name was split over two lines";
    EXPECT_TRUE(text.out.contains(QStringLiteral("Atlanan bağlama noktaları")));

    const CliRun json = run({tree.path(), QStringLiteral("--json")});
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object.value(QStringLiteral("skippedMountPointCount")).toInt(-1), 0);
    EXPECT_EQ(object.value(QStringLiteral("fileCount")).toInt(), 2);
}
