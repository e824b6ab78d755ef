#include "TestSupport.h"
#include "analytics/ProductAnalyticsDeliveryQueue.h"
#include "foundation/Uuid.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

const QUuid kInstallation = QUuid::fromString(QStringLiteral("{1B4E28BA-2FA1-11D2-883F-0016D3CCA427}"));
const Date kStart = Date::fromUnixSeconds(1'765'000'000);

ProductAnalyticsEnvelope envelope(QUuid installation = kInstallation) {
    ProductAnalyticsEnvelope e;
    e.eventID = newUuid();
    e.anonymousInstallationID = installation;
    e.name = ProductAnalyticsEventName::activeDay;
    e.properties = {{QStringLiteral("surface"), QStringLiteral("main_window")}};
    e.occurredAtEpochSeconds = 1'765'000'000;
    e.appVersion = QStringLiteral("0.1.0");
    e.appBuild = QStringLiteral("0.1.0");
    return e;
}

class QueueTest : public ::testing::Test {
protected:
    QTemporaryDir directory;
    QString path() const { return directory.filePath(QStringLiteral("analytics-queue.json")); }
    qint64 fileSize() const { return QFileInfo(path()).size(); }
};

std::vector<QUuid> idsOf(const std::vector<ProductAnalyticsEnvelope>& batch) {
    std::vector<QUuid> ids;
    for (const auto& e : batch)
        ids.push_back(e.eventID);
    return ids;
}

} // namespace

TEST_F(QueueTest, The501stEventPushesOutTheOldestAndTheQueueSurvivesARestart) {
    std::vector<QUuid> ids;
    {
        ProductAnalyticsDeliveryQueue queue(path());
        for (int i = 0; i < 501; ++i) {
            const ProductAnalyticsEnvelope e = envelope();
            ids.push_back(e.eventID);
            queue.enqueue(e, kStart.addingSeconds(i));
        }
        ASSERT_EQ(queue.entries(kStart.addingSeconds(501)).size(), 500u);
        EXPECT_EQ(queue.entries(kStart.addingSeconds(501)).front().envelope.eventID, ids[1]);
    }
    ProductAnalyticsDeliveryQueue reopened(path());
    const auto& entries = reopened.entries(kStart.addingSeconds(502));
    ASSERT_EQ(entries.size(), 500u);
    EXPECT_EQ(entries.front().envelope.eventID, ids[1]);
    EXPECT_EQ(entries.back().envelope.eventID, ids[500]);
    EXPECT_EQ(entries.back().queuedAt, kStart.addingSeconds(500));
    EXPECT_EQ(entries.back().attemptCount, 0);
    EXPECT_EQ(entries.back().nextAttemptAt, kStart.addingSeconds(500));
}

TEST_F(QueueTest, TheFileNeverExceedsItsByteLimit) {
    ProductAnalyticsQueueConfiguration small;
    small.fileByteLimit = 8 * 1024;
    ProductAnalyticsDeliveryQueue queue(path(), small);
    qint64 largest = 0;
    for (int i = 0; i < 200; ++i) {
        queue.enqueue(envelope(), kStart.addingSeconds(i));
        largest = std::max(largest, fileSize());
    }
    EXPECT_LE(largest, small.fileByteLimit);
    EXPECT_GT(largest, small.fileByteLimit * 3 / 4) << "the limit is used, not just respected";
    const size_t kept = queue.entries(kStart.addingSeconds(200)).size();
    EXPECT_GT(kept, 5u);
    EXPECT_LT(kept, 200u);
    // What is kept is the newest: one more event still drops from the front.
    const QUuid oldest = queue.entries(kStart.addingSeconds(200)).front().envelope.eventID;
    queue.enqueue(envelope(), kStart.addingSeconds(200));
    EXPECT_NE(queue.entries(kStart.addingSeconds(201)).front().envelope.eventID, oldest);
}

// Batches hold the due entries of one installation, oldest first, twenty at most; a repeated event ID is
// ignored.
TEST_F(QueueTest, BatchesTakeDueEntriesOfOneInstallation) {
    ProductAnalyticsDeliveryQueue queue(path());
    const QUuid other = newUuid();
    std::vector<QUuid> mine;
    for (int i = 0; i < 25; ++i) {
        const ProductAnalyticsEnvelope e = envelope();
        mine.push_back(e.eventID);
        queue.enqueue(e, kStart.addingSeconds(i));
        queue.enqueue(envelope(other), kStart.addingSeconds(i));
    }
    ProductAnalyticsEnvelope again = envelope();
    again.eventID = mine[3];
    queue.enqueue(again, kStart.addingSeconds(30));
    EXPECT_EQ(queue.entries(kStart.addingSeconds(30)).size(), 50u);

    const auto first = queue.nextBatch(kInstallation, kStart.addingSeconds(30));
    ASSERT_EQ(first.size(), 20u);
    EXPECT_EQ(idsOf(first), std::vector<QUuid>(mine.begin(), mine.begin() + 20));
    // An entry waiting for its retry is not due yet.
    queue.markFailed({mine[24]}, kStart.addingSeconds(30));
    queue.removeDelivered(idsOf(first), kStart.addingSeconds(31));
    EXPECT_EQ(idsOf(queue.nextBatch(kInstallation, kStart.addingSeconds(31))),
              std::vector<QUuid>(mine.begin() + 20, mine.end() - 1));
    EXPECT_EQ(idsOf(queue.nextBatch(kInstallation, kStart.addingSeconds(90))),
              std::vector<QUuid>(mine.begin() + 20, mine.end()));
    EXPECT_EQ(queue.nextBatch(newUuid(), kStart.addingSeconds(31)).size(), 0u);
}

// After the first failure an event waits 60 s, after the second 120 s, doubling, never more than 6 hours.
TEST_F(QueueTest, BackOffDoublesUpToSixHours) {
    ProductAnalyticsDeliveryQueue queue(path());
    const ProductAnalyticsEnvelope e = envelope();
    queue.enqueue(e, kStart);
    const double expected[] = {60, 120, 240, 480, 960, 1920, 3840, 7680, 15360, 21600, 21600, 21600};
    Date now = kStart;
    for (size_t attempt = 0; attempt < std::size(expected); ++attempt) {
        SCOPED_TRACE(attempt + 1);
        ASSERT_EQ(queue.nextBatch(kInstallation, now).size(), 1u);
        const std::optional<Date> next = queue.markFailed({e.eventID}, now);
        ASSERT_TRUE(next);
        EXPECT_DOUBLE_EQ(next->secondsSince(now), expected[attempt]);
        EXPECT_TRUE(queue.nextBatch(kInstallation, next->addingSeconds(-1)).empty())
            << "not due before its time";
        now = *next;
    }
    EXPECT_EQ(queue.entries(now).front().attemptCount, int(std::size(expected)));
    EXPECT_DOUBLE_EQ(ProductAnalyticsDeliveryQueue::retryDelay(1000, {}), 21600);
}

// Entries older than seven days, or dated after now (the clock went back), are dropped; a wait the clock
// made longer than six hours is cut to six hours.
TEST_F(QueueTest, ClockJumpsAndRetention) {
    ProductAnalyticsDeliveryQueue queue(path());
    const ProductAnalyticsEnvelope old = envelope();
    const ProductAnalyticsEnvelope recent = envelope();
    const ProductAnalyticsEnvelope failing = envelope();
    queue.enqueue(old, kStart);
    queue.enqueue(failing, kStart.addingSeconds(86400));
    queue.markFailed({failing.eventID}, kStart.addingSeconds(5 * 86400)); // due at 5 days + 60 s
    queue.enqueue(recent, kStart.addingSeconds(6 * 86400));

    // Seven days and one second after the first: it is gone, the others remain.
    const Date later = kStart.addingSeconds(604801);
    ASSERT_EQ(queue.entries(later).size(), 2u);
    EXPECT_EQ(queue.entries(later).front().envelope.eventID, failing.eventID);

    // The clock goes back to two days after the start: the entry queued at six days lies in the future.
    const Date back = kStart.addingSeconds(2 * 86400);
    const auto& remaining = queue.entries(back);
    ASSERT_EQ(remaining.size(), 1u);
    EXPECT_EQ(remaining.front().envelope.eventID, failing.eventID);
    EXPECT_LE(remaining.front().nextAttemptAt.secondsSince(back), 21600);
    EXPECT_EQ(ProductAnalyticsDeliveryQueue(path()).entries(back).size(), 1u) << "the file says the same";
}

// A file that cannot be trusted is discarded (and removed); a file with one broken entry keeps the rest.
TEST_F(QueueTest, DamagedFilesNeverCrashAndNeverLeakEntries) {
    QByteArray valid;
    {
        ProductAnalyticsDeliveryQueue queue(path());
        queue.enqueue(envelope(), kStart);
        queue.enqueue(envelope(), kStart.addingSeconds(1));
        valid = readFile(path());
    }
    // The second entry carries a path where a category belongs.
    QByteArray oneBroken = valid;
    const QByteArray category = "\"main_window\"";
    const qsizetype second = valid.indexOf(category, valid.indexOf(category) + 1);
    ASSERT_GT(second, 0);
    oneBroken.replace(second, category.size(), "\"/home/ayse\"");
    QByteArray wrongSchema = valid;
    wrongSchema.replace("\"schemaVersion\" : 1", "\"schemaVersion\" : 2");
    struct Case {
        const char* what;
        QByteArray content;
        size_t expected;
    };
    const Case cases[] = {
        {"truncated", valid.left(valid.size() / 2), 0},
        {"not JSON", "\x00\x01\x02garbage", 0},
        {"another schema", wrongSchema, 0},
        {"no entries list", "{\"schemaVersion\": 1}", 0},
        {"entries of the wrong type", "{\"schemaVersion\": 1, \"entries\": 7}", 0},
        {"larger than the limit", QByteArray(1048577, ' '), 0},
        {"an empty file", "", 0},
        {"one entry breaks the contract", oneBroken, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path(), c.content);
        ProductAnalyticsDeliveryQueue queue(path());
        EXPECT_EQ(queue.entries(kStart.addingSeconds(2)).size(), c.expected);
        if (c.expected == 0) {
            EXPECT_FALSE(QFile::exists(path())) << "a discarded file is removed";
        }
        queue.enqueue(envelope(), kStart.addingSeconds(3));
        EXPECT_EQ(ProductAnalyticsDeliveryQueue::peek(path(), kStart.addingSeconds(3)).size(),
                  c.expected + 1);
    }
}

// Another process (a command) replacing or removing the file is noticed by the next operation.
TEST_F(QueueTest, AnotherWriterIsNoticed) {
    ProductAnalyticsDeliveryQueue running(path());
    running.enqueue(envelope(), kStart);
    {
        ProductAnalyticsDeliveryQueue command(path());
        command.enqueue(envelope(), kStart.addingSeconds(1));
    }
    EXPECT_EQ(running.entries(kStart.addingSeconds(2)).size(), 2u);
    ASSERT_TRUE(QFile::remove(path()));
    EXPECT_TRUE(running.nextBatch(kInstallation, kStart.addingSeconds(3)).empty());
    running.removeAll();
    EXPECT_FALSE(QFile::exists(path()));
}
