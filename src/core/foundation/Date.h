#pragma once

#include <QDateTime>
#include <compare>

namespace kestrum {

// A point in time as seconds since 2001-01-01 00:00:00 UTC, the form every persisted date takes.
struct Date {
    double secondsSinceReferenceDate = 0;

    static constexpr double kUnixEpochOffset = 978307200.0;

    static Date now();
    static constexpr Date fromReference(double seconds) { return Date{seconds}; }
    static constexpr Date fromUnixSeconds(double seconds) { return Date{seconds - kUnixEpochOffset}; }
    static Date fromDateTime(const QDateTime& dateTime);
    // 0001-01-01 00:00:00 UTC counted in the Julian calendar (QDateTime, proleptic Gregorian, shows
    // two days before its 0001-01-01); used where no real date exists yet.
    static constexpr Date distantPast() { return Date{-63114076800.0}; }

    constexpr double unixSeconds() const { return secondsSinceReferenceDate + kUnixEpochOffset; }
    QDateTime toDateTime() const;
    constexpr double secondsSince(Date earlier) const {
        return secondsSinceReferenceDate - earlier.secondsSinceReferenceDate;
    }
    constexpr Date addingSeconds(double seconds) const { return Date{secondsSinceReferenceDate + seconds}; }

    auto operator<=>(const Date&) const = default;
    bool operator==(const Date&) const = default;
};

} // namespace kestrum
