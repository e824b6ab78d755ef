#pragma once

#include "HealthInsight.h"
#include "history/HealthEvent.h"

#include <QUuid>
#include <functional>
#include <map>
#include <vector>

namespace kestrum {

// Holds each insight back until it has persisted long enough for its kind, then turns the survivors
// into events (with the insight engine's cooldown).
class HealthAlertTracker {
public:
    using IdProvider = std::function<QUuid()>;

    std::vector<HealthEvent> newEvents(const std::vector<HealthInsight>& insights,
                                       const std::vector<HealthEvent>& existingEvents, Date now,
                                       const IdProvider& idProvider = {});
    // How long an insight must last before it becomes an event.
    static double requiredSeconds(const HealthInsight& insight);
    void reset() { m_firstSeenAt.clear(); }
    const std::map<QString, Date>& firstSeenAt() const { return m_firstSeenAt; }

private:
    std::map<QString, Date> m_firstSeenAt; // signature → start of its current unbroken run
};

namespace HealthAlertNotificationPolicy {
// The new events that may raise a notification: not within `cooldown` of an earlier event (existing or
// earlier in the batch) of the same kind, signature and level.
std::vector<HealthEvent> eligibleEvents(const std::vector<HealthEvent>& newEvents,
                                        const std::vector<HealthEvent>& existingEvents,
                                        double cooldownSeconds);
} // namespace HealthAlertNotificationPolicy

// A notification's texts, localised.
struct HealthNotificationContent {
    QString title;
    QString body;
    static HealthNotificationContent make(const HealthEvent& event);
};

// Events of one kind and signature, folded for display.
struct HealthAlertObservationGroup {
    std::vector<HealthEvent> observations; // never empty

    // Events within [since, through], oldest first; an event joins its kind's latest group when it has
    // the same non-empty signature and level as that group's last event and follows it within 45 minutes.
    static std::vector<HealthAlertObservationGroup> groups(const std::vector<HealthEvent>& events, Date since,
                                                           Date through);
    bool operator==(const HealthAlertObservationGroup&) const = default;
};

} // namespace kestrum
