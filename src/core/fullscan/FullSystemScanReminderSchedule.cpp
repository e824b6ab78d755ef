#include "FullSystemScanReminderSchedule.h"

#include "foundation/Translatable.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

const QString FullSystemScanReminderSchedule::kRequestIdentifier =
    QStringLiteral("app.kestrum.full-system-scan-reminder");

int FullSystemScanReminderSchedule::clampedDays(int days) {
    return std::clamp(days, kMinimumDays, kMaximumDays);
}

Date FullSystemScanReminderSchedule::firstReminder(Date scheduledAt, int days) {
    return scheduledAt.addingSeconds(intervalSeconds(days));
}

Date FullSystemScanReminderSchedule::nextReminder(Date stored, Date now, int days) {
    if (stored.secondsSince(now) > 0)
        return stored;
    const double interval = intervalSeconds(days);
    const double periods = std::floor(now.secondsSince(stored) / interval) + 1;
    return stored.addingSeconds(periods * interval);
}

QString FullSystemScanReminderSchedule::title() {
    return trText("Tam sistem taraması zamanı");
}

QString FullSystemScanReminderSchedule::body() {
    return trText("Mac prize bağlı ve hava akışı açıkken Kestrum Tam Tarama’yı başlatabilirsin.");
}

QString FullSystemScanReminderSchedule::settingTitle() {
    return trText("Düzenli tarama hatırlatıcısı");
}

} // namespace kestrum
