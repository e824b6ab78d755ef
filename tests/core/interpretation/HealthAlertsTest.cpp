#include "interpretation/HealthAlerts.h"

#include "foundation/Uuid.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

const Date kNow = Date::fromUnixSeconds(1'765'000'000);

HealthInsight insight(HealthInsightKind kind, const char* signature,
                      HealthLevel level = HealthLevel::attention) {
    return {kind,
            level,
            QStringLiteral("başlık"),
            QStringLiteral("kanıt."),
            QStringLiteral("öneri."),
            QLatin1String(signature)};
}

HealthEvent event(double secondsAgo, const char* signature = "cpu-high",
                  HealthLevel level = HealthLevel::attention,
                  HealthInsightKind kind = HealthInsightKind::cpu) {
    return {newUuid(), kNow.addingSeconds(-secondsAgo), kind, level, {}, {}, {}, QLatin1String(signature)};
}

} // namespace

TEST(HealthAlertTracker, PersistenceTimesPerKind) {
    struct Case {
        HealthInsight insight;
        double required;
    } cases[] = {
        {insight(HealthInsightKind::thermal, "thermal-critical", HealthLevel::critical), 0},
        {insight(HealthInsightKind::thermal, "thermal-serious", HealthLevel::critical), 30},
        {insight(HealthInsightKind::thermal, "thermal-fair"), 180},
        {insight(HealthInsightKind::cpu, "cpu-high"), 600},
        {insight(HealthInsightKind::memory, "memory-high"), 300},
        {insight(HealthInsightKind::wifi, "wifi-weak"), 180},
        {insight(HealthInsightKind::disk, "disk-low"), 0},
        {insight(HealthInsightKind::battery, "battery-health"), 0},
    };
    for (const auto& c : cases) {
        HealthAlertTracker tracker;
        const auto first = tracker.newEvents({c.insight}, {}, kNow);
        EXPECT_EQ(first.size(), c.required == 0 ? 1u : 0u) << c.insight.signature.toStdString();
        if (c.required == 0)
            continue;
        EXPECT_TRUE(tracker.newEvents({c.insight}, {}, kNow.addingSeconds(c.required - 1)).empty())
            << c.insight.signature.toStdString();
        EXPECT_EQ(tracker.newEvents({c.insight}, {}, kNow.addingSeconds(c.required)).size(), 1u)
            << c.insight.signature.toStdString();
    }
}

TEST(HealthAlertTracker, AnInsightMissingForOneRefreshStartsOver) {
    HealthAlertTracker tracker;
    const HealthInsight cpu = insight(HealthInsightKind::cpu, "cpu-high");
    tracker.newEvents({cpu}, {}, kNow);
    tracker.newEvents({}, {}, kNow.addingSeconds(300)); // gone for one refresh
    EXPECT_TRUE(tracker.newEvents({cpu}, {}, kNow.addingSeconds(600)).empty());
    EXPECT_TRUE(tracker.newEvents({cpu}, {}, kNow.addingSeconds(1199)).empty());
    const auto due = tracker.newEvents({cpu}, {}, kNow.addingSeconds(1200));
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].timestamp, kNow.addingSeconds(1200));
    // Once an event exists, the cooldown of the insight engine holds the next one back.
    EXPECT_TRUE(tracker.newEvents({cpu}, due, kNow.addingSeconds(1300)).empty());
}

TEST(HealthAlertNotificationPolicy, EligibilityWithinABatchAndAgainstHistory) {
    const HealthEvent a = event(0);
    HealthEvent b = event(0);
    HealthEvent critical = event(0, "cpu-high", HealthLevel::critical);
    struct Case {
        const char* name;
        std::vector<HealthEvent> fresh;
        std::vector<HealthEvent> existing;
        size_t eligible;
    } cases[] = {
        {"two alike in one batch: only the first", {a, b}, {}, 1},
        {"same level 20 minutes ago", {a}, {event(1200)}, 0},
        {"other level 20 minutes ago", {critical}, {event(1200)}, 1},
        {"same level 30 minutes ago", {a}, {event(1800)}, 1},
        {"an existing event in the future does not count", {a}, {event(-60)}, 1},
        {"other kind", {a}, {event(60, "cpu-high", HealthLevel::attention, HealthInsightKind::memory)}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HealthAlertNotificationPolicy::eligibleEvents(c.fresh, c.existing, 1800).size(), c.eligible)
            << c.name;
    // Of two events with equal times, the one with the smaller id text wins the notification.
    const auto chosen = HealthAlertNotificationPolicy::eligibleEvents({a, b}, {}, 1800);
    EXPECT_EQ(uuidText(chosen[0].id), std::min(uuidText(a.id), uuidText(b.id)));
}

TEST(HealthAlertObservationGroup, GroupsBySignatureLevelAndGap) {
    const std::vector<HealthEvent> events = {
        event(10000),                                   // group 1
        event(10000 - 2700),                            // joins: exactly 45 min later
        event(10000 - 2700 - 2701),                     // new group: 45 min + 1 s
        event(5000, "cpu-high", HealthLevel::critical), // level changed: new group
        event(4000, "memory-high", HealthLevel::attention, HealthInsightKind::memory),
        event(3900, "", HealthLevel::attention, HealthInsightKind::memory), // empty signature never joins
        event(50000),                                                       // before `since`
    };
    const auto groups = HealthAlertObservationGroup::groups(events, kNow.addingSeconds(-20000), kNow);
    std::vector<size_t> sizes;
    for (const auto& g : groups)
        sizes.push_back(g.observations.size());
    EXPECT_EQ(sizes, (std::vector<size_t>{2, 1, 1, 1, 1}));
    EXPECT_EQ(groups[0].observations[0].timestamp, kNow.addingSeconds(-10000));
}
