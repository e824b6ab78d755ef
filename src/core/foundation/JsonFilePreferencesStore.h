#pragma once

#include "PreferencesStore.h"

#include <QJsonValue>

namespace kestrum {

// The real preferences: one JSON file whose entries keep their types
// ({"monitor.sampleInterval": {"type": "number", "value": 2}}). Every change takes an advisory lock on
// "<file>.lock" beside it, re-reads the file inside the lock, applies itself and replaces the file
// atomically, so two Kestrum processes changing settings at once do not undo each other's changes.
// Entries of a type this version does not know are written back as they were. A file that cannot be
// decoded is never overwritten: it is moved aside (…json.unreadable-<time>) and `loadProblem()` says so.
class JsonFilePreferencesStore : public PreferencesStore {
public:
    explicit JsonFilePreferencesStore(QString path);

    std::optional<PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const PreferenceValue& value) override;
    void remove(const QString& key) override;

    const QString& path() const { return m_path; }
    // A Turkish sentence when the file could not be read or written; empty otherwise.
    QString loadProblem() const;

private:
    // Both run with m_mutex held; a change runs them inside the file lock too.
    void reloadLocked();
    void writeLocked();
    template <class Change> void changeLocked(Change&& change);

    QString m_path;
    mutable std::mutex m_mutex;
    std::map<QString, PreferenceValue> m_values;
    std::map<QString, QJsonValue> m_unknownEntries; // kept as they were, never interpreted
    QString m_problem;
    bool m_writeBlocked = false;
};

} // namespace kestrum
