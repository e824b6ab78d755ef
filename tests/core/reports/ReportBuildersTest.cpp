#include "ReportInputs.h"
#include "TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Compares with tests/fixtures/reports/<name>.
void expectReportGolden(const QString& text, const QString& name) {
    expectGolden(text, QStringLiteral("reports/") + name);
}

QString fullDiagnostic() {
    return seededBuilder().build(fullSnapshot(), fullAssessment(), fullBaseline(), fullEvents(),
                                 openIncident(), fullQuality(), reportTime());
}

QString minimalDiagnostic() {
    DiagnosticReportBuilder builder;
    builder.distribution = ReportDistribution::store;
    SystemSnapshot snapshot = SystemSnapshot::empty(QUuid(), reportTime(-1));
    return builder.build(snapshot, HealthAssessment{}, PersonalBaseline::empty(), {}, std::nullopt,
                         std::nullopt, reportTime());
}

WeeklyHealthReportInput emptyWeeklyInput() {
    WeeklyHealthReportInput in;
    in.periodStart = reportTime(-7 * 86400);
    in.periodEnd = reportTime();
    in.generatedAt = reportTime();
    return in;
}

QStringList sectionHeadings(const QString& text) {
    QStringList headings;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(QStringLiteral("## ")))
            headings << line;
    }
    return headings;
}

} // namespace

TEST(DiagnosticReport, MatchesTheGoldenDocuments) {
    for (const bool english : {false, true}) {
        ScopedLanguage language(english);
        const QString suffix = english ? QStringLiteral("-en.md") : QStringLiteral("-tr.md");
        expectReportGolden(fullDiagnostic(), QStringLiteral("diagnostic-full") + suffix);
        expectReportGolden(minimalDiagnostic(), QStringLiteral("diagnostic-minimal") + suffix);
    }
}

TEST(WeeklyReport, MatchesTheGoldenDocuments) {
    for (const bool english : {false, true}) {
        ScopedLanguage language(english);
        const QString suffix = english ? QStringLiteral("-en.md") : QStringLiteral("-tr.md");
        expectReportGolden(WeeklyHealthReportBuilder{}.build(fullWeeklyInput()),
                           QStringLiteral("weekly-full") + suffix);
        expectReportGolden(WeeklyHealthReportBuilder{}.build(emptyWeeklyInput()),
                           QStringLiteral("weekly-empty") + suffix);
    }
}

TEST(Reports, NeverCarryIdentifyingValuesTheInputsWereSeededWith) {
    for (const bool english : {false, true}) {
        ScopedLanguage language(english);
        const QString reports[] = {fullDiagnostic(), WeeklyHealthReportBuilder{}.build(fullWeeklyInput())};
        for (const QString& report : reports) {
            for (const QString& value : identifyingValues())
                EXPECT_FALSE(report.contains(value, Qt::CaseInsensitive)) << value.toStdString();
            // Only the fixed privacy sentences and hidden markers may look like a path.
            EXPECT_FALSE(report.contains(QStringLiteral("/home"))) << report.toStdString();
        }
    }
}

TEST(DiagnosticReport, OptionalSectionsAndTheirContents) {
    ScopedLanguage turkish(false);
    // Without a network result and an incident the alerts follow the personal normal.
    EXPECT_EQ(sectionHeadings(minimalDiagnostic()),
              (QStringList{"## Sağlık Özeti", "## Anlık Göstergeler", "## Kişisel Normal",
                           "## Son Akıllı Uyarılar", "## Ölçüm Sınırları"}));
    const QString full = fullDiagnostic();
    EXPECT_EQ(
        sectionHeadings(full),
        (QStringList{"## Sağlık Özeti", "## Anlık Göstergeler", "## Kişisel Normal", "## Son Ağ Kalite Testi",
                     "## Olay Zaman Aralığı", "## Son Akıllı Uyarılar", "## Ölçüm Sınırları"}));
    // An open incident says so and never prints its note; a closed one prints its end instead.
    EXPECT_TRUE(full.contains(QStringLiteral("- Durum: Olay işaretleyici açık\n")));
    EXPECT_FALSE(full.contains(QStringLiteral("çok sesliydi")));
    IncidentSession closed = openIncident();
    closed.endedAt = reportTime(-60);
    const QString withClosed = seededBuilder().build(fullSnapshot(), fullAssessment(), fullBaseline(), {},
                                                     closed, std::nullopt, reportTime());
    EXPECT_TRUE(withClosed.contains(QStringLiteral("- Bitiş: 2025-12-06T07:59:00Z\n")));
    EXPECT_FALSE(withClosed.contains(QStringLiteral("işaretleyici açık")));
}

TEST(DiagnosticReport, KeepsTheTenNewestAlertsNewestFirst) {
    ScopedLanguage turkish(false);
    std::vector<HealthEvent> events;
    for (int i = 0; i < 11; ++i) // oldest last in the list: order of the input does not matter
        events.push_back(event(60.0 * ((i * 7) % 11 + 1), HealthInsightKind::cpu, QString::number(i)));
    const QString text = seededBuilder().build(fullSnapshot(), fullAssessment(), fullBaseline(), events,
                                               std::nullopt, std::nullopt, reportTime());
    QStringList times;
    for (const QString& line : text.split(u'\n')) {
        if (line.contains(QStringLiteral(" — Yüksek CPU kullanımı: ")))
            times << line.mid(2, 20);
    }
    ASSERT_EQ(times.size(), 10);
    EXPECT_EQ(times.first(), QStringLiteral("2025-12-06T07:59:00Z"));
    EXPECT_EQ(times.last(), QStringLiteral("2025-12-06T07:50:00Z")); // the one 11 minutes before is left out
    QStringList sorted = times;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    EXPECT_EQ(times, sorted);
}

TEST(DiagnosticReport, MissingGroupsAndZeroTotalsPrintUnavailable) {
    ScopedLanguage turkish(false);
    const auto lineOf = [](const QString& text, const QString& label) {
        for (const QString& line : text.split(u'\n')) {
            if (line.startsWith(label))
                return line.mid(label.size());
        }
        return QStringLiteral("<absent>");
    };
    struct Case {
        const char* name;
        void (*change)(SystemSnapshot&);
        const char* label;
        const char* shown;
    } cases[] = {
        {"memory total 0", [](SystemSnapshot& s) { s.memory.totalBytes = 0; },
         "- Bellek: ", "Kullanılamıyor"},
        {"memory used above total", [](SystemSnapshot& s) { s.memory.usedBytes = 20'000'000'000ULL; },
         "- Bellek: ", "100%"},
        {"cpu unavailable",
         [](SystemSnapshot& s) { s.cpu.availability = MetricAvailability::unavailable({}); },
         "- CPU: ", "Kullanılamıyor"},
        {"battery without charge", [](SystemSnapshot& s) { s.battery.chargeFraction.reset(); },
         "- Batarya: ", "Kullanılamıyor"},
        {"disk available above total", [](SystemSnapshot& s) { s.disk.availableBytes = 600'000'000'000ULL; },
         "- Disk kullanımı: ", "0%"},
        {"disk total 0", [](SystemSnapshot& s) { s.disk.totalBytes = 0; },
         "- Disk kullanımı: ", "Kullanılamıyor"},
        {"traffic unavailable",
         [](SystemSnapshot& s) { s.network.trafficAvailability = MetricAvailability::unavailable({}); },
         "- İndirme: ", "Kullanılamıyor"},
        {"download not finite",
         [](SystemSnapshot& s) {
             s.network.downloadBytesPerSecond = std::numeric_limits<double>::quiet_NaN();
         },
         "- İndirme: ", "Kullanılamıyor"},
        {"no wifi signal", [](SystemSnapshot& s) { s.network.wifiRSSI.reset(); },
         "- Wi-Fi sinyali: ", "Kullanılamıyor"},
        {"wired", [](SystemSnapshot& s) { s.network.interfaceKind = NetworkInterfaceKind::wired; },
         "- Ağ arayüzü: ", "Kablolu"},
    };
    for (const Case& c : cases) {
        SystemSnapshot snapshot = fullSnapshot();
        c.change(snapshot);
        const QString text = seededBuilder().build(snapshot, fullAssessment(), fullBaseline(), {},
                                                   std::nullopt, std::nullopt, reportTime());
        EXPECT_EQ(lineOf(text, QString::fromUtf8(c.label)), QString::fromUtf8(c.shown)) << c.name;
    }
}

TEST(WeeklyReport, CoverageAndFiguresOfThePeriod) {
    ScopedLanguage turkish(false);
    WeeklyHealthReportInput in = emptyWeeklyInput();
    in.samples = {sample(30, 0.2, std::nullopt, std::nullopt, ThermalLevel::nominal),
                  sample(20, 0.4, std::nullopt, std::nullopt, ThermalLevel::unavailable),
                  sample(10, std::nullopt, std::nullopt, std::nullopt, ThermalLevel::fair),
                  sample(-10, 0.9, 0.9, 0.9, ThermalLevel::critical)}; // after the period's end
    const QString text = WeeklyHealthReportBuilder{}.build(in);
    for (const char* expected :
         {"- Toplam örnek: 3\n", "- CPU: 2/3 (%67)\n", "- Bellek: 0/3 (%0)\n", "- Termal durum: 2/3 (%67)\n",
          "- Ortanca CPU: 30%\n", "- CPU zirvesi: 40%\n", "- Bellek zirvesi: Kullanılamıyor\n",
          "- Hafif yüksek termal örnek: 1\n", "- Ciddi veya kritik termal örnek: 0\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    // Without samples every coverage line says so.
    const QString empty = WeeklyHealthReportBuilder{}.build(emptyWeeklyInput());
    EXPECT_EQ(empty.count(QStringLiteral(": ölçüm yok\n")), 4);
}
