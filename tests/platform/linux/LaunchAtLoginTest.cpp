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

namespace {

// Reads an Exec value back as a desktop would: the string escapes first (\s \n \t \r \\), then the
// arguments, double-quoted ones with \" \` \$ \\ inside, then %% as a literal %. Absent when malformed.
std::optional<QStringList> execArguments(const QString& value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            unescaped += value[i];
            continue;
        }
        if (++i >= value.size())
            return std::nullopt;
        const QChar c = value[i];
        unescaped += c == u's'   ? QChar(u' ')
                     : c == u'n' ? QChar(u'\n')
                     : c == u't' ? QChar(u'\t')
                     : c == u'r' ? QChar(u'\r')
                                 : c;
    }
    QStringList arguments;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (c == u' ') {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else if (c == u'"') {
            inArgument = true;
            for (++i;; ++i) {
                if (i >= unescaped.size())
                    return std::nullopt; // unterminated quote
                if (unescaped[i] == u'"')
                    break;
                if (unescaped[i] == u'\\') {
                    if (++i >= unescaped.size() || !QStringLiteral("\"`$\\").contains(unescaped[i]))
                        return std::nullopt;
                }
                current += unescaped[i];
            }
        } else if (QStringLiteral("\t\n'\\><~|&;$*?#()`").contains(c)) {
            return std::nullopt; // reserved outside quotes
        } else if (c == u'%') {
            if (i + 1 >= unescaped.size() || unescaped[i + 1] != u'%')
                return std::nullopt; // a field code
            current += u'%';
            ++i;
            inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

} // namespace

TEST(LaunchAtLoginStore, ProgramPathsAreQuotedForTheExecKey) {
    struct Case {
        const char* path;
        const char* exec;
    } cases[] = {
        {"/usr/bin/kestrum", "/usr/bin/kestrum"},
        {"/home/ayşe/My Apps/bin/kestrum", "\"/home/ayşe/My Apps/bin/kestrum\""},
        {"/opt/$HOME/k\"q/kestrum", "\"/opt/\\\\$HOME/k\\\\\"q/kestrum\""},
        {"/opt/100%/kestrum", "/opt/100%%/kestrum"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LaunchAtLoginStore::execArgument(QString::fromUtf8(c.path)), QByteArray(c.exec)) << c.path;

    // Whatever the path, the desktop reads back exactly it.
    for (const char* path : {"/a b/c", "/x\\y/z", "/q\"uote/`tick`/$var/\\\\two", "/100%%/%f/k",
                             "/it's/(a)/[b]/{c}", "/~/<>|&;*?#/k", "/ünïcödé/ş/kestrum", "/trailing\\"}) {
        const auto exec = LaunchAtLoginStore::execArgument(QString::fromUtf8(path));
        ASSERT_TRUE(exec) << path;
        EXPECT_EQ(execArguments(QString::fromUtf8(*exec + " --hidden")),
                  (QStringList{QString::fromUtf8(path), QStringLiteral("--hidden")}))
            << path << " → " << exec->toStdString();
    }
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
