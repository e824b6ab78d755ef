// kestrum-cli end to end: the built binary against temporary data and configuration folders.

#include "CliProcess.h"
#include "LocalHttpsServer.h"
#include "TestSupport.h"
#include "foundation/ProcessLock.h"
#include "foundation/Uuid.h"
#include "history/HealthArchive.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

using test::CliRun;

class Cli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;

    // No running monitor can be reached: commands work on the archive directly.
    CliRun run(const QStringList& arguments, bool english = false) {
        return test::runCli(data.path(), config.path(), arguments, english);
    }

    QString archivePath() const { return data.path() + QStringLiteral("/health-archive.json"); }
};

} // namespace

TEST_F(Cli, SnapshotJsonFeedsHealth) {
    const CliRun snapshot = run({QStringLiteral("snapshot"), QStringLiteral("--json"),
                                 QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(snapshot.exitCode, 0) << snapshot.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(snapshot.out.toUtf8()).object();
    for (const char* key : {"id", "timestamp", "cpu", "memory", "battery", "disk", "thermal", "network",
                            "gpu", "fan", "componentTemperatures"})
        EXPECT_TRUE(json.contains(QLatin1String(key))) << key;
    // The second sample of two has a real CPU reading.
    EXPECT_EQ(json.value(QStringLiteral("cpu"))
                  .toObject()
                  .value(QStringLiteral("availability"))
                  .toObject()
                  .value(QStringLiteral("state"))
                  .toString(),
              QStringLiteral("available"));

    const QString file = data.path() + QStringLiteral("/snapshot.json");
    test::writeFile(file, snapshot.out.toUtf8());
    const CliRun verdict =
        run({QStringLiteral("health"), QStringLiteral("--snapshot"), file, QStringLiteral("--json")});
    ASSERT_EQ(verdict.exitCode, 0) << verdict.err.toStdString();
    const QJsonObject assessment =
        QJsonDocument::fromJson(verdict.out.toUtf8()).object().value(QStringLiteral("assessment")).toObject();
    EXPECT_TRUE(assessment.contains(QStringLiteral("coverage")));
    EXPECT_TRUE(assessment.contains(QStringLiteral("confidence")));

    const CliRun english = run({QStringLiteral("health"), QStringLiteral("--snapshot"), file}, true);
    ASSERT_EQ(english.exitCode, 0);
    EXPECT_TRUE(english.out.contains(QStringLiteral("Signals evaluated:"))) << english.out.toStdString();
    EXPECT_FALSE(english.out.contains(QStringLiteral("Değerlendirilen"))) << english.out.toStdString();
}

TEST_F(Cli, BaselineFromTheArchiveAndAnUnreadableArchiveLeftAlone) {
    HealthArchive archive;
    for (int i = 0; i < 30; ++i) {
        HealthSample s;
        s.id = newUuid();
        s.timestamp = Date::now().addingSeconds(-60.0 * i);
        s.cpuUsage = 0.25;
        s.thermalLevel = ThermalLevel::nominal;
        s.healthLevel = HealthLevel::normal;
        archive.samples.push_back(s);
    }
    test::writeFile(archivePath(), encodeHealthArchive(archive));
    const CliRun baseline = run({QStringLiteral("baseline"), QStringLiteral("--json")});
    ASSERT_EQ(baseline.exitCode, 0) << baseline.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(baseline.out.toUtf8()).object();
    EXPECT_EQ(json.value(QStringLiteral("sampleCount")).toInt(), 30);
    EXPECT_EQ(json.value(QStringLiteral("medianCPUUsage")).toDouble(), 0.25);
    EXPECT_EQ(json.value(QStringLiteral("confidence")).toString(), QStringLiteral("learning"));

    const QByteArray corrupt = "{\"schemaVersion\": 1, \"samples\": [";
    test::writeFile(archivePath(), corrupt);
    const CliRun failed = run({QStringLiteral("baseline")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains(QStringLiteral("Kalıcı sağlık geçmişi açılamadı: JSON biçimi bozuk")))
        << failed.err.toStdString();
    EXPECT_EQ(test::readFile(archivePath()), corrupt);

    test::writeFile(archivePath(), "{\"schemaVersion\": 2}");
    const CliRun newer = run({QStringLiteral("baseline")}, true);
    EXPECT_TRUE(newer.err.contains(QStringLiteral("This history format is not supported (version 2).")))
        << newer.err.toStdString();
}

TEST_F(Cli, MenubarRemembersItsChoices) {
    const CliRun changed =
        run({QStringLiteral("menubar"), QStringLiteral("--primary"), QStringLiteral("memory"),
             QStringLiteral("--hide"), QStringLiteral("battery"), QStringLiteral("--json"),
             QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(changed.out.toUtf8()).object();
    EXPECT_EQ(json.value(QStringLiteral("primaryMetric")).toString(), QStringLiteral("memory"));
    EXPECT_TRUE(json.value(QStringLiteral("label")).toString().startsWith(QStringLiteral("RAM ")));
    const QJsonArray rows = json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_FALSE(rows[2].toObject().value(QStringLiteral("visible")).toBool());

    const CliRun again = run({QStringLiteral("menubar"), QStringLiteral("--json"),
                              QStringLiteral("--interval"), QStringLiteral("0.1")});
    EXPECT_EQ(QJsonDocument::fromJson(again.out.toUtf8())
                  .object()
                  .value(QStringLiteral("primaryMetric"))
                  .toString(),
              QStringLiteral("memory"));
}

TEST_F(Cli, UsageErrors) {
    struct Case {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{QStringLiteral("frobnicate")}, 2},
        {{QStringLiteral("snapshot"), QStringLiteral("--interval"), QStringLiteral("0")}, 2},
        {{QStringLiteral("snapshot"), QStringLiteral("--bogus")}, 2},
        {{QStringLiteral("menubar"), QStringLiteral("--primary"), QStringLiteral("gpu")}, 2},
        {{QStringLiteral("health"), QStringLiteral("--snapshot")}, 2},
        {{QStringLiteral("health"), QStringLiteral("--snapshot"), QStringLiteral("/nonexistent.json")}, 1},
        {{QStringLiteral("--help")}, 0},
    };
    for (const auto& c : cases) {
        const CliRun r = run(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode)
            << c.arguments.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
}

namespace {

HealthSample sampleAt(Date when) {
    HealthSample s;
    s.id = newUuid();
    s.timestamp = when;
    s.cpuUsage = 0.3;
    s.healthLevel = HealthLevel::normal;
    return s;
}

HealthEvent eventAt(Date when, const char* title) {
    HealthEvent e;
    e.id = newUuid();
    e.timestamp = when;
    e.kind = HealthInsightKind::cpu;
    e.level = HealthLevel::attention;
    e.title = QString::fromUtf8(title);
    e.signature = e.title;
    return e;
}

QJsonArray jsonArray(const CliRun& r) {
    return QJsonDocument::fromJson(r.out.toUtf8()).array();
}

} // namespace

TEST_F(Cli, IncidentMarkersOpenCloseAndList) {
    const CliRun nothingOpen = run({QStringLiteral("incident"), QStringLiteral("stop")});
    EXPECT_EQ(nothingOpen.exitCode, 1);
    EXPECT_TRUE(nothingOpen.err.contains(QStringLiteral("Açık bir olay işareti yok.")))
        << nothingOpen.err.toStdString();

    ASSERT_EQ(run({QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("fan"),
                   QStringLiteral("loud")})
                  .exitCode,
              0);
    const CliRun twice = run({QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("again")});
    EXPECT_EQ(twice.exitCode, 1) << "one open marker at a time";
    const QJsonArray open =
        jsonArray(run({QStringLiteral("incident"), QStringLiteral("list"), QStringLiteral("--json")}));
    ASSERT_EQ(open.size(), 1);
    EXPECT_FALSE(open[0].toObject().contains(QStringLiteral("endedAt")));

    ASSERT_EQ(run({QStringLiteral("incident"), QStringLiteral("stop")}).exitCode, 0);
    const QJsonArray closed =
        jsonArray(run({QStringLiteral("incident"), QStringLiteral("list"), QStringLiteral("--json")}));
    ASSERT_EQ(closed.size(), 1);
    const QJsonObject marker = closed[0].toObject();
    EXPECT_EQ(marker.value(QStringLiteral("note")).toString(), QStringLiteral("fan loud"));
    EXPECT_GE(marker.value(QStringLiteral("endedAt")).toDouble(),
              marker.value(QStringLiteral("startedAt")).toDouble());
    EXPECT_TRUE(run({QStringLiteral("incident")}).out.contains(QStringLiteral("fan loud")));
}

TEST_F(Cli, HistoryAndEventsKeepToTheirRange) {
    const Date now = Date::now();
    HealthArchive archive;
    for (const double ago : {600.0, 7200.0, 3 * 86400.0})
        archive.samples.push_back(sampleAt(now.addingSeconds(-ago)));
    archive.events = {eventAt(now.addingSeconds(-10 * 86400.0), "eski olay"),
                      eventAt(now.addingSeconds(-1800), "yeni olay")};
    test::writeFile(archivePath(), encodeHealthArchive(archive));

    struct Case {
        const char* command;
        const char* range; // nullptr: the command's default
        qsizetype count;
    } cases[] = {{"history", "hour", 1},
                 {"history", nullptr, 2},
                 {"history", "week", 3},
                 {"events", "day", 1},
                 {"events", nullptr, 2}};
    for (const Case& c : cases) {
        QStringList arguments{QString::fromLatin1(c.command), QStringLiteral("--json")};
        if (c.range)
            arguments << QStringLiteral("--range") << QString::fromLatin1(c.range);
        const CliRun r = run(arguments);
        ASSERT_EQ(r.exitCode, 0) << c.command << " " << (c.range ? c.range : "") << ": "
                                 << r.err.toStdString();
        EXPECT_EQ(jsonArray(r).size(), c.count) << c.command << " " << (c.range ? c.range : "");
    }
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("--range"), QStringLiteral("year")}).exitCode,
              2);
    const CliRun text = run({QStringLiteral("events"), QStringLiteral("--range"), QStringLiteral("day")});
    EXPECT_TRUE(text.out.contains(QStringLiteral("yeni olay")));
    EXPECT_FALSE(text.out.contains(QStringLiteral("eski olay")));
}

TEST_F(Cli, ARunningMonitorsJournalIsReadAlongAndFoldedInBeforeItStops) {
    HealthArchive archive;
    archive.samples.push_back(sampleAt(Date::now().addingSeconds(-600)));
    test::writeFile(archivePath(), encodeHealthArchive(archive));
    const QString journal = data.path() + QStringLiteral("/health-archive.journal");

    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
    env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=/nonexistent/kestrum-test-bus"));
    monitor.setProcessEnvironment(env);
    monitor.start(QStringLiteral(KESTRUM_CLI_PATH),
                  {QStringLiteral("monitor"), QStringLiteral("--interval"), QStringLiteral("1")});
    // The first sample is kept as a journal line; the archive file stays as it was written here.
    ASSERT_TRUE(test::spinUntil([&] { return QFileInfo(journal).size() > 0; }, 15000))
        << monitor.readAllStandardError().toStdString();
    EXPECT_EQ(test::readFile(archivePath()), encodeHealthArchive(archive));
    EXPECT_EQ(jsonArray(run({QStringLiteral("history"), QStringLiteral("--json")})).size(), 2)
        << "a reader sees the archive and the journal";

    monitor.terminate();
    ASSERT_TRUE(monitor.waitForFinished(15000));
    EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
    // On the way out the journal is folded in: the next command finds one file.
    EXPECT_EQ(QFileInfo(journal).size(), 0);
    const HealthArchive folded = decodeHealthArchive(test::readFile(archivePath()));
    EXPECT_EQ(folded.samples.size(), 2u);
}

TEST_F(Cli, StorageScansOrdersAndRemembersTheFolder) {
    QTemporaryDir tree;
    test::writeFile(tree.path() + QStringLiteral("/big.bin"), QByteArray(256 * 1024, 'x'));
    test::writeFile(tree.path() + QStringLiteral("/file10.txt"), QByteArray(8192, 'y'));
    test::writeFile(tree.path() + QStringLiteral("/file2.txt"), QByteArray(8192, 'z'));
    test::writeFile(tree.path() + QStringLiteral("/inner/song.mp3"), QByteArray(16384, 'm'));

    const CliRun scanned = run({QStringLiteral("storage"), tree.path(), QStringLiteral("--json")});
    ASSERT_EQ(scanned.exitCode, 0) << scanned.err.toStdString();
    const QJsonObject result = QJsonDocument::fromJson(scanned.out.toUtf8()).object();
    EXPECT_EQ(result.value(QStringLiteral("fileCount")).toInt(), 4);
    QStringList order;
    for (const QJsonValue& item : result.value(QStringLiteral("items")).toArray())
        order << item.toObject().value(QStringLiteral("name")).toString();
    EXPECT_EQ(order, (QStringList{QStringLiteral("big.bin"), QStringLiteral("inner"),
                                  QStringLiteral("file2.txt"), QStringLiteral("file10.txt")}))
        << "largest first; equal sizes in natural order";

    // Without a folder the remembered one is scanned again.
    const CliRun again = run({QStringLiteral("storage"), QStringLiteral("--json")});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(
        QJsonDocument::fromJson(again.out.toUtf8()).object().value(QStringLiteral("rootPath")).toString(),
        result.value(QStringLiteral("rootPath")).toString());

    EXPECT_EQ(run({QStringLiteral("storage"), tree.path() + QStringLiteral("/missing")}).exitCode, 1);
    EXPECT_EQ(run({QStringLiteral("storage"), tree.path(), tree.path()}).exitCode, 2);
}

TEST_F(Cli, MonitorPrintsOneLinePerSampleAndSavesTheArchive) {
    const CliRun monitor =
        run({QStringLiteral("monitor"), QStringLiteral("--json"), QStringLiteral("--count"),
             QStringLiteral("2"), QStringLiteral("--interval"), QStringLiteral("1")});
    ASSERT_EQ(monitor.exitCode, 0) << monitor.err.toStdString();
    const QStringList lines = monitor.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << monitor.out.toStdString();
    for (const QString& line : lines)
        EXPECT_TRUE(QJsonDocument::fromJson(line.toUtf8()).isObject()) << line.toStdString();
    EXPECT_TRUE(QFile::exists(archivePath())) << "the last sample is saved on the way out";
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("--json")}).exitCode, 0);
}

TEST_F(Cli, NetworkTestsRunThroughTheStoreAndSaveTheirResult) {
    test::LocalHttpsServer server;
    const CliRun quality =
        run({QStringLiteral("net"), QStringLiteral("quality"), QStringLiteral("--json"),
             QStringLiteral("--endpoint"), server.baseUrl() + QStringLiteral("/library/test/success.html"),
             QStringLiteral("--ca-file"), server.caFile()});
    if (quality.err.contains(QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor.")))
        GTEST_SKIP() << "this machine has no connected network path: the store refuses network tests";
    ASSERT_EQ(quality.exitCode, 0) << quality.err.toStdString();
    const QJsonObject qualityJson = QJsonDocument::fromJson(quality.out.toUtf8()).object();
    EXPECT_EQ(qualityJson.value(QStringLiteral("attemptedProbes")).toInt(), 5);
    HealthArchive archive = decodeHealthArchive(test::readFile(archivePath()));
    ASSERT_TRUE(archive.latestNetworkQualityResult);
    EXPECT_EQ(uuidText(archive.latestNetworkQualityResult->id),
              qualityJson.value(QStringLiteral("id")).toString());
    EXPECT_TRUE(archive.samples.empty()) << "the test's own sample is not history";

    const CliRun speed = run({QStringLiteral("net"), QStringLiteral("speed"), QStringLiteral("--yes"),
                              QStringLiteral("--json"), QStringLiteral("--endpoint"), server.baseUrl(),
                              QStringLiteral("--ca-file"), server.caFile()});
    ASSERT_EQ(speed.exitCode, 0) << speed.err.toStdString();
    const QJsonObject speedJson = QJsonDocument::fromJson(speed.out.toUtf8()).object();
    EXPECT_EQ(speedJson.value(QStringLiteral("mode")).toString(), QStringLiteral("quick"));
    archive = decodeHealthArchive(test::readFile(archivePath()));
    ASSERT_TRUE(archive.latestNetworkSpeedResult);
    EXPECT_EQ(uuidText(archive.latestNetworkSpeedResult->id),
              speedJson.value(QStringLiteral("id")).toString());
    EXPECT_TRUE(archive.latestNetworkQualityResult) << "the quality result stays";
    // The endpoints were for these runs only.
    EXPECT_FALSE(test::readFile(config.path() + QStringLiteral("/preferences.json")).contains("127.0.0.1"));
}

TEST_F(Cli, NetworkTestsRefuseWithoutConsentALockOrASecureEndpoint) {
    test::LocalHttpsServer server;
    const QString page = server.baseUrl() + QStringLiteral("/x");
    {
        // Another process writes this folder's archive: nothing is sent, nothing written.
        ProcessLock lock(data.path() + QStringLiteral("/monitor.lock"));
        ASSERT_TRUE(lock.tryLock());
        const CliRun locked =
            run({QStringLiteral("net"), QStringLiteral("quality"), QStringLiteral("--endpoint"), page,
                 QStringLiteral("--ca-file"), server.caFile()});
        EXPECT_EQ(locked.exitCode, 1);
        EXPECT_TRUE(locked.err.contains(QStringLiteral("başka bir Kestrum süreci kullanıyor")))
            << locked.err.toStdString();
    }
    struct Case {
        QStringList arguments;
        int exitCode;
        QStringList anyOf; // the error names one of these
    };
    const Case cases[] = {
        // Standard input is no terminal here: without --yes there is no one to ask.
        {{QStringLiteral("net"), QStringLiteral("speed"), QStringLiteral("--endpoint"), server.baseUrl()},
         2,
         {QStringLiteral("Hız testi açık onay ister: onaylamak için --yes verin.")}},
        {{QStringLiteral("net"), QStringLiteral("quality"), QStringLiteral("--ca-file"),
          data.path() + QStringLiteral("/missing.pem")},
         2,
         {QStringLiteral("Sertifika dosyası okunamıyor")}},
        {{QStringLiteral("net"), QStringLiteral("quality"), QStringLiteral("--endpoint"),
          QStringLiteral(" ")},
         2,
         {QStringLiteral("--endpoint bir değer bekliyor.")}},
        // An http endpoint is refused by the test before anything is sent (or by the store's network check
        // first, on a machine without a connected path).
        {{QStringLiteral("net"), QStringLiteral("quality"), QStringLiteral("--endpoint"),
          QStringLiteral("http://127.0.0.1:%1/x").arg(server.port())},
         1,
         {QStringLiteral("Ağ testi adresi hazırlanamadı."),
          QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor.")}},
        {{QStringLiteral("net"), QStringLiteral("speed"), QStringLiteral("--yes"),
          QStringLiteral("--endpoint"), QStringLiteral("http://127.0.0.1:%1").arg(server.port())},
         1,
         {QStringLiteral("Hız testi adresi hazırlanamadı."),
          QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliRun refused = run(c.arguments);
        EXPECT_EQ(refused.exitCode, c.exitCode) << refused.err.toStdString();
        EXPECT_TRUE(std::any_of(c.anyOf.begin(), c.anyOf.end(), [&](const QString& text) {
            return refused.err.contains(text);
        })) << refused.err.toStdString();
    }
    EXPECT_EQ(server.requestCount(), 0);
    if (QFile::exists(archivePath())) {
        const HealthArchive archive = decodeHealthArchive(test::readFile(archivePath()));
        EXPECT_FALSE(archive.latestNetworkQualityResult);
        EXPECT_FALSE(archive.latestNetworkSpeedResult);
    }
}

TEST_F(Cli, SummaryWithoutStoredTestsNamesThemAsNotRun) {
    const CliRun summary = run({QStringLiteral("summary"), QStringLiteral("--json"),
                                QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(summary.exitCode, 0) << summary.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(summary.out.toUtf8()).object();
    EXPECT_EQ(json.value(QStringLiteral("formatVersion")).toInt(), 1);
    const QJsonArray items =
        json.value(QStringLiteral("coverage")).toObject().value(QStringLiteral("items")).toArray();
    ASSERT_EQ(items.size(), 4);
    QStringList categories;
    for (const QJsonValue& item : items)
        categories.append(item.toObject().value(QStringLiteral("category")).toString());
    EXPECT_EQ(categories, (QStringList{QStringLiteral("systemHealth"), QStringLiteral("quickHealthTest"),
                                       QStringLiteral("networkQuality"), QStringLiteral("battery")}));
    const QJsonObject quickTest = items.at(1).toObject();
    EXPECT_EQ(quickTest.value(QStringLiteral("status")).toString(), QStringLiteral("skipped"));
    EXPECT_EQ(quickTest.value(QStringLiteral("reason")).toString(), QStringLiteral("notRun"));
    EXPECT_NE(items.at(2).toObject().value(QStringLiteral("status")).toString(), QStringLiteral("checked"));
    EXPECT_NE(json.value(QStringLiteral("confidence")).toString(), QStringLiteral("high"));

    const CliRun english =
        run({QStringLiteral("summary"), QStringLiteral("--interval"), QStringLiteral("0.1")}, true);
    ASSERT_EQ(english.exitCode, 0) << english.err.toStdString();
    EXPECT_TRUE(english.out.contains(QStringLiteral("Evidence areas"))) << english.out.toStdString();
    EXPECT_TRUE(english.out.contains(QStringLiteral("The Quick Health Test has not been run yet.")));
    EXPECT_EQ(run({QStringLiteral("summary"), QStringLiteral("extra")}).exitCode, 2);
}
