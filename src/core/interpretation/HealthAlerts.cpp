#include "HealthAlerts.h"

#include "HealthInsightEngine.h"
#include "foundation/Uuid.h"
#include "localisation/L10n.h"

#include <algorithm>
#include <set>

namespace kestrum {

namespace {

bool earlier(const HealthEvent& a, const HealthEvent& b) {
    if (a.timestamp != b.timestamp)
        return a.timestamp < b.timestamp;
    return uuidText(a.id) < uuidText(b.id);
}

} // namespace

double HealthAlertTracker::requiredSeconds(const HealthInsight& insight) {
    switch (insight.kind) {
    case HealthInsightKind::thermal:
        if (insight.signature == u"thermal-critical")
            return 0;
        if (insight.signature == u"thermal-serious")
            return 30;
        return 180;
    case HealthInsightKind::cpu:
        return 600;
    case HealthInsightKind::memory:
        return 300;
    case HealthInsightKind::wifi:
        return 180;
    case HealthInsightKind::disk:
    case HealthInsightKind::battery:
    case HealthInsightKind::network:
        return 0;
    }
    return 0;
}

std::vector<HealthEvent> HealthAlertTracker::newEvents(const std::vector<HealthInsight>& insights,
                                                       const std::vector<HealthEvent>& existingEvents,
                                                       Date now, const IdProvider& idProvider) {
    // A signature that disappears for one refresh starts over.
    std::set<QString> signatures;
    for (const HealthInsight& insight : insights)
        signatures.insert(insight.signature);
    for (auto it = m_firstSeenAt.begin(); it != m_firstSeenAt.end();)
        it = signatures.count(it->first) ? std::next(it) : m_firstSeenAt.erase(it);

    std::vector<HealthInsight> due;
    for (const HealthInsight& insight : insights) {
        const Date first = m_firstSeenAt.try_emplace(insight.signature, now).first->second;
        if (now.secondsSince(first) >= requiredSeconds(insight))
            due.push_back(insight);
    }
    return HealthInsightEngine::newEvents(due, existingEvents, now, 1800, idProvider);
}

std::vector<HealthEvent>
HealthAlertNotificationPolicy::eligibleEvents(const std::vector<HealthEvent>& newEvents,
                                              const std::vector<HealthEvent>& existingEvents,
                                              double cooldownSeconds) {
    std::vector<HealthEvent> sorted = newEvents;
    std::stable_sort(sorted.begin(), sorted.end(), earlier);
    std::vector<HealthEvent> running = existingEvents;
    std::vector<HealthEvent> eligible;
    for (const HealthEvent& event : sorted) {
        const bool suppressed = std::any_of(running.begin(), running.end(), [&](const HealthEvent& other) {
            return other.kind == event.kind && other.signature == event.signature &&
                   other.level == event.level && !(other.timestamp > event.timestamp) &&
                   event.timestamp.secondsSince(other.timestamp) < cooldownSeconds;
        });
        running.push_back(event);
        if (!suppressed)
            eligible.push_back(event);
    }
    return eligible;
}

HealthNotificationContent HealthNotificationContent::make(const HealthEvent& event) {
    return {L10n::string(event.title),
            L10n::localizedFragment(event.evidence) + u' ' + L10n::localizedFragment(event.recommendation)};
}

std::vector<HealthAlertObservationGroup>
HealthAlertObservationGroup::groups(const std::vector<HealthEvent>& events, Date since, Date through) {
    std::vector<HealthEvent> kept;
    for (const HealthEvent& event : events) {
        if (!(event.timestamp < since) && !(event.timestamp > through))
            kept.push_back(event);
    }
    std::stable_sort(kept.begin(), kept.end(), earlier);
    std::vector<HealthAlertObservationGroup> out;
    std::map<HealthInsightKind, size_t> latestGroupOfKind;
    for (const HealthEvent& event : kept) {
        const auto it = latestGroupOfKind.find(event.kind);
        if (it != latestGroupOfKind.end()) {
            const HealthEvent& last = out[it->second].observations.back();
            if (!event.signature.isEmpty() && event.signature == last.signature &&
                event.level == last.level && event.timestamp.secondsSince(last.timestamp) <= 2700) {
                out[it->second].observations.push_back(event);
                continue;
            }
        }
        latestGroupOfKind[event.kind] = out.size();
        out.push_back({{event}});
    }
    return out;
}

} // namespace kestrum
