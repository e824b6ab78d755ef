// The terminal chart and the timeline through kestrum-cli, over an archive written for the test.

#include "TestSupport.h"
#include "foundation/Uuid.h"
#include "history/HealthArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class TimelineCli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;
    const Date now = Date::now();
    HealthArchive archive;

    CliRun run(const QStringList& arguments) {
        test::writeFile(data.path() + QStringLiteral("/health-archive.json"), encodeHealthArchive(archive));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
        env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=/nonexistent/kestrum-test-bus"));
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("tr_TR"));
        env.insert(QStringLiteral("COLUMNS"), QStringLiteral("60"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
        if (!process.waitForFinished(60000))
            return {};
        return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                      QString::fromUtf8(process.readAllStandardError())};
    }

    void addSample(double age, double cpu) {
        HealthSample s;
        s.id = newUuid();
        s.timestamp = now.addingSeconds(-age);
        s.cpuUsage = cpu;
        archive.samples.push_back(s);
    }

    // Minute samples over the last hour with a quarter-hour gap and one spike.
    void seedHour() {
        for (double age = 3540; age >= 60; age -= 60) {
            if (age < 2000 && age > 1000)
                continue;
            addSample(age, age == 2400 ? 1.0 : 0.1);
        }
    }

    static QStringList chartRows(const QString& out) {
        QStringList rows;
        for (const QString& line : out.split(u'\n')) {
            if (line.contains(u'│'))
                rows.append(line.mid(line.indexOf(u'│') + 1));
        }
        return rows;
    }
};

TEST_F(TimelineCli, ChartFitsTheWidthShowsGapsAndKeepsASpike) {
    seedHour();
    for (const char* range : {"hour", "month"}) {
        const CliRun chart = run({QStringLiteral("history"), QStringLiteral("--chart"), QStringLiteral("cpu"),
                                  QStringLiteral("--range"), QString::fromLatin1(range)});
        ASSERT_EQ(chart.exitCode, 0) << chart.err.toStdString();
        for (const QString& line : chart.out.split(u'\n'))
            EXPECT_LE(line.size(), 60) << range << ": " << line.toStdString();
        const QStringList rows = chartRows(chart.out);
        ASSERT_EQ(rows.size(), 8) << chart.out.toStdString();
        EXPECT_EQ(rows.front().count(u'█'), 1) << range << ": the spike stays visible\n"
                                               << chart.out.toStdString();
        if (QLatin1String(range) == QLatin1String("hour")) {
            static const QRegularExpression gapInside(QStringLiteral("\\S {10,}\\S"));
            EXPECT_TRUE(gapInside.match(rows.back()).hasMatch()) << chart.out.toStdString();
            static const QRegularExpression lonelyBlank(QStringLiteral("\\S \\S"));
            EXPECT_FALSE(lonelyBlank.match(rows.back()).hasMatch())
                << "minute samples never leave a single blank column\n"
                << chart.out.toStdString();
        }
    }
}

TEST_F(TimelineCli, ChartRefusesAnUnknownMetricAndPlainHistoryIsUnchanged) {
    seedHour();
    const CliRun bad = run({QStringLiteral("history"), QStringLiteral("--chart"), QStringLiteral("disk")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("--chart için cpu, memory, battery veya network gerekiyor.")))
        << bad.err.toStdString();
    const CliRun plain = run({QStringLiteral("history"), QStringLiteral("--range"), QStringLiteral("hour")});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_TRUE(plain.out.startsWith(QStringLiteral("Kalıcı geçmiş · ") +
                                     QString::number(archive.samples.size()) + QStringLiteral(" örnek")))
        << plain.out.toStdString();
    EXPECT_FALSE(plain.out.contains(u'│'));
}

TEST_F(TimelineCli, TimelineListsTheLastWeekNewestFirst) {
    HealthEvent event;
    event.id = newUuid();
    event.timestamp = now.addingSeconds(-86400);
    event.title = QStringLiteral("Yüksek CPU kullanımı");
    event.evidence = QStringLiteral("kanıt");
    event.signature = QStringLiteral("cpu-high");
    archive.events.push_back(event);
    const IncidentSession open{newUuid(), now.addingSeconds(-600), std::nullopt, QStringLiteral("fan"), {}};
    archive.incidents.push_back(open);
    NetworkQualityResult stale;
    stale.id = newUuid();
    stale.timestamp = now.addingSeconds(-8 * 86400);
    archive.latestNetworkQualityResult = stale;

    const CliRun json = run({QStringLiteral("timeline"), QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray list = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(list.size(), 2) << json.out.toStdString();
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("incident-") + uuidText(open.id));
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("title")).toString(),
              QStringLiteral("Olay işareti açık"));
    EXPECT_EQ(list[1].toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("event-") + uuidText(event.id));

    const CliRun text = run({QStringLiteral("timeline")});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("Sağlık zaman çizelgesi · son 7 gün")))
        << text.out.toStdString();
    EXPECT_LT(text.out.indexOf(QStringLiteral("Olay işareti açık")),
              text.out.indexOf(QStringLiteral("Yüksek CPU")));
}

} // namespace
