#pragma once

#include "foundation/Date.h"

#include <QString>
#include <optional>

namespace kestrum {

// When the repeating reminder to run a full scan fires. Pure: the running application keeps the next date
// in its preferences, fires it with a timer, and on start when it is overdue.
struct FullSystemScanReminderSchedule {
    static constexpr int kMinimumDays = 1;
    static constexpr int kMaximumDays = 90;
    static constexpr double kSecondsPerDay = 86'400;
    // The request's fixed identifier: a new schedule replaces the previous one.
    static const QString kRequestIdentifier;

    // Days clamped to 1...90.
    static int clampedDays(int days);
    static double intervalSeconds(int days) { return clampedDays(days) * kSecondsPerDay; }
    // The first reminder after a completed scan at `scheduledAt`.
    static Date firstReminder(Date scheduledAt, int days);
    // The reminder due after `now`: the stored date while it lies ahead; otherwise the next repetition
    // after now (a reminder missed while the application was closed fires once, not once per period).
    static Date nextReminder(Date stored, Date now, int days);
    static bool isDue(std::optional<Date> next, Date now) { return next && next->secondsSince(now) <= 0; }

    // The notification's texts and the settings control's title.
    static QString title();
    static QString body();
    static QString settingTitle();
};

} // namespace kestrum
