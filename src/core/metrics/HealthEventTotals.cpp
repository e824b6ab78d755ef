#include "HealthEventTotals.h"

#include "foundation/AtomicFile.h"
#include "foundation/EnumTraits.h"
#include "foundation/Logging.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace kestrum {

HealthEventTotals::HealthEventTotals(std::optional<QString> file) : m_file(std::move(file)) {
    if (m_file)
        load();
}

void HealthEventTotals::load() {
    std::optional<QByteArray> bytes;
    try {
        bytes = readFileIfExists(*m_file, 1024 * 1024);
    } catch (...) {
        qCWarning(lcMonitor) << "event totals unreadable; counting anew for this run";
        m_file.reset();
        return;
    }
    if (!bytes)
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    bool valid = error.error == QJsonParseError::NoError && document.isObject();
    std::map<Key, quint64> totals;
    const QJsonObject root = document.object();
    for (const QJsonValue& entry : root.value(QStringLiteral("totals")).toArray()) {
        const QJsonObject item = entry.toObject();
        const auto kind = fromRawValue<HealthInsightKind>(item.value(QStringLiteral("kind")).toString());
        const auto level = fromRawValue<HealthLevel>(item.value(QStringLiteral("severity")).toString());
        const double count = item.value(QStringLiteral("count")).toDouble(-1);
        if (!kind || !level || count < 0 || count > 9e15) {
            valid = false;
            break;
        }
        totals[{*kind, *level}] = static_cast<quint64>(count);
    }
    if (!valid) {
        // Kept for the user to inspect; counting starts again from the archive.
        const QString aside = *m_file + QStringLiteral(".unreadable-") +
                              QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QFile::rename(*m_file, aside);
        qCWarning(lcMonitor) << "event totals malformed; moved to" << aside;
        return;
    }
    m_totals = std::move(totals);
    const QJsonValue last = root.value(QStringLiteral("lastCountedAt"));
    if (last.isDouble())
        m_lastCountedAt = Date{last.toDouble()};
    for (const QJsonValue& id : root.value(QStringLiteral("countedAtLast")).toArray())
        m_countedAtLast.insert(QUuid::fromString(id.toString()));
}

void HealthEventTotals::count(const std::vector<HealthEvent>& events, bool save) {
    bool changed = false;
    for (const HealthEvent& event : events) {
        if (m_lastCountedAt && event.timestamp < *m_lastCountedAt)
            continue;
        if (m_lastCountedAt && event.timestamp == *m_lastCountedAt) {
            if (!m_countedAtLast.insert(event.id).second)
                continue;
        } else {
            m_lastCountedAt = event.timestamp;
            m_countedAtLast = {event.id};
        }
        ++m_totals[{event.kind, event.level}];
        changed = true;
    }
    if (changed && save && m_file)
        store();
}

void HealthEventTotals::store() const {
    QJsonArray totals;
    for (const auto& [key, count] : m_totals)
        totals.append(QJsonObject{{QStringLiteral("kind"), rawValue(key.first)},
                                  {QStringLiteral("severity"), rawValue(key.second)},
                                  {QStringLiteral("count"), double(count)}});
    QJsonArray ids;
    for (const QUuid& id : m_countedAtLast)
        ids.append(id.toString(QUuid::WithoutBraces).toUpper());
    QJsonObject root{{QStringLiteral("totals"), totals}, {QStringLiteral("countedAtLast"), ids}};
    if (m_lastCountedAt)
        root.insert(QStringLiteral("lastCountedAt"), m_lastCountedAt->secondsSinceReferenceDate);
    try {
        writeFileAtomically(*m_file, QJsonDocument(root).toJson(QJsonDocument::Indented));
    } catch (...) {
        qCWarning(lcMonitor) << "event totals could not be saved";
    }
}

} // namespace kestrum
