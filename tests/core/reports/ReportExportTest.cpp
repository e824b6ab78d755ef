// Saving a report and the weekly offer's rule.

#include "reports/ReportExport.h"

#include "foundation/PreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

constexpr double kDay = 86400;
const Date kNow = Date::fromUnixSeconds(1'796'000'000);

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

TEST(WeeklyReportSchedule, OffersOnceAWeekWithSomethingToReport) {
    using D = WeeklyReportSchedule::Decision;
    const struct {
        const char* name;
        std::optional<double> lastOfferedDaysAgo;
        bool recentSamples;
        D expected;
    } cases[] = {
        {"never offered: the week starts now", std::nullopt, true, D::startClock},
        {"six days and a bit", 6.99, true, D::notDue},
        {"exactly a week", 7, true, D::due},
        {"a month", 30, true, D::due},
        {"a week, nothing recorded", 8, false, D::notDue},
        {"the clock went back", -2, true, D::startClock},
    };
    for (const auto& c : cases) {
        const std::optional<Date> last =
            c.lastOfferedDaysAgo ? std::optional(kNow.addingSeconds(-*c.lastOfferedDaysAgo * kDay))
                                 : std::nullopt;
        EXPECT_EQ(WeeklyReportSchedule::decide(last, kNow, c.recentSamples), c.expected) << c.name;
    }
}

TEST(WeeklyReportSchedule, RemembersTheOfferSoItIsNotRepeatedWithinTheWeek) {
    InMemoryPreferencesStore preferences;
    int offers = 0;
    const auto offer = [&] { ++offers; };
    EXPECT_FALSE(WeeklyReportSchedule::offerIfDue(preferences, kNow, true, offer))
        << "first run starts the clock";
    EXPECT_EQ(preferences.dateValue(WeeklyReportSchedule::kLastOfferedKey), kNow);
    EXPECT_FALSE(WeeklyReportSchedule::offerIfDue(preferences, kNow.addingSeconds(3 * kDay), true, offer));
    EXPECT_TRUE(WeeklyReportSchedule::offerIfDue(preferences, kNow.addingSeconds(7 * kDay), true, offer));
    EXPECT_FALSE(
        WeeklyReportSchedule::offerIfDue(preferences, kNow.addingSeconds(7 * kDay + 3600), true, offer));
    EXPECT_EQ(offers, 1);
    EXPECT_EQ(preferences.dateValue(WeeklyReportSchedule::kLastOfferedKey), kNow.addingSeconds(7 * kDay));
}

TEST(ReportExport, SuggestsANameByKindAndDay) {
    const QString day = kNow.toDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(ReportExport::defaultFileName(ExportedReport::diagnostic, kNow),
              QStringLiteral("Kestrum-Tani-Raporu-") + day + QStringLiteral(".md"));
    EXPECT_EQ(ReportExport::defaultFileName(ExportedReport::weekly, kNow),
              QStringLiteral("Kestrum-Haftalik-Saglik-Raporu-") + day + QStringLiteral(".md"));
}

TEST(ReportExport, ReplacesTheWholeFileOrSaysWhyNot) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("rapor.md"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'x')); // longer than the new text: nothing of it may remain
    }
    EXPECT_EQ(ReportExport::write(target, QStringLiteral("# Kestrum Cihaz Sağlığı Raporu\n")), std::nullopt);
    EXPECT_EQ(contents(target), QStringLiteral("# Kestrum Cihaz Sağlığı Raporu\n").toUtf8());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("rapor.md")})
        << "no temporary file is left behind";

    // A folder where the file should go, and a "folder" that is a file: both refused with a reason.
    QFile plain(dir.filePath(QStringLiteral("dosya")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QDir(dir.path()).mkdir(QStringLiteral("klasor"));
    for (const QString& unwritable : {dir.filePath(QStringLiteral("dosya/rapor.md")),
                                      dir.filePath(QStringLiteral("klasor")), QString()}) {
        const std::optional<QString> failure = ReportExport::write(unwritable, QStringLiteral("metin"));
        ASSERT_TRUE(failure.has_value()) << unwritable.toStdString();
        EXPECT_TRUE(failure->startsWith(QStringLiteral("Rapor"))) << failure->toStdString();
    }
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("dosya"))), QByteArray());
}
