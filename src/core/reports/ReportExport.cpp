#include "ReportExport.h"

#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/PreferencesStore.h"
#include "foundation/Translatable.h"

namespace kestrum {

namespace ReportExport {

QString defaultFileName(ExportedReport report, Date now) {
    const QString prefix = report == ExportedReport::diagnostic
                               ? QStringLiteral("Kestrum-Tani-Raporu")
                               : QStringLiteral("Kestrum-Haftalik-Saglik-Raporu");
    return prefix + QStringLiteral("-") +
           now.toDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".md");
}

std::optional<QString> write(const QString& path, const QString& text) {
    if (path.isEmpty())
        return trText("Rapor için bir dosya seçilmedi.");
    try {
        writeFileAtomically(path, text.toUtf8());
    } catch (const KestrumError& error) {
        return trTemplate("Rapor kaydedilemedi: \\(description)", {error.description()});
    }
    return std::nullopt;
}

} // namespace ReportExport

namespace WeeklyReportSchedule {

Decision decide(std::optional<Date> lastOffered, Date now, bool hasRecentSamples) {
    // A date ahead of now means the clock went back: counting from it could postpone the offer for
    // as long as the clock was wrong, so the week starts again from now.
    if (!lastOffered || *lastOffered > now)
        return Decision::startClock;
    if (now.secondsSince(*lastOffered) < kIntervalSeconds || !hasRecentSamples)
        return Decision::notDue;
    return Decision::due;
}

bool offerIfDue(PreferencesStore& preferences, Date now, bool hasRecentSamples,
                const std::function<void()>& offer) {
    const Decision decision = decide(preferences.dateValue(kLastOfferedKey), now, hasRecentSamples);
    if (decision == Decision::notDue)
        return false;
    // Remembered before offering: a failing notification server must not make it ask every hour.
    preferences.setValue(kLastOfferedKey, now);
    if (decision == Decision::due)
        offer();
    return decision == Decision::due;
}

} // namespace WeeklyReportSchedule

} // namespace kestrum
