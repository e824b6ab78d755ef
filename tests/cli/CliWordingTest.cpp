// kestrum-cli's words and exit codes end to end: help in both languages, number options, lock messages,
// refusals over the bus. The built binary runs against temporary data and configuration folders.

#include "TestSupport.h"
#include "foundation/ProcessLock.h"
#include "platform/linux/PrivateBus.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

class CliWording : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;
    QString busAddress = QStringLiteral("unix:path=/nonexistent/kestrum-test-bus");

    QProcessEnvironment environment(bool english, const QString& dataDirectory) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUM_DATA_DIR"), dataDirectory);
        env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        env.insert(QStringLiteral("LANGUAGE"), english ? QStringLiteral("en_US") : QStringLiteral("tr_TR"));
        return env;
    }

    void start(QProcess& process, const QStringList& arguments, bool english = false,
               const QString& dataDirectory = {}) const {
        process.setProcessEnvironment(
            environment(english, dataDirectory.isEmpty() ? data.path() : dataDirectory));
        process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
    }

    // Runs to the end while this process keeps answering its own bus objects.
    CliResult run(const QStringList& arguments, bool english = false,
                  const QString& dataDirectory = {}) const {
        QProcess process;
        start(process, arguments, english, dataDirectory);
        if (!test::spinUntil([&] { return process.state() == QProcess::NotRunning; }, 30000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return CliResult{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                         QString::fromUtf8(process.readAllStandardError())};
    }

    struct Invocation {
        QStringList arguments;
        bool english = false;
        QString dataDirectory; // empty: the test's own
    };
    // Runs every invocation at the same time (each is mostly a process start) and returns the results in
    // the same order.
    std::vector<CliResult> runAll(const std::vector<Invocation>& invocations) const {
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const Invocation& i : invocations) {
            processes.push_back(std::make_unique<QProcess>());
            start(*processes.back(), i.arguments, i.english, i.dataDirectory);
        }
        test::spinUntil(
            [&] {
                return std::all_of(processes.begin(), processes.end(),
                                   [](const auto& p) { return p->state() == QProcess::NotRunning; });
            },
            90000);
        std::vector<CliResult> results;
        for (const auto& p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished();
                results.push_back({});
                continue;
            }
            results.push_back({p->exitCode(), QString::fromUtf8(p->readAllStandardOutput()),
                               QString::fromUtf8(p->readAllStandardError())});
        }
        return results;
    }

    QString archivePath() const { return data.path() + QStringLiteral("/health-archive.json"); }
    QString lockPath() const { return data.path() + QStringLiteral("/monitor.lock"); }
};

std::string describe(const QStringList& arguments, const CliResult& r) {
    return arguments.join(u' ').toStdString() + " → " + std::to_string(r.exitCode) + "\n" +
           r.out.toStdString() + r.err.toStdString();
}

} // namespace

TEST_F(CliWording, HelpOfEveryCommandInBothLanguages) {
    const CliResult overview = run({QStringLiteral("--help")});
    ASSERT_EQ(overview.exitCode, 0);
    // The commands are the words that start the indented usage lines.
    QStringList commands;
    static const QRegularExpression usageLine(QStringLiteral("^  ([a-z]+) "),
                                              QRegularExpression::MultilineOption);
    for (auto it = usageLine.globalMatch(overview.out); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!commands.contains(name))
            commands << name;
    }
    ASSERT_GE(commands.size(), 10) << overview.out.toStdString();

    // Turkish letters in English help mean an untranslated text; Latin-1 pairs mean UTF-8 read as Latin-1.
    static const QRegularExpression turkishLetter(QStringLiteral("[çğıöşüÇĞİÖŞÜ]"));
    static const QRegularExpression mojibake(QStringLiteral("[ÃÂÄÅ][\\x{80}-\\x{BF}]|\\x{FFFD}"));
    std::vector<Invocation> invocations;
    for (const bool english : {false, true}) {
        invocations.push_back({{QStringLiteral("--help")}, english});
        invocations.push_back({{QStringLiteral("help"), QStringLiteral("monitor")}, english});
        invocations.push_back(
            {{QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("-h")}, english});
        for (const QString& command : commands)
            invocations.push_back({{command, QStringLiteral("--help")}, english});
    }
    const std::vector<CliResult> results = runAll(invocations);
    for (size_t i = 0; i < invocations.size(); ++i) {
        const QStringList& arguments = invocations[i].arguments;
        const bool english = invocations[i].english;
        const CliResult& r = results[i];
        const std::string where = (english ? "(en) " : "(tr) ") + describe(arguments, r);
        EXPECT_EQ(r.exitCode, 0) << where;
        EXPECT_TRUE(r.err.isEmpty()) << where;
        EXPECT_TRUE(r.out.contains(QStringLiteral("kestrum-cli "))) << where;
        EXPECT_FALSE(r.out.contains(mojibake)) << where;
        if (english)
            EXPECT_FALSE(r.out.contains(turkishLetter)) << where;
        if (arguments.size() == 2 && arguments[1] == u"--help")
            EXPECT_TRUE(r.out.contains(QStringLiteral("kestrum-cli ") + arguments[0])) << where;
        if (arguments == QStringList{QStringLiteral("storage"), QStringLiteral("--help")})
            EXPECT_TRUE(r.out.contains(english ? QStringLiteral("storage [FOLDER]")
                                               : QStringLiteral("storage [KLASÖR]")))
                << where;
        if (arguments == QStringList{QStringLiteral("menubar"), QStringLiteral("--help")})
            EXPECT_TRUE(r.out.contains(english ? QStringLiteral("--primary METRIC")
                                               : QStringLiteral("--primary ÖLÇÜM")))
                << where;
    }
    EXPECT_EQ(run({QStringLiteral("help"), QStringLiteral("frobnicate")}).exitCode, 2);
}

TEST_F(CliWording, NumberOptionsAreCheckedAgainstWhatTheCodeCanHold) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* message; // in the Turkish error, when given
    } cases[] = {
        {{"monitor", "--count", "1.5"},
         2,
         "--count için 1 ile 1.000.000.000 arasında bir tam sayı gerekiyor."},
        {{"monitor", "--count", "0"}, 2, nullptr},
        {{"monitor", "--count", "99999999999999999999"}, 2, nullptr},
        {{"monitor", "--duration", "1e10"},
         2,
         "--duration için 1 ile 1.000.000.000 arasında bir sayı gerekiyor."},
        {{"monitor", "--duration", "nan"}, 2, nullptr},
        {{"monitor", "--duration", "inf"}, 2, nullptr},
        {{"monitor", "--interval", "0,5"}, 2, "--interval için 1 ile 30 arasında bir sayı gerekiyor."},
        {{"snapshot", "--interval", "1e-400"}, 2, "--interval için 0,1 ile 60 arasında bir sayı gerekiyor."},
        {{"snapshot", "--interval", "abc"}, 2, nullptr},
        // Above the 24.8 days a millisecond timer can hold; --count ends the run.
        {{"monitor", "--duration", "2147484", "--count", "1", "--interval", "1"}, 0, nullptr},
        {{"monitor", "--duration", "1,5", "--interval", "1"}, 0, nullptr},
        {{"snapshot", "--json", "--interval", "0,1"}, 0, nullptr},
    };
    // Each in a folder of its own, so that the monitors do not wait for each other's lock.
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<Invocation> invocations;
    for (const auto& c : cases) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        invocations.push_back({c.arguments, false, folders.back()->path()});
    }
    const std::vector<CliResult> results = runAll(invocations);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const CliResult& r = results[i];
        EXPECT_EQ(r.exitCode, c.exitCode) << describe(c.arguments, r);
        if (c.message)
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message))) << describe(c.arguments, r);
    }
    const CliResult english =
        run({QStringLiteral("monitor"), QStringLiteral("--duration"), QStringLiteral("1e10")}, true);
    EXPECT_TRUE(english.err.contains(QStringLiteral("--duration needs a number between 1 and 1000000000.")))
        << english.err.toStdString();
}

TEST_F(CliWording, LockProblemsSayWhatHappened) {
    // A data folder that cannot exist: the lock file's path and the reason, not "another process".
    test::writeFile(data.path() + QStringLiteral("/file"), "not a folder");
    const QString impossible = data.path() + QStringLiteral("/file/kestrum");
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("1")},
          QStringList{QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("x")}}) {
        const CliResult r = run(arguments, false, impossible);
        EXPECT_EQ(r.exitCode, 1) << describe(arguments, r);
        EXPECT_TRUE(r.err.contains(QStringLiteral("Kilit dosyası oluşturulamadı: ") + impossible +
                                   QStringLiteral("/monitor.lock (yolun bir parçası klasör değil).")))
            << describe(arguments, r);
    }

    // A running monitor is named, with its process id.
    QProcess monitor;
    start(monitor, {QStringLiteral("monitor"), QStringLiteral("--duration"), QStringLiteral("60")});
    ASSERT_TRUE(
        test::spinUntil([&] { return test::readFile(lockPath()).contains("kestrum-cli monitor"); }, 10000));
    const QString holder = QStringLiteral("kestrum-cli monitor (PID %1)").arg(monitor.processId());
    const CliResult second = run({QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("1")});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains(
        QStringLiteral("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor: ") + holder))
        << second.err.toStdString();
    const CliResult incident =
        run({QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("x")}, true);
    EXPECT_EQ(incident.exitCode, 1);
    EXPECT_TRUE(
        incident.err.contains(QStringLiteral("Another Kestrum process is using this history folder: ") +
                              holder + QStringLiteral(". Nothing was changed.")))
        << incident.err.toStdString();
    monitor.terminate();
    ASSERT_TRUE(test::spinUntil([&] { return monitor.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(monitor.exitCode(), 0) << "SIGTERM ends a monitor cleanly";

    // A short holder is waited for.
    auto shortHolder = std::make_unique<ProcessLock>(lockPath());
    ASSERT_TRUE(shortHolder->tryLock());
    QProcess waiting;
    start(waiting, {QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("after the wait")});
    test::spinUntil([] { return false; }, 300);
    shortHolder.reset();
    ASSERT_TRUE(test::spinUntil([&] { return waiting.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(waiting.exitCode(), 0) << waiting.readAllStandardError().toStdString();
}

TEST_F(CliWording, ExitCodesAgreeWithTheReadme) {
    struct Case {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{"incident", "list", "extra", "words"}, 2},
        {{"incident", "start", "-5", "derece"}, 2},
        {{"incident", "start", "--", "-5", "derece"}, 0},
        {{"notifications", "on"}, 1}, // no desktop notification service answers on this bus
        {{"notifications", "off"}, 0},
    };
    for (const auto& c : cases) {
        const CliResult r = run(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode) << describe(c.arguments, r);
    }
    EXPECT_TRUE(
        run({QStringLiteral("incident"), QStringLiteral("list")}).out.contains(QStringLiteral("-5 derece")));
    EXPECT_EQ(run({QStringLiteral("incident"), QStringLiteral("stop"), QStringLiteral("--"),
                   QStringLiteral("--json")})
                  .exitCode,
              0);
    EXPECT_TRUE(
        run({QStringLiteral("incident"), QStringLiteral("list")}).out.contains(QStringLiteral("  --json")))
        << "a closing note may start with - too";
}

TEST_F(CliWording, MonitorFailsWhenItCannotKeepTheHistory) {
    // An archive it cannot read: the reason, exit 1, the file left as it is.
    test::writeFile(archivePath(), "{\"schemaVersion\": 2}");
    const CliResult unreadable =
        run({QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("1")});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_TRUE(unreadable.err.contains(QStringLiteral("Kalıcı sağlık geçmişi açılamadı")))
        << unreadable.err.toStdString();
    EXPECT_TRUE(unreadable.out.isEmpty()) << "no sampling without a history";
    EXPECT_EQ(test::readFile(archivePath()), QByteArray("{\"schemaVersion\": 2}"));
    QFile::remove(archivePath());

    // Saving becomes impossible after the start: the run fails.
    QProcess monitor;
    start(monitor, {QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("2"),
                    QStringLiteral("--interval"), QStringLiteral("1")});
    ASSERT_TRUE(test::spinUntil([&] { return monitor.canReadLine(); }, 10000)) << "first sample";
    QFile::remove(archivePath());
    test::writeFile(archivePath() + QStringLiteral("/in-the-way"), "a folder where the archive goes");
    ASSERT_TRUE(test::spinUntil([&] { return monitor.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(monitor.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(monitor.readAllStandardError()).contains(QStringLiteral("kaydedilemedi")));
}

namespace {

// A running monitor on the session bus, as far as `notifications` sees it: whether notifications are
// now on, and the status text.
class FakeMonitor : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kestrum.Monitor")
public:
    bool granted = false;
    QString answer;

public Q_SLOTS:
    bool SetNotificationsEnabled(const QString&, bool, QString& status) {
        status = answer;
        return granted;
    }
};

} // namespace

TEST_F(CliWording, NotificationsRefusedOverTheBusFailAsTheyDoDirectly) {
    test::PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection connection = bus.connect(QStringLiteral("monitor"));
    FakeMonitor monitor;
    ASSERT_TRUE(connection.registerObject(QStringLiteral("/app/kestrum/Monitor"), &monitor,
                                          QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(connection.registerService(QStringLiteral("app.kestrum.Kestrum")));
    busAddress = bus.address();

    struct Case {
        bool granted;
        const char* answer;
        const char* argument;
        int exitCode;
        const char* shown;
    } cases[] = {
        {false, "Bildirim izni verilmedi. Uyarılar Sağlık Merkezi’nde görünmeye devam eder.", "on", 1,
         "Bildirim izni verilmedi."},
        {true, "Önemli sağlık uyarıları için Mac bildirimleri açıldı.", "on", 0,
         "Önemli sağlık uyarıları için masaüstü bildirimleri açıldı."},
        {false, "Bildirimler kapatıldı.", "off", 0, "Bildirimler kapatıldı."},
    };
    for (const auto& c : cases) {
        monitor.granted = c.granted;
        monitor.answer = QString::fromUtf8(c.answer);
        const CliResult r = run({QStringLiteral("notifications"), QString::fromLatin1(c.argument)});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.answer;
        EXPECT_TRUE((r.out + r.err).contains(QString::fromUtf8(c.shown))) << describe({}, r);
    }
}

#include "CliWordingTest.moc"
