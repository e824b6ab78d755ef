// kestrum-cli scan report | scan history: the built binary against a temporary data folder with stored
// scans; the chain itself runs over fakes in fullscan_tests.

#include "CliProcess.h"
#include "TestSupport.h"
#include "core/fullscan/FullScanInputs.h"
#include "foundation/Uuid.h"
#include "history/HealthArchive.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

using ScanRun = test::CliRun;

class ScanCli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;
    QTemporaryDir output;

    ScanRun run(const QStringList& arguments, bool english = false) {
        return test::runCli(data.path(), config.path(), QStringList{QStringLiteral("scan")} + arguments,
                            english);
    }

    // Two scans: an older complete one and the newest, partial one.
    std::vector<FullSystemScanResult> writeArchive() {
        FullSystemScanEvidence complete = healthyEvidence();
        FullSystemScanEvidence partial = healthyEvidence();
        partial.startedAt = partial.endedAt = scanTime(3600);
        partial.networkQuality = {};
        partial.internetSpeed = {};
        const std::vector<FullSystemScanResult> results = {
            FullSystemScanReportBuilder{}.makeResult(
                complete, QUuid::fromString(QStringLiteral("{ABCD1234-0000-0000-0000-000000000001}"))),
            FullSystemScanReportBuilder{}.makeResult(
                partial, QUuid::fromString(QStringLiteral("{BCDE2345-0000-0000-0000-000000000002}")))};
        HealthArchive archive;
        for (const auto& r : results)
            archive.fullSystemScanResults.push_back(fullSystemScanResultToJson(r).toObject());
        test::writeFile(data.path() + QStringLiteral("/health-archive.json"), encodeHealthArchive(archive));
        return results;
    }
};

} // namespace

TEST_F(ScanCli, ReportOfTheNewestOrAChosenScanToStandardOutputOrAFile) {
    const auto results = writeArchive();
    ScopedLanguage language(false);
    const ScanRun newest = run({QStringLiteral("report")});
    ASSERT_EQ(newest.exitCode, 0) << newest.err.toStdString();
    EXPECT_EQ(newest.out, FullSystemScanReportBuilder{}.markdown(results[1]));

    const QString path = output.path() + QStringLiteral("/Kestrum-Tam-Tarama-Raporu.md");
    const ScanRun saved = run({QStringLiteral("report"), QStringLiteral("abcd"), QStringLiteral("-o"), path});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(readFile(path)), FullSystemScanReportBuilder{}.markdown(results[0]));

    const ScanRun english = run({QStringLiteral("report")}, true);
    EXPECT_TRUE(english.out.startsWith(QStringLiteral("# Kestrum Full System Scan Report\n")));

    // A folder that cannot be made: a file stands where it would be.
    test::writeFile(output.path() + QStringLiteral("/dosya"), "x");
    struct Failure {
        QStringList arguments;
        int exitCode;
        QString message;
    };
    for (const Failure& f : std::vector<Failure>{
             {{QStringLiteral("report"), QStringLiteral("ffff")},
              1,
              QStringLiteral("Bu kimlikle kayıtlı bir tarama yok: ffff")},
             {{QStringLiteral("report"), QStringLiteral("ab")}, 2, QStringLiteral("en az ilk 4 karakteri")},
             {{QStringLiteral("report"), QStringLiteral("-o"), output.path() + QStringLiteral("/dosya/r.md")},
              1,
              QStringLiteral("Rapor kaydedilemedi. Lütfen başka bir konum seçip yeniden deneyin.")},
             {{QStringLiteral("--include-speed")}, 2, QStringLiteral("--yes")},
         }) {
        const ScanRun r = run(f.arguments);
        EXPECT_EQ(r.exitCode, f.exitCode) << f.arguments.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(f.message)) << r.err.toStdString();
    }
}

TEST_F(ScanCli, HistoryNewestFirstAndAsJson) {
    writeArchive();
    const ScanRun listed = run({QStringLiteral("history")});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QStringList lines = listed.out.split(u'\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("BCDE2345 · "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" · puan 95 · kapsam 9/11"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("ABCD1234 · ")));
    EXPECT_TRUE(listed.out.contains(QStringLiteral("Son 12 tarama yerel geçmişte tutulur.")));

    const ScanRun json = run({QStringLiteral("history"), QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[0].toObject().value(QStringLiteral("id")).toString(),
              QStringLiteral("ABCD1234-0000-0000-0000-000000000001"));
}
