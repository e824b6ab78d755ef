#include "FullScanReminderNotifier.h"

#include "FreedesktopNotificationService.h"
#include "fullscan/FullSystemScanReminderSchedule.h"
#include "localisation/L10n.h"

namespace kestrum {

FullScanReminderNotifier::FullScanReminderNotifier(SystemMonitorStore& store,
                                                   FreedesktopNotificationService& notifications,
                                                   QObject* parent)
    : QObject(parent), m_store(store), m_notifications(notifications) {
    m_timer.setInterval(60'000);
    connect(&m_timer, &QTimer::timeout, this, &FullScanReminderNotifier::check);
}

void FullScanReminderNotifier::start() {
    m_timer.start();
    check();
}

void FullScanReminderNotifier::check() {
    if (m_store.takeDueFullSystemScanReminder())
        m_notifications.deliverReminder(L10n::string(FullSystemScanReminderSchedule::title()),
                                        L10n::string(FullSystemScanReminderSchedule::body()));
}

} // namespace kestrum
