#pragma once

#include "HealthArchive.h"

#include <QByteArray>
#include <QStringList>

namespace kestrum::HealthArchiveJournal {

// The journal beside the archive: one compact JSON object per line, each a change made after the archive
// was last written, numbered by a sequence that only grows. The archive records the last number folded
// into it, so lines at or below it are already in the archive and are skipped.

// The list fields a journal line may replace wholesale (incidents and results): their archive keys.
const QStringList& replaceableFields();

// Of the replaceable fields, those whose values differ between the two archives.
QStringList differingFields(const HealthArchive& a, const HealthArchive& b);
// The archive without its samples and events: what differingFields compares, held cheaply.
HealthArchive withoutSamplesAndEvents(const HealthArchive& archive);

// Changes of the lists whose items carry ids (incidents, performance sessions), item by item: what
// changes every minute while a session runs costs a line of one item, not the whole list.
struct ItemChanges {
    HealthArchive updated;                                 // per list: items added or changed, in list order
    std::vector<std::pair<QString, QList<QUuid>>> removed; // per list key: ids no longer there
    bool isEmpty() const;
};
// The item changes from `before` to `after` of the lists named in `fields`; each list they express
// exactly is taken out of `fields` (a list whose new order they cannot reproduce stays there).
ItemChanges itemChanges(const HealthArchive& before, const HealthArchive& after, QStringList& fields);

QByteArray sampleLine(qint64 sequence, const HealthSample& sample);
QByteArray eventsLine(qint64 sequence, const std::vector<HealthEvent>& events);
// Replaying it removes the ids, then moves each updated item (by id) to the end of its list.
QByteArray itemsLine(qint64 sequence, const ItemChanges& changes);
// The named fields' current values, taken from `archive`. Names outside replaceableFields() throw.
QByteArray replaceLine(qint64 sequence, const HealthArchive& archive, const QStringList& fields);

// Adds events in time order (stable), keeping the newest `limit`: how the monitor adds them and how a
// replay re-adds them.
void mergeEvents(std::vector<HealthEvent>& events, const std::vector<HealthEvent>& added, size_t limit);
constexpr size_t kEventLimit = 500;

struct Replayed {
    qint64 lastSequence = 0; // the highest sequence in the archive or the journal
    int appliedLines = 0;
    qint64 goodBytes = 0;         // the journal's length up to the end of its last complete, readable line
    bool droppedTornLine = false; // the last line was cut short or unreadable: a write the crash interrupted
};

// Applies the journal's lines numbered above `archiveSequence` to `archive`, in order. An unreadable last
// line is dropped; an unreadable earlier one, or a sequence that does not grow, throws KestrumError
// ("decoding") naming the line.
Replayed replay(HealthArchive& archive, qint64 archiveSequence, const QByteArray& journal);

} // namespace kestrum::HealthArchiveJournal
