#include "HealthArchiveJournal.h"

#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"

#include <QJsonDocument>
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
        QJsonObject partial = object.value(QStringLiteral("replace")).toObject();
        for (const QString& key : partial.keys()) {
            if (!findReplaceable(key))
                json::throwUnknownValue(path, key);
        }
        const QStringList keys = partial.keys();
        partial.insert(QStringLiteral("schemaVersion"), HealthArchive::kSchemaVersion);
        partial.insert(QStringLiteral("samples"), QJsonArray());
        partial.insert(QStringLiteral("events"), QJsonArray());
        if (!partial.contains(QStringLiteral("incidents")))
            partial.insert(QStringLiteral("incidents"), QJsonArray());
        path.pushKey("replace");
        const HealthArchive values = healthArchiveFromJson(partial);
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
