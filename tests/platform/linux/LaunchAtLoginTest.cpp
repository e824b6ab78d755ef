#include "LaunchAtLoginStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace kestrum;

TEST(LaunchAtLoginStore, UnavailableOutsideAnInstalledLocation) {
    QTemporaryDir config;
    LaunchAtLoginStore store(QStringLiteral("/home/dev/kestrum/build/default/bin/kestrum"),
                             {QStringLiteral("/usr/local/bin")}, config.path());
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::unavailable);
    store.setEnabled(true);
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::unavailable);
    EXPECT_FALSE(QFile::exists(store.autostartFile())) << "nothing is registered";
    EXPECT_FALSE(store.failed());
}

TEST(LaunchAtLoginStore, EnablingWritesAnAutostartEntryAndDisablingRemovesIt) {
    QTemporaryDir config;
    LaunchAtLoginStore store(QStringLiteral("/usr/local/bin/kestrum"), {QStringLiteral("/usr/local/bin/")},
                             config.path());
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::disabled);
    store.setEnabled(true);
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::enabled);
    const QByteArray entry = test::readFile(store.autostartFile());
    EXPECT_TRUE(entry.contains("Exec=/usr/local/bin/kestrum --hidden"));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    // Enabling again does not register twice (the file stays as it is).
    test::writeFile(store.autostartFile(), entry + "# kept\n");
    store.setEnabled(true);
    EXPECT_TRUE(test::readFile(store.autostartFile()).endsWith("# kept\n"));
    // The desktop's own switch counts.
    test::writeFile(store.autostartFile(), entry + "Hidden=true\n");
    store.refresh();
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::disabled);
    store.setEnabled(false);
    EXPECT_FALSE(QFile::exists(store.autostartFile()));
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::disabled);
}

TEST(LaunchAtLoginStore, AFolderThatCannotBeWrittenIsAFailure) {
    QTemporaryDir config;
    test::writeFile(config.path() + QStringLiteral("/autostart"), "a file where the folder should be");
    LaunchAtLoginStore store(QStringLiteral("/usr/bin/kestrum"), {QStringLiteral("/usr/bin")}, config.path());
    store.setEnabled(true);
    EXPECT_TRUE(store.failed());
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::disabled);
}

TEST(LaunchAtLoginStore, AnyPrefixThatCmakeInstalledCounts) {
    QTemporaryDir prefix;
    const QString program = prefix.path() + QStringLiteral("/bin/kestrum");
    EXPECT_FALSE(LaunchAtLoginStore::installedBinDirectories(program, QStringLiteral("/usr/local/bin"))
                     .contains(prefix.path() + QStringLiteral("/bin")))
        << "a bare build folder is not an installation";
    test::writeFile(prefix.path() + QStringLiteral("/share/applications/app.kestrum.Kestrum.desktop"),
                    "[Desktop Entry]\n");
    const QStringList dirs =
        LaunchAtLoginStore::installedBinDirectories(program, QStringLiteral("/usr/local/bin"));
    EXPECT_TRUE(dirs.contains(prefix.path() + QStringLiteral("/bin")));
    QTemporaryDir config;
    LaunchAtLoginStore store(program, dirs, config.path());
    EXPECT_EQ(store.status(), LaunchAtLoginStatus::disabled);
}

TEST(LaunchAtLoginStore, ProgramPathsAreQuotedForTheExecKey) {
    struct Case {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/usr/bin/kestrum", "/usr/bin/kestrum"},
        {"/home/ayşe/My Apps/bin/kestrum", "\"/home/ayşe/My Apps/bin/kestrum\""},
        {"/opt/$HOME/k\"q/kestrum", "\"/opt/\\\\$HOME/k\\\\\"q/kestrum\""},
        {"/opt/100%/kestrum", "/opt/100%%/kestrum"},
        // A backslash is escaped inside the quotes and again as a string value: four in the file.
        {"/opt/back\\slash/kestrum", "\"/opt/back\\\\\\\\slash/kestrum\""},
        {"/opt/`tick`/(x)/kestrum", "\"/opt/\\\\`tick\\\\`/(x)/kestrum\""},
        {"/opt/100% sure/kestrum", "\"/opt/100%% sure/kestrum\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LaunchAtLoginStore::execArgument(QString::fromUtf8(c.path)), QByteArray(c.exec)) << c.path;
}

TEST(LaunchAtLoginStore, PathsNoEntryCanCarryAreNotOffered) {
    for (const char* path :
         {"/opt/evil\nExec=/bin/sh -c reboot/kestrum", "/opt/cr\r/kestrum", "/opt/tab\t/kestrum",
          "/opt/nul\x01/kestrum", "/opt/del\x7f/kestrum", "/opt/a=b/kestrum"}) {
        EXPECT_FALSE(LaunchAtLoginStore::execArgument(QString::fromUtf8(path))) << path;
        QTemporaryDir config;
        const QString program = QString::fromUtf8(path);
        LaunchAtLoginStore store(program, {QFileInfo(program).absolutePath()}, config.path());
        EXPECT_EQ(store.status(), LaunchAtLoginStatus::unavailable) << path;
        store.setEnabled(true);
        EXPECT_FALSE(QFile::exists(store.autostartFile())) << path;
    }
    EXPECT_FALSE(LaunchAtLoginStore::execArgument(QString(QChar(0x85)) + QStringLiteral("/kestrum")))
        << "a control character beyond ASCII";
}

TEST(LaunchAtLoginStore, TheEntryForAQuotedPathIsValid) {
    // The entry written for such a path is one the desktop accepts.
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    QTemporaryDir config;
    const QString program = QStringLiteral("/home/ayşe/My Apps/bin/kestrum");
    LaunchAtLoginStore store(program, {QStringLiteral("/home/ayşe/My Apps/bin")}, config.path());
    store.setEnabled(true);
    ASSERT_EQ(store.status(), LaunchAtLoginStatus::enabled);
    QProcess validate;
    validate.start(validator, {store.autostartFile()});
    ASSERT_TRUE(validate.waitForFinished(10000));
    EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
}
