#include "ProductAnalyticsDeliveryQueue.h"

#include "AnalyticsLogging.h"
#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <set>
#include <sys/stat.h>

namespace kestrum {

namespace json {
template <> struct JsonCustom<ProductAnalyticsEnvelope> {
    static QJsonValue encode(const ProductAnalyticsEnvelope& envelope) {
        return ProductAnalyticsContract::encode(envelope);
    }
    static ProductAnalyticsEnvelope decode(const QJsonValue& value, JsonPath&) {
        return ProductAnalyticsContract::decode(value);
    }
};
template <> struct JsonRecord<ProductAnalyticsQueuedEvent> {
    static constexpr auto fields = std::tuple{
        field("envelope", &ProductAnalyticsQueuedEvent::envelope),
        field("queuedAt", &ProductAnalyticsQueuedEvent::queuedAt),
        field("attemptCount", &ProductAnalyticsQueuedEvent::attemptCount),
        field("nextAttemptAt", &ProductAnalyticsQueuedEvent::nextAttemptAt),
    };
};
template <> struct JsonRecord<ProductAnalyticsQueueFile> {
    static constexpr auto fields = std::tuple{
        field("entries", &ProductAnalyticsQueueFile::entries),
        field("schemaVersion", &ProductAnalyticsQueueFile::schemaVersion),
    };
};
} // namespace json

QByteArray ProductAnalyticsQueueFile::encoded() const {
    return json::writeDocument(*this);
}

std::optional<ProductAnalyticsQueueFile> ProductAnalyticsQueueFile::decode(const QByteArray& bytes) {
    QJsonValue document;
    try {
        document = json::parseDocument(bytes);
    } catch (...) {
        return std::nullopt;
    }
    const QJsonObject object = document.toObject();
    const QJsonValue schema = object.value(QStringLiteral("schemaVersion"));
    const QJsonValue entries = object.value(QStringLiteral("entries"));
    if (!document.isObject() || !schema.isDouble() || schema.toDouble() != kSchemaVersion ||
        !entries.isArray())
        return std::nullopt;
    ProductAnalyticsQueueFile file;
    std::set<QUuid> seen;
    int dropped = 0;
    for (const QJsonValue& value : entries.toArray()) {
        try {
            ProductAnalyticsQueuedEvent entry = json::decode<ProductAnalyticsQueuedEvent>(value);
            if (entry.attemptCount < 0 || !seen.insert(entry.envelope.eventID).second) {
                ++dropped;
                continue;
            }
            file.entries.push_back(std::move(entry));
        } catch (...) {
            ++dropped;
        }
    }
    if (dropped > 0)
        qCWarning(lcAnalytics) << "Analytics queue entries that break the contract were dropped:" << dropped;
    return file;
}

ProductAnalyticsDeliveryQueue::ProductAnalyticsDeliveryQueue(QString path,
                                                             ProductAnalyticsQueueConfiguration configuration)
    : m_path(std::move(path)), m_configuration(configuration) {}

double ProductAnalyticsDeliveryQueue::retryDelay(int attemptCount,
                                                 const ProductAnalyticsQueueConfiguration& configuration) {
    const int exponent = std::clamp(attemptCount - 1, 0, 20);
    return std::min(configuration.maximumRetryDelay,
                    configuration.initialRetryDelay * std::ldexp(1.0, exponent));
}

ProductAnalyticsDeliveryQueue::FileIdentity ProductAnalyticsDeliveryQueue::identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            quint64(info.st_ino)};
}

namespace {

// The entries a file holds, or nothing when it must be discarded (too large, unreadable or corrupt).
std::optional<std::vector<ProductAnalyticsQueuedEvent>> load(const QString& path, qint64 byteLimit) {
    std::optional<QByteArray> bytes;
    try {
        bytes = readFileIfExists(path, byteLimit);
    } catch (...) {
        return std::nullopt; // larger than the limit, or unreadable
    }
    if (!bytes)
        return std::vector<ProductAnalyticsQueuedEvent>{};
    auto file = ProductAnalyticsQueueFile::decode(*bytes);
    if (!file)
        return std::nullopt;
    return std::move(file->entries);
}

bool expired(const ProductAnalyticsQueuedEvent& entry, Date now, double retention) {
    return entry.queuedAt < now.addingSeconds(-retention) || entry.queuedAt > now;
}

} // namespace

void ProductAnalyticsDeliveryQueue::prepare(Date now) {
    const FileIdentity identity = identityOf(m_path);
    if (!m_loaded || identity != m_identity) {
        auto loaded = load(m_path, m_configuration.fileByteLimit);
        m_loaded = true;
        m_identity = identity;
        if (loaded) {
            m_entries = std::move(*loaded);
        } else {
            qCWarning(lcAnalytics) << "Corrupt analytics queue discarded";
            m_entries.clear();
            removeFile();
        }
    }
    if (dropExpired(now))
        write();
}

bool ProductAnalyticsDeliveryQueue::dropExpired(Date now) {
    bool changed = false;
    const auto end =
        std::remove_if(m_entries.begin(), m_entries.end(), [&](const ProductAnalyticsQueuedEvent& e) {
            return expired(e, now, m_configuration.retention);
        });
    if (end != m_entries.end()) {
        m_entries.erase(end, m_entries.end());
        changed = true;
    }
    // After the clock went back no wait lasts longer than the longest back-off.
    const Date latest = now.addingSeconds(m_configuration.maximumRetryDelay);
    for (ProductAnalyticsQueuedEvent& entry : m_entries) {
        if (entry.nextAttemptAt > latest) {
            entry.nextAttemptAt = latest;
            changed = true;
        }
    }
    return changed;
}

void ProductAnalyticsDeliveryQueue::enforceBounds() {
    if (m_entries.size() > m_configuration.eventCountLimit)
        m_entries.erase(m_entries.begin(),
                        m_entries.begin() +
                            std::ptrdiff_t(m_entries.size() - m_configuration.eventCountLimit));
    // The file itself stays within its limit: drop the oldest until it fits.
    for (;;) {
        const qint64 size =
            ProductAnalyticsQueueFile{ProductAnalyticsQueueFile::kSchemaVersion, m_entries}.encoded().size();
        if (size <= m_configuration.fileByteLimit || m_entries.empty())
            return;
        qint64 excess = size - m_configuration.fileByteLimit;
        size_t drop = 0;
        while (drop < m_entries.size() && excess > 0) {
            excess -= json::writeDocument(m_entries[drop]).size();
            ++drop;
        }
        m_entries.erase(m_entries.begin(), m_entries.begin() + std::ptrdiff_t(std::max<size_t>(drop, 1)));
    }
}

void ProductAnalyticsDeliveryQueue::write() {
    try {
        writeFileAtomically(
            m_path,
            ProductAnalyticsQueueFile{ProductAnalyticsQueueFile::kSchemaVersion, m_entries}.encoded());
    } catch (...) {
        qCWarning(lcAnalytics) << "Analytics queue persistence failed";
    }
    m_identity = identityOf(m_path);
}

void ProductAnalyticsDeliveryQueue::removeFile() {
    if (!QFile::exists(m_path) || QFile::remove(m_path)) {
        m_identity = identityOf(m_path);
        return;
    }
    // A file that cannot be removed is at least emptied, so that nothing in it is ever sent.
    try {
        writeFileAtomically(m_path, ProductAnalyticsQueueFile{}.encoded());
        qCWarning(lcAnalytics) << "Analytics queue removal failed; contents were replaced";
    } catch (...) {
        qCWarning(lcAnalytics) << "Analytics queue removal and replacement failed";
    }
    m_identity = identityOf(m_path);
}

void ProductAnalyticsDeliveryQueue::enqueue(const ProductAnalyticsEnvelope& envelope, Date now) {
    prepare(now);
    const bool known =
        std::any_of(m_entries.begin(), m_entries.end(), [&](const ProductAnalyticsQueuedEvent& e) {
            return e.envelope.eventID == envelope.eventID;
        });
    if (known)
        return;
    m_entries.push_back({envelope, now, 0, now});
    enforceBounds();
    write();
}

std::vector<ProductAnalyticsEnvelope> ProductAnalyticsDeliveryQueue::nextBatch(const QUuid& installationID,
                                                                               Date now) {
    prepare(now);
    std::vector<ProductAnalyticsEnvelope> batch;
    for (const ProductAnalyticsQueuedEvent& entry : m_entries) {
        if (batch.size() >= m_configuration.batchSize)
            break;
        if (entry.nextAttemptAt <= now && entry.envelope.anonymousInstallationID == installationID)
            batch.push_back(entry.envelope);
    }
    return batch;
}

std::optional<Date> ProductAnalyticsDeliveryQueue::markFailed(const std::vector<QUuid>& eventIDs, Date now) {
    prepare(now);
    const std::set<QUuid> failed(eventIDs.begin(), eventIDs.end());
    bool changed = false;
    for (ProductAnalyticsQueuedEvent& entry : m_entries) {
        if (!failed.count(entry.envelope.eventID))
            continue;
        entry.attemptCount += 1;
        entry.nextAttemptAt = now.addingSeconds(retryDelay(entry.attemptCount, m_configuration));
        changed = true;
    }
    if (changed)
        write();
    std::optional<Date> earliest;
    for (const ProductAnalyticsQueuedEvent& entry : m_entries) {
        if (!earliest || entry.nextAttemptAt < *earliest)
            earliest = entry.nextAttemptAt;
    }
    return earliest;
}

void ProductAnalyticsDeliveryQueue::removeDelivered(const std::vector<QUuid>& eventIDs, Date now) {
    prepare(now);
    const std::set<QUuid> delivered(eventIDs.begin(), eventIDs.end());
    const auto end =
        std::remove_if(m_entries.begin(), m_entries.end(), [&](const ProductAnalyticsQueuedEvent& e) {
            return delivered.count(e.envelope.eventID) > 0;
        });
    if (end == m_entries.end())
        return;
    m_entries.erase(end, m_entries.end());
    write();
}

void ProductAnalyticsDeliveryQueue::removeAll() {
    m_entries.clear();
    m_loaded = true;
    removeFile();
}

const std::vector<ProductAnalyticsQueuedEvent>& ProductAnalyticsDeliveryQueue::entries(Date now) {
    prepare(now);
    return m_entries;
}

std::optional<Date> ProductAnalyticsDeliveryQueue::earliestAttempt(const QUuid& installationID, Date now) {
    prepare(now);
    std::optional<Date> earliest;
    for (const ProductAnalyticsQueuedEvent& entry : m_entries) {
        if (entry.envelope.anonymousInstallationID == installationID &&
            (!earliest || entry.nextAttemptAt < *earliest))
            earliest = entry.nextAttemptAt;
    }
    return earliest;
}

std::vector<ProductAnalyticsQueuedEvent>
ProductAnalyticsDeliveryQueue::peek(const QString& path, Date now,
                                    const ProductAnalyticsQueueConfiguration& configuration) {
    std::vector<ProductAnalyticsQueuedEvent> entries =
        load(path, configuration.fileByteLimit).value_or(std::vector<ProductAnalyticsQueuedEvent>{});
    std::erase_if(entries, [&](const ProductAnalyticsQueuedEvent& e) {
        return expired(e, now, configuration.retention);
    });
    return entries;
}

} // namespace kestrum
