// Rounding, dates, identifiers and the process lock: small pieces every figure, file and
// message depends on.

#include "TestSupport.h"
#include "foundation/Date.h"
#include "foundation/ProcessLock.h"
#include "foundation/Rounding.h"
#include "foundation/Uuid.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrum;

TEST(Rounding, HalvesGoAwayFromZeroThenScoresAreClamped) {
    struct Case {
        double value;
        double rounded;
    } halves[] = {{0.5, 1}, {-0.5, -1}, {1.5, 2}, {2.5, 3}, {-2.5, -3}, {1.49999, 1}, {-1.49999, -1}};
    for (const auto& c : halves)
        EXPECT_EQ(roundHalfAwayFromZero(c.value), c.rounded) << c.value;

    struct Score {
        double value;
        int lowest, highest, expected;
    } scores[] = {
        {99.5, 0, 100, 100},
        {100.6, 0, 100, 100},
        {-3, 0, 100, 0},
        {54.5, 0, 100, 55},
        {std::nan(""), 0, 100, 0},
        {std::numeric_limits<double>::infinity(), 10, 90, 10}, // not finite: the lowest, not the highest
        {5, 10, 90, 10},
    };
    for (const auto& s : scores)
        EXPECT_EQ(roundedClampedScore(s.value, s.lowest, s.highest), s.expected) << s.value;

    EXPECT_EQ(roundedInteger(85.5), 86);
    EXPECT_EQ(roundedInteger(-0.5), -1);
    EXPECT_EQ(roundedInteger(std::nan("")), 0);
    EXPECT_EQ(clampedUnit(1.2), 1.0);
    EXPECT_EQ(clampedUnit(-0.1), 0.0);
}

TEST(Date, ReferenceDateConversions) {
    EXPECT_EQ(Date::fromUnixSeconds(978307200).secondsSinceReferenceDate, 0);
    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    EXPECT_EQ(Date::fromDateTime(reference).secondsSinceReferenceDate, 0);
    // A local time with an offset is the same instant as its UTC form.
    const QDateTime istanbul(QDate(2026, 12, 5), QTime(13, 0), QTimeZone(3 * 3600));
    const QDateTime utc(QDate(2026, 12, 5), QTime(10, 0), QTimeZone::utc());
    EXPECT_EQ(Date::fromDateTime(istanbul), Date::fromDateTime(utc));
    EXPECT_EQ(Date::fromDateTime(utc).toDateTime().toUTC(), utc);
    // Fractions of a second survive the round trip to milliseconds.
    const Date precise = Date::fromReference(123456.789);
    EXPECT_NEAR(Date::fromDateTime(precise.toDateTime()).secondsSinceReferenceDate, 123456.789, 1e-6);
    EXPECT_EQ(Date::distantPast().toDateTime().toUTC().date(), QDate(1, 1, 1).addDays(-2))
        << "Julian 0001-01-01";
    EXPECT_LT(Date::distantPast(), Date::fromReference(-1));
    EXPECT_EQ(Date::fromReference(10).secondsSince(Date::fromReference(4)), 6);
}

TEST(Uuid, UpperCaseTextAndStrictParsing) {
    const QUuid id = QUuid::fromString(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_EQ(uuidText(id), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(uuidFromText(uuidText(id)), id);
    EXPECT_EQ(uuidFromText(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e")), id)
        << "lower case is read too";
    EXPECT_EQ(uuidFromText(QStringLiteral("00000000-0000-0000-0000-000000000000")), QUuid());
    for (const char* bad : {"", "0F8FAD5B", "{0F8FAD5B-D9CB-469F-A165-70867728950E}",
                            "ZF8FAD5B-D9CB-469F-A165-70867728950E", "0F8FAD5B-D9CB-469F-A165-70867728950E0"})
        EXPECT_FALSE(uuidFromText(QString::fromLatin1(bad))) << bad;
    EXPECT_NE(newUuid(), newUuid());
}

TEST(ProcessLock, OneHolderAtATimeAndReleasedWithItsOwner) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/nested/folder/monitor.lock");
    auto first = std::make_unique<ProcessLock>(path);
    EXPECT_TRUE(first->tryLock()) << "the folder is created";
    EXPECT_TRUE(first->tryLock()) << "holding it already counts";
    ProcessLock second(path);
    EXPECT_FALSE(second.tryLock());
    EXPECT_FALSE(second.isHeld());
    first.reset();
    EXPECT_TRUE(second.tryLock());

    test::writeFile(dir.path() + QStringLiteral("/file"), "not a folder");
    ProcessLock impossible(dir.path() + QStringLiteral("/file/monitor.lock"));
    EXPECT_FALSE(impossible.tryLock());
}
