// kestrum-cli end to end: the built binary against temporary data and configuration folders.

#include "TestSupport.h"
#include "foundation/Uuid.h"
#include "history/HealthArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class Cli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;

    CliRun run(const QStringList& arguments, bool english = false) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
        env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("LANGUAGE"), english ? QStringLiteral("en_US") : QStringLiteral("tr_TR"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
        if (!process.waitForFinished(30000))
            return {};
        return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QString archivePath() const { return data.path() + QStringLiteral("/health-archive.json"); }
};

} // namespace

TEST_F(Cli, SnapshotJsonFeedsHealth) {
    const CliRun snapshot = run({QStringLiteral("snapshot"), QStringLiteral("--json"), QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(snapshot.exitCode, 0) << snapshot.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(snapshot.out.toUtf8()).object();
    for (const char* key : {"id", "timestamp", "cpu", "memory", "battery", "disk", "thermal", "network", "gpu", "fan", "componentTemperatures"})
        EXPECT_TRUE(json.contains(QLatin1String(key))) << key;
    // The second sample of two has a real CPU reading.
    EXPECT_EQ(json.value(QStringLiteral("cpu")).toObject().value(QStringLiteral("availability")).toObject().value(QStringLiteral("state")).toString(),
              QStringLiteral("available"));

    const QString file = data.path() + QStringLiteral("/snapshot.json");
    test::writeFile(file, snapshot.out.toUtf8());
    const CliRun verdict = run({QStringLiteral("health"), QStringLiteral("--snapshot"), file, QStringLiteral("--json")});
    ASSERT_EQ(verdict.exitCode, 0) << verdict.err.toStdString();
    const QJsonObject assessment = QJsonDocument::fromJson(verdict.out.toUtf8()).object().value(QStringLiteral("assessment")).toObject();
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
    EXPECT_TRUE(failed.err.contains(QStringLiteral("Kalıcı sağlık geçmişi açılamadı: JSON biçimi bozuk"))) << failed.err.toStdString();
    EXPECT_EQ(test::readFile(archivePath()), corrupt);

    test::writeFile(archivePath(), "{\"schemaVersion\": 2}");
    const CliRun newer = run({QStringLiteral("baseline")}, true);
    EXPECT_TRUE(newer.err.contains(QStringLiteral("This history format is not supported (version 2)."))) << newer.err.toStdString();
}

TEST_F(Cli, MenubarRemembersItsChoices) {
    const CliRun changed = run({QStringLiteral("menubar"), QStringLiteral("--primary"), QStringLiteral("memory"), QStringLiteral("--hide"),
                             QStringLiteral("battery"), QStringLiteral("--json"), QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(changed.exitCode, 0) << changed.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(changed.out.toUtf8()).object();
    EXPECT_EQ(json.value(QStringLiteral("primaryMetric")).toString(), QStringLiteral("memory"));
    EXPECT_TRUE(json.value(QStringLiteral("label")).toString().startsWith(QStringLiteral("RAM ")));
    const QJsonArray rows = json.value(QStringLiteral("rows")).toArray();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_FALSE(rows[2].toObject().value(QStringLiteral("visible")).toBool());

    const CliRun again = run({QStringLiteral("menubar"), QStringLiteral("--json"), QStringLiteral("--interval"), QStringLiteral("0.1")});
    EXPECT_EQ(QJsonDocument::fromJson(again.out.toUtf8()).object().value(QStringLiteral("primaryMetric")).toString(), QStringLiteral("memory"));
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
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
}
