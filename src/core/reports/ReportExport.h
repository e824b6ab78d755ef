#pragma once

#include "foundation/Date.h"

#include <QString>
#include <functional>
#include <optional>

namespace kestrum {

class PreferencesStore;

enum class ExportedReport { diagnostic, weekly };

// Saving a report the user asked for, and when the weekly one is offered unasked.
namespace ReportExport {

// "Kestrum-Tani-Raporu-2026-12-06.md", "Kestrum-Haftalik-Saglik-Raporu-2026-12-06.md" (local date).
QString defaultFileName(ExportedReport report, Date now);

// Writes the whole text or nothing (a reader finds the old file or the new one). Gives the Turkish
// reason on failure, nothing on success.
std::optional<QString> write(const QString& path, const QString& text);

} // namespace ReportExport

// The weekly report is offered at most once a week, and only with something recorded to report on.
namespace WeeklyReportSchedule {

constexpr double kIntervalSeconds = 604800;

enum class Decision {
    notDue,
    due,        // offer it now and remember now
    startClock, // nothing offered yet (or the clock went back): remember now, offer a week later
};

// `lastOffered`: when it was last offered (or the clock was started); `hasRecentSamples`: the archive
// holds samples from the last week.
Decision decide(std::optional<Date> lastOffered, Date now, bool hasRecentSamples);

// The preference holding the date of the last offer (a date value).
inline const QString kLastOfferedKey = QStringLiteral("reports.weekly.lastOfferedAt");

// Applies the rule to the stored date: calls `offer` when due, and stores now whenever the week starts
// again. Returns whether it offered.
bool offerIfDue(PreferencesStore& preferences, Date now, bool hasRecentSamples,
                const std::function<void()>& offer);

} // namespace WeeklyReportSchedule

} // namespace kestrum
