#pragma once

#include "history/HealthEvent.h"

#include <QString>
#include <QUuid>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace kestrum {

// Running totals of the health events ever recorded, by kind and severity, for the monitoring counters.
// The archive keeps only the newest 500 events of 30 days, so the totals live in a small file of their
// own: a counter that went down after old events were compacted away would read as a reset.
class HealthEventTotals {
public:
    using Key = std::pair<HealthInsightKind, HealthLevel>;

    // `file` absent: totals for this process only. An unreadable file is moved aside, never overwritten.
    explicit HealthEventTotals(std::optional<QString> file);

    // Counts the events not counted yet (newer than the last one counted) and saves when any was new.
    // `save` false: count in memory only (a reader of another process's folder).
    void count(const std::vector<HealthEvent>& events, bool save = true);
    const std::map<Key, quint64>& totals() const { return m_totals; }

private:
    void load();
    void store() const;

    std::optional<QString> m_file;
    std::map<Key, quint64> m_totals;
    std::optional<Date> m_lastCountedAt;
    std::set<QUuid> m_countedAtLast; // events sharing the last counted time
};

} // namespace kestrum
