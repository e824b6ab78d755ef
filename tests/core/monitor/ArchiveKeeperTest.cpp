#include "monitor/ArchiveKeeper.h"

#include "MonitorFakes.h"

#include <gtest/gtest.h>
#include <qcoro/qcorotask.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class KeeperTest : public ::testing::Test {
protected:
    Date now = Date::fromUnixSeconds(1'765'000'000);
    std::shared_ptr<FakeRepository> repository = std::make_shared<FakeRepository>();
    ArchiveKeeper keeper{{repository, [this] { return now; }, [] { return newUuid(); }}};

    HealthEvent eventAt(double secondsAgo) {
        HealthEvent e;
        e.id = newUuid();
        e.timestamp = now.addingSeconds(-secondsAgo);
        e.signature = QStringLiteral("cpu-high");
        return e;
    }
};

} // namespace

TEST_F(KeeperTest, EventsKeepTheNewest500InTimeOrder) {
    QCoro::waitFor(keeper.prepare());
    std::vector<HealthEvent> first;
    for (int i = 0; i < 450; ++i)
        first.push_back(eventAt(10'000 - i * 10)); // one every 10 s, oldest first
    keeper.addEvents(first);
    std::vector<HealthEvent> second;
    for (int i = 0; i < 100; ++i)
        second.push_back(eventAt(10'005 - i * 100)); // interleaved with the first batch
    keeper.addEvents(second);
    const auto& events = keeper.archive().events;
    ASSERT_EQ(events.size(), 500u);
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end(), [](const HealthEvent& a, const HealthEvent& b) {
        return a.timestamp < b.timestamp;
    }));
    // 550 in all: the 50 oldest are gone, the newest is kept.
    std::vector<Date> all;
    for (const auto& e : first)
        all.push_back(e.timestamp);
    for (const auto& e : second)
        all.push_back(e.timestamp);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(events.front().timestamp, all[50]);
    EXPECT_EQ(events.back().timestamp, all.back());
}

TEST_F(KeeperTest, OneIncidentMarkerIsOpenAtATime) {
    QCoro::waitFor(keeper.prepare());
    EXPECT_FALSE(keeper.stopIncident({})) << "nothing to stop";
    EXPECT_TRUE(keeper.startIncident(QStringLiteral("fan")));
    EXPECT_FALSE(keeper.startIncident(QStringLiteral("second"))) << "one open marker at a time";
    now = now.addingSeconds(-30); // the clock went backwards
    EXPECT_TRUE(keeper.stopIncident(QStringLiteral("  sessizleşti ")));
    ASSERT_EQ(keeper.archive().incidents.size(), 1u);
    const IncidentSession& incident = keeper.archive().incidents[0];
    EXPECT_EQ(incident.note, QStringLiteral("sessizleşti"));
    EXPECT_EQ(incident.endedAt, incident.startedAt) << "an end never precedes its start";
    EXPECT_FALSE(keeper.activeIncident());
}

TEST_F(KeeperTest, AnUnloadableArchiveIsNeverOverwritten) {
    repository->failLoad = true;
    QCoro::waitFor(keeper.prepare());
    EXPECT_FALSE(keeper.isPrepared());
    keeper.startIncident(QStringLiteral("x"));
    EXPECT_FALSE(QCoro::waitFor(keeper.persist()));
    QCoro::waitFor(keeper.clear());
    EXPECT_EQ(repository->saves, 0) << "neither a save nor an erase writes over what could not be read";
}
