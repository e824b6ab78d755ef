#pragma once

#include "PreferencesStore.h"

namespace kestrum {

// The real preferences: one JSON file whose entries keep their types
// ({"monitor.sampleInterval": {"type": "number", "value": 2}}). Every change re-reads the file, applies
// itself and replaces the file atomically, so two Kestrum processes do not undo each other's changes.
// A file that cannot be decoded is never overwritten: it is moved aside (…json.unreadable-<time>) and
// `loadProblem()` says so.
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
    void reloadLocked();
    void writeLocked();

    QString m_path;
    mutable std::mutex m_mutex;
    std::map<QString, PreferenceValue> m_values;
    QString m_problem;
    bool m_writeBlocked = false;
};

} // namespace kestrum
