#pragma once

#include "ProductAnalyticsEnvelope.h"
#include "foundation/Date.h"

#include <QString>
#include <QUuid>
#include <optional>
#include <vector>

namespace kestrum {

struct ProductAnalyticsQueueConfiguration {
    double retention = 604800; // seconds (7 days)
    size_t eventCountLimit = 500;
    qint64 fileByteLimit = 1048576;
    size_t batchSize = 20;
    double initialRetryDelay = 60;    // seconds
    double maximumRetryDelay = 21600; // seconds (6 hours)
};

// One entry of the queue file.
struct ProductAnalyticsQueuedEvent {
    ProductAnalyticsEnvelope envelope;
    Date queuedAt;
    int attemptCount = 0;
    Date nextAttemptAt;
    bool operator==(const ProductAnalyticsQueuedEvent&) const = default;
};

// The queue file: "schemaVersion" and "entries", oldest first.
struct ProductAnalyticsQueueFile {
    static constexpr int kSchemaVersion = 1;
    int schemaVersion = kSchemaVersion;
    std::vector<ProductAnalyticsQueuedEvent> entries;
    bool operator==(const ProductAnalyticsQueueFile&) const = default;

    QByteArray encoded() const; // pretty-printed, keys sorted
    // Absent when the bytes are not a queue file of this schema. Entries that break the contract are left
    // out one by one; the rest stay.
    static std::optional<ProductAnalyticsQueueFile> decode(const QByteArray& bytes);
};

// The events waiting to be sent, bounded in count, age and file size, kept in one file in the data
// folder. Serialised: one caller at a time (the pipeline's thread). Every operation first loads the file
// (once, and again only when another process replaced it), drops what has expired, and writes the whole
// file after any change. Persistence failures are logged and never reach the caller.
class ProductAnalyticsDeliveryQueue {
public:
    explicit ProductAnalyticsDeliveryQueue(QString path,
                                           ProductAnalyticsQueueConfiguration configuration = {});

    // An envelope already queued (same event ID) is ignored. The oldest entries make room.
    void enqueue(const ProductAnalyticsEnvelope& envelope, Date now);
    // Due entries of this installation, oldest first, at most one batch.
    std::vector<ProductAnalyticsEnvelope> nextBatch(const QUuid& installationID, Date now);
    // Counts a failed attempt for each listed event and pushes its next attempt back; answers the earliest
    // next attempt of the whole queue.
    std::optional<Date> markFailed(const std::vector<QUuid>& eventIDs, Date now);
    void removeDelivered(const std::vector<QUuid>& eventIDs, Date now);
    // Empties the queue and removes its file.
    void removeAll();
    // What waits now, oldest first.
    const std::vector<ProductAnalyticsQueuedEvent>& entries(Date now);
    // The earliest next attempt among this installation's entries.
    std::optional<Date> earliestAttempt(const QUuid& installationID, Date now);

    const QString& path() const { return m_path; }
    const ProductAnalyticsQueueConfiguration& configuration() const { return m_configuration; }

    // The wait after the `attemptCount`-th failure: initial × 2^min(attemptCount − 1, 20), at most the
    // maximum.
    static double retryDelay(int attemptCount, const ProductAnalyticsQueueConfiguration& configuration);
    // The file as a queue would load it, expired entries left out, without changing anything on disk.
    static std::vector<ProductAnalyticsQueuedEvent>
    peek(const QString& path, Date now, const ProductAnalyticsQueueConfiguration& configuration = {});

private:
    struct FileIdentity {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNanoseconds = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    static FileIdentity identityOf(const QString& path);
    // Loads the file once, or again when someone else replaced it; then drops what expired.
    void prepare(Date now);
    // Answers whether anything was dropped.
    bool dropExpired(Date now);
    void enforceBounds();
    void write();
    void removeFile();

    QString m_path;
    ProductAnalyticsQueueConfiguration m_configuration;
    std::vector<ProductAnalyticsQueuedEvent> m_entries;
    bool m_loaded = false;
    FileIdentity m_identity;
};

} // namespace kestrum
