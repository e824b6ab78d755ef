#include "HealthArchiveJournal.h"

#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"

#include <QHash>
#include <QJsonDocument>
#include <QSet>
#include <algorithm>
#include <functional>

namespace kestrum::HealthArchiveJournal {

namespace {

struct Replaceable {
    QString key;
    std::function<void(HealthArchive&, const HealthArchive&)> copy;
    std::function<bool(const HealthArchive&, const HealthArchive&)> same;
};

template <auto Member> Replaceable replaceable(const char* key) {
    return {QString::fromLatin1(key),
            [](HealthArchive& to, const HealthArchive& from) { to.*Member = from.*Member; },
            [](const HealthArchive& a, const HealthArchive& b) { return a.*Member == b.*Member; }};
}

const std::vector<Replaceable>& table() {
    static const std::vector<Replaceable> fields{
        replaceable<&HealthArchive::incidents>("incidents"),
        replaceable<&HealthArchive::performanceSessions>("performanceSessions"),
        replaceable<&HealthArchive::healthTestResults>("healthTestResults"),
        replaceable<&HealthArchive::deepHealthTestResults>("deepHealthTestResults"),
        replaceable<&HealthArchive::cpuBenchmarkResults>("cpuBenchmarkResults"),
        replaceable<&HealthArchive::fullSystemScanResults>("fullSystemScanResults"),
        replaceable<&HealthArchive::processorComparisons>("processorComparisons"),
        replaceable<&HealthArchive::latestNetworkQualityResult>("latestNetworkQualityResult"),
        replaceable<&HealthArchive::latestNetworkSpeedResult>("latestNetworkSpeedResult")};
    return fields;
}

// A list whose items carry ids.
struct Keyed {
    QString key;
    std::function<void(HealthArchive&, const HealthArchive&, const QList<QUuid>&)> apply;
    // Fills `changes` for this list; false when applying them to `before` would not give `after`.
    std::function<bool(const HealthArchive&, const HealthArchive&, ItemChanges&)> diff;
};

template <auto Member>
void applyItems(HealthArchive& archive, const HealthArchive& updated, const QList<QUuid>& removed) {
    auto& list = archive.*Member;
    const auto& added = updated.*Member;
    QSet<QUuid> gone(removed.begin(), removed.end());
    for (const auto& item : added)
        gone.insert(item.id);
    std::erase_if(list, [&gone](const auto& item) { return gone.contains(item.id); });
    list.insert(list.end(), added.begin(), added.end());
}

template <auto Member> Keyed keyed(const char* key) {
    Keyed out;
    out.key = QString::fromLatin1(key);
    out.apply = &applyItems<Member>;
    out.diff = [key = out.key](const HealthArchive& before, const HealthArchive& after,
                               ItemChanges& changes) {
        const auto& a = before.*Member;
        const auto& b = after.*Member;
        QHash<QUuid, qsizetype> oldIndex;
        for (qsizetype i = 0; i < static_cast<qsizetype>(a.size()); ++i)
            oldIndex.insert(a[static_cast<size_t>(i)].id, i);
        QSet<QUuid> present;
        for (const auto& item : b)
            present.insert(item.id);
        QList<QUuid> removed;
        for (const auto& item : a) {
            if (!present.contains(item.id))
                removed.append(item.id);
        }
        HealthArchive updated;
        for (const auto& item : b) {
            const auto found = oldIndex.constFind(item.id);
            if (found == oldIndex.constEnd() || !(a[static_cast<size_t>(*found)] == item))
                (updated.*Member).push_back(item);
        }
        // Duplicate ids or a new order among unchanged items have no item form.
        auto check = a;
        HealthArchive probe;
        probe.*Member = std::move(check);
        applyItems<Member>(probe, updated, removed);
        if (!(probe.*Member == b))
            return false;
        (changes.updated.*Member) = std::move(updated.*Member);
        if (!removed.isEmpty())
            changes.removed.emplace_back(key, removed);
        return true;
    };
    return out;
}

const std::vector<Keyed>& keyedTable() {
    static const std::vector<Keyed> lists{keyed<&HealthArchive::incidents>("incidents"),
                                          keyed<&HealthArchive::performanceSessions>("performanceSessions")};
    return lists;
}

const Keyed* findKeyed(const QString& key) {
    for (const Keyed& list : keyedTable()) {
        if (list.key == key)
            return &list;
    }
    return nullptr;
}

// The named lists of `values` decoded as an archive that holds only them.
HealthArchive partialArchive(QJsonObject partial) {
    partial.insert(QStringLiteral("schemaVersion"), HealthArchive::kSchemaVersion);
    partial.insert(QStringLiteral("samples"), QJsonArray());
    partial.insert(QStringLiteral("events"), QJsonArray());
    if (!partial.contains(QStringLiteral("incidents")))
        partial.insert(QStringLiteral("incidents"), QJsonArray());
    return healthArchiveFromJson(partial);
}

const Replaceable* findReplaceable(const QString& key) {
    for (const Replaceable& field : table()) {
        if (field.key == key)
            return &field;
    }
    return nullptr;
}

QByteArray line(qint64 sequence, const QString& key, const QJsonValue& value, QJsonObject extra = {}) {
    extra.insert(QStringLiteral("seq"), sequence);
    extra.insert(key, value);
    return QJsonDocument(extra).toJson(QJsonDocument::Compact) + '\n';
}

[[noreturn]] void throwBadLine(qsizetype number, const QString& reason) {
    throw KestrumError(QStringLiteral("decoding"),
                       trTemplate("Geçmiş günlüğünün \\(line). satırı okunamadı: \\(reason)",
                                  {QString::number(number), reason}));
}

// One line's change applied to `archive`; throws KestrumError on anything unreadable. Returns its sequence.
struct Parsed {
    qint64 sequence = 0;
    std::function<void(HealthArchive&)> apply;
};

Parsed parse(const QByteArray& text) {
    const QJsonValue document = json::parseDocument(text);
    if (!document.isObject())
        json::throwWrongType(json::JsonPath());
    const QJsonObject object = document.toObject();
    json::JsonPath path;
    const QJsonValue sequence = object.value(QStringLiteral("seq"));
    if (!sequence.isDouble() || sequence.toDouble() < 1 || sequence.toDouble() > 9e15 ||
        sequence.toDouble() != std::floor(sequence.toDouble())) {
        path.pushKey("seq");
        json::throwWrongType(path);
    }
    Parsed parsed;
    parsed.sequence = static_cast<qint64>(sequence.toDouble());
    if (object.contains(QStringLiteral("sample"))) {
        HealthSample sample = healthSampleFromJson(object.value(QStringLiteral("sample")));
        parsed.apply = [sample](HealthArchive& archive) { archive.samples.push_back(sample); };
    } else if (object.contains(QStringLiteral("events"))) {
        auto events = healthEventsFromJson(object.value(QStringLiteral("events")));
        parsed.apply = [events](HealthArchive& archive) { mergeEvents(archive.events, events, kEventLimit); };
    } else if (object.contains(QStringLiteral("replace"))) {
        // The replaced fields decode as an archive that holds only them.
        const QJsonObject partial = object.value(QStringLiteral("replace")).toObject();
        for (const QString& key : partial.keys()) {
            if (!findReplaceable(key))
                json::throwUnknownValue(path, key);
        }
        path.pushKey("replace");
        const HealthArchive values = partialArchive(partial);
        QStringList fields;
        for (const QJsonValue& name : object.value(QStringLiteral("fields")).toArray()) {
            if (!findReplaceable(name.toString()))
                json::throwUnknownValue(path, name.toString());
            fields.append(name.toString());
        }
        parsed.apply = [values, fields](HealthArchive& archive) {
            for (const QString& field : fields)
                findReplaceable(field)->copy(archive, values);
        };
    } else if (object.contains(QStringLiteral("items"))) {
        const QJsonObject items = object.value(QStringLiteral("items")).toObject();
        const QJsonObject removedIds = object.value(QStringLiteral("removed")).toObject();
        QStringList keys = items.keys();
        for (const QString& key : removedIds.keys()) {
            if (!keys.contains(key))
                keys.append(key);
        }
        for (const QString& key : keys) {
            if (!findKeyed(key))
                json::throwUnknownValue(path, key);
        }
        path.pushKey("items");
        const HealthArchive updated = partialArchive(items);
        path.pop();
        std::vector<std::pair<const Keyed*, QList<QUuid>>> lists;
        path.pushKey("removed");
        for (const QString& key : keys) {
            QList<QUuid> ids;
            if (removedIds.contains(key)) {
                for (const QUuid& id : json::decode<std::vector<QUuid>>(removedIds.value(key)))
                    ids.append(id);
            }
            lists.emplace_back(findKeyed(key), ids);
        }
        parsed.apply = [updated, lists](HealthArchive& archive) {
            for (const auto& [list, ids] : lists)
                list->apply(archive, updated, ids);
        };
    } else {
        json::throwMissing(path);
    }
    return parsed;
}

} // namespace

const QStringList& replaceableFields() {
    static const QStringList keys = [] {
        QStringList out;
        for (const Replaceable& field : table())
            out.append(field.key);
        return out;
    }();
    return keys;
}

QStringList differingFields(const HealthArchive& a, const HealthArchive& b) {
    QStringList out;
    for (const Replaceable& field : table()) {
        if (!field.same(a, b))
            out.append(field.key);
    }
    return out;
}

HealthArchive withoutSamplesAndEvents(const HealthArchive& archive) {
    HealthArchive out;
    out.schemaVersion = archive.schemaVersion;
    out.unknownFields = archive.unknownFields;
    for (const Replaceable& field : table())
        field.copy(out, archive);
    return out;
}

bool ItemChanges::isEmpty() const {
    if (!removed.empty())
        return false;
    for (const Keyed& list : keyedTable()) {
        if (findReplaceable(list.key)->same(updated, HealthArchive()) == false)
            return false;
    }
    return true;
}

ItemChanges itemChanges(const HealthArchive& before, const HealthArchive& after, QStringList& fields) {
    ItemChanges changes;
    for (const Keyed& list : keyedTable()) {
        if (fields.contains(list.key) && list.diff(before, after, changes))
            fields.removeAll(list.key);
    }
    return changes;
}

QByteArray itemsLine(qint64 sequence, const ItemChanges& changes) {
    const QJsonObject encoded = healthArchiveToJson(changes.updated);
    QJsonObject items;
    for (const Keyed& list : keyedTable()) {
        const QJsonArray values = encoded.value(list.key).toArray();
        if (!values.isEmpty())
            items.insert(list.key, values);
    }
    QJsonObject removed;
    for (const auto& [key, ids] : changes.removed)
        removed.insert(key, json::encode(std::vector<QUuid>(ids.begin(), ids.end())));
    QJsonObject extra;
    if (!removed.isEmpty())
        extra.insert(QStringLiteral("removed"), removed);
    return line(sequence, QStringLiteral("items"), items, extra);
}

QByteArray sampleLine(qint64 sequence, const HealthSample& sample) {
    return line(sequence, QStringLiteral("sample"), healthSampleToJson(sample));
}

QByteArray eventsLine(qint64 sequence, const std::vector<HealthEvent>& events) {
    return line(sequence, QStringLiteral("events"), healthEventsToJson(events));
}

QByteArray replaceLine(qint64 sequence, const HealthArchive& archive, const QStringList& fields) {
    HealthArchive only;
    for (const QString& field : fields) {
        const Replaceable* replaceable = findReplaceable(field);
        if (!replaceable)
            throw KestrumError(QStringLiteral("journal"), QStringLiteral("no journal form for ") + field);
        replaceable->copy(only, archive);
    }
    const QJsonObject encoded = healthArchiveToJson(only);
    QJsonObject values;
    for (const QString& field : fields) {
        if (encoded.contains(field)) // an absent optional stays absent: the replay clears it
            values.insert(field, encoded.value(field));
    }
    return line(sequence, QStringLiteral("replace"), values,
                QJsonObject{{QStringLiteral("fields"), QJsonArray::fromStringList(fields)}});
}

void mergeEvents(std::vector<HealthEvent>& events, const std::vector<HealthEvent>& added, size_t limit) {
    events.insert(events.end(), added.begin(), added.end());
    std::stable_sort(events.begin(), events.end(),
                     [](const HealthEvent& a, const HealthEvent& b) { return a.timestamp < b.timestamp; });
    if (events.size() > limit)
        events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(events.size() - limit));
}

Replayed replay(HealthArchive& archive, qint64 archiveSequence, const QByteArray& journal) {
    Replayed result;
    result.lastSequence = archiveSequence;
    const QList<QByteArray> lines = journal.split('\n');
    // split leaves an empty piece after the final newline; a last piece without one was cut short.
    const qsizetype count = lines.size();
    qint64 previous = 0;
    qint64 offset = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const bool isLast = i == count - 1;
        const QByteArray& text = lines[i];
        if (isLast && text.isEmpty())
            break;
        Parsed parsed;
        try {
            if (isLast)
                throw KestrumError(QStringLiteral("decoding"), trText("satır yarım kalmış"));
            parsed = parse(text);
            if (parsed.sequence <= previous)
                throw KestrumError(QStringLiteral("decoding"), trText("sıra numarası artmıyor"));
        } catch (const KestrumError& error) {
            const bool lastLine = isLast || (i == count - 2 && lines[count - 1].isEmpty());
            if (lastLine) {
                result.droppedTornLine = true;
                break;
            }
            throwBadLine(i + 1, error.description());
        }
        previous = parsed.sequence;
        offset += text.size() + 1;
        result.goodBytes = offset;
        if (parsed.sequence <= archiveSequence)
            continue; // folded into the archive already
        parsed.apply(archive);
        result.lastSequence = parsed.sequence;
        ++result.appliedLines;
    }
    return result;
}

} // namespace kestrum::HealthArchiveJournal
