// kestrum-cli report: the built binary against a temporary data folder.

#include "CliProcess.h"
#include "TestSupport.h"
#include "foundation/Uuid.h"
#include "history/HealthArchive.h"

#include <QProcess>
#include <QSysInfo>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

using ReportRun = test::CliRun;

class ReportCli : public ::testing::Test {
protected:
    QTemporaryDir data;
    QTemporaryDir config;
    QTemporaryDir output;

    ReportRun run(const QStringList& arguments, bool english = false) {
        return test::runCli(data.path(), config.path(), QStringList{QStringLiteral("report")} + arguments,
                            english);
    }

    // Three samples and an alert of the last hour, an open incident with a note naming a path.
    void writeArchive() {
        HealthArchive archive;
        for (int i = 0; i < 3; ++i) {
            HealthSample s;
            s.id = newUuid();
            s.timestamp = Date::now().addingSeconds(-60.0 * (i + 1));
            s.cpuUsage = 0.25;
            s.thermalLevel = ThermalLevel::fair;
            archive.samples.push_back(s);
        }
        HealthEvent event;
        event.id = newUuid();
        event.timestamp = Date::now().addingSeconds(-30);
        event.kind = HealthInsightKind::cpu;
        event.title = QStringLiteral("Yüksek CPU kullanımı");
        event.evidence = QStringLiteral("CPU 192.168.7.7 adresine bağlıyken yüksek.");
        event.recommendation = QStringLiteral("Yoğun işi kontrol et.");
        archive.events.push_back(event);
        IncidentSession incident;
        incident.id = newUuid();
        incident.startedAt = Date::now().addingSeconds(-120);
        incident.note = QStringLiteral("fan /home/kim/notlar sırasında sesliydi");
        archive.incidents.push_back(incident);
        test::writeFile(data.path() + QStringLiteral("/health-archive.json"), encodeHealthArchive(archive));
    }
};

} // namespace

TEST_F(ReportCli, WeeklyFromTheArchiveToStandardOutputAndToAFile) {
    writeArchive();
    const ReportRun printed = run({QStringLiteral("weekly")});
    ASSERT_EQ(printed.exitCode, 0) << printed.err.toStdString();
    EXPECT_TRUE(printed.out.startsWith(QStringLiteral("# Kestrum Haftalık Yerel Sağlık Raporu\n")));
    for (const char* line : {"- Toplam örnek: 3\n", "- Hafif yüksek termal örnek: 3\n",
                             "- Sağlık uyarısı: 1\n", "- Kullanıcı olay aralığı: 1\n", "- CPU: 1\n"})
        EXPECT_TRUE(printed.out.contains(QString::fromUtf8(line))) << line;

    // Into a folder that does not exist yet; the file holds exactly the report.
    const QString path = output.path() + QStringLiteral("/yeni/haftalik.md");
    const ReportRun saved = run({QStringLiteral("weekly"), QStringLiteral("-o"), path}, true);
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    EXPECT_TRUE(saved.out.contains(QStringLiteral("Report saved: ") + path));
    const QString file = QString::fromUtf8(test::readFile(path));
    EXPECT_TRUE(file.startsWith(QStringLiteral("# Kestrum Weekly Local Health Report\n")));
    EXPECT_TRUE(file.endsWith(QStringLiteral("- The report is not sent to the cloud automatically.\n")));
}

TEST_F(ReportCli, DiagnosticOfThisMachineCarriesNoIdentifyingValue) {
    writeArchive();
    const ReportRun report =
        run({QStringLiteral("diagnostic"), QStringLiteral("--interval"), QStringLiteral("0.1")});
    ASSERT_EQ(report.exitCode, 0) << report.err.toStdString();
    for (const char* heading : {"# Kestrum Cihaz Sağlığı Raporu\n", "\n## Anlık Göstergeler\n",
                                "\n## Olay Zaman Aralığı\n", "- Durum: Olay işaretleyici açık\n"})
        EXPECT_TRUE(report.out.contains(QString::fromUtf8(heading))) << heading;
    EXPECT_FALSE(report.out.contains(QStringLiteral("macOS")));
    EXPECT_FALSE(report.out.contains(QStringLiteral("192.168.7.7")));
    EXPECT_FALSE(report.out.contains(QStringLiteral("/home/kim")));
    const QString host = QSysInfo::machineHostName();
    if (host.size() >= 2)
        EXPECT_FALSE(report.out.contains(host, Qt::CaseInsensitive)) << host.toStdString();
}

TEST_F(ReportCli, UsageAndUnwritableTargets) {
    const struct {
        QStringList arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {{}, 2, "report için diagnostic veya weekly gerekli."},
        {{QStringLiteral("monthly")}, 2, "report için diagnostic veya weekly gerekli."},
        {{QStringLiteral("weekly"), QStringLiteral("--interval"), QStringLiteral("1")},
         2,
         "--interval yalnız diagnostic raporu için geçerlidir"},
        // A regular file where a folder is needed.
        {{QStringLiteral("weekly"), QStringLiteral("-o"), QStringLiteral(KESTRUM_CLI_PATH "/rapor.md")},
         1,
         "kestrum-cli: Rapor kaydedilemedi: "},
    };
    for (const auto& c : cases) {
        const ReportRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.message;
        EXPECT_TRUE(result.err.contains(QString::fromUtf8(c.message))) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << result.out.toStdString();
    }
}
