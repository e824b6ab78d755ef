// The archive's size through kestrum-cli: free text is bounded where it enters, and an archive at its
// limit refuses the change that would push it over instead of writing a file its loader refuses.

#include "TestSupport.h"
#include "history/FileHealthArchiveRepository.h"
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

class ArchiveLimits : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;

    CliRun run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUM_DATA_DIR"), data.path());
        env.insert(QStringLiteral("KESTRUM_CONFIG_DIR"), config.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=/nonexistent/kestrum-test-bus"));
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("tr_TR"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESTRUM_CLI_PATH), arguments);
        if (!process.waitForFinished(60000))
            return {};
        return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                      QString::fromUtf8(process.readAllStandardError())};
    }

    QString archivePath() const { return data.path() + QStringLiteral("/health-archive.json"); }

    QJsonArray incidents() {
        const CliRun list =
            run({QStringLiteral("incident"), QStringLiteral("list"), QStringLiteral("--json")});
        EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
        return QJsonDocument::fromJson(list.out.toUtf8()).array();
    }
};

} // namespace

TEST_F(ArchiveLimits, IncidentNotesAreCleanedAndBounded) {
    const QString typed = QStringLiteral("\x07  ") + QString(300, u'a') + QStringLiteral("\x1b[2J\t") +
                          QString(300, u'b') + QStringLiteral("\r\n");
    ASSERT_EQ(run({QStringLiteral("incident"), QStringLiteral("start"), typed}).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("incident"), QStringLiteral("stop"), QString(501, u'c')}).exitCode, 0);
    const QJsonArray list = incidents();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].toObject().value(QStringLiteral("note")).toString(), QString(500, u'c'));

    ASSERT_EQ(run({QStringLiteral("incident"), QStringLiteral("start"), typed}).exitCode, 0);
    const QString stored = incidents().last().toObject().value(QStringLiteral("note")).toString();
    EXPECT_EQ(stored, QString(300, u'a') + QStringLiteral("[2J\t") + QString(196, u'b'));
}

TEST_F(ArchiveLimits, AnArchiveGrownToItsLimitRefusesTheChangeAndStaysReadable) {
    // An archive a little under the limit, its bulk in a key of a later version that is carried along.
    HealthArchive archive;
    const qint64 limit = FileHealthArchiveRepository::kLargestArchiveBytes;
    archive.unknownFields.insert(QStringLiteral("padding"), QString());
    const qint64 frame = encodeHealthArchive(archive).size();
    archive.unknownFields.insert(QStringLiteral("padding"), QString(limit - frame - 400, u'p'));
    const QByteArray seed = encodeHealthArchive(archive);
    ASSERT_EQ(seed.size(), limit - 400);
    test::writeFile(archivePath(), seed);

    // A marker with the longest note adds over 600 bytes: refused, and the file is left as it was.
    const CliRun refused = run({QStringLiteral("incident"), QStringLiteral("start"), QString(500, u'n')});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("Geçmiş kaydedilmedi: dosya 64 MB sınırını aşacaktı.")))
        << refused.err.toStdString();
    EXPECT_TRUE(test::readFile(archivePath()) == seed);

    // A short one still fits, and brings the file to within a few hundred bytes of the limit.
    const CliRun accepted = run({QStringLiteral("incident"), QStringLiteral("start"), QStringLiteral("fan")});
    ASSERT_EQ(accepted.exitCode, 0) << accepted.err.toStdString();
    const QByteArray grown = test::readFile(archivePath());
    EXPECT_GT(grown.size(), seed.size());
    EXPECT_LE(grown.size(), limit);
    EXPECT_TRUE(QJsonDocument::fromJson(grown).object().value(QStringLiteral("padding")).isString())
        << "the carried key survived the save";
    EXPECT_EQ(incidents().size(), 1) << "the next command still loads the archive";
}
