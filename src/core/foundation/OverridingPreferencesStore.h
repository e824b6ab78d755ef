#pragma once

#include "PreferencesStore.h"

namespace kestrum {

// A view of another preferences store in which some keys have fixed values for this run only: reads of
// them answer the override, writes to them are kept in memory. Used for command-line options that must
// not change the user's saved settings.
class OverridingPreferencesStore : public PreferencesStore {
public:
    OverridingPreferencesStore(PreferencesStore& base, std::map<QString, PreferenceValue> overrides)
        : m_base(base), m_overrides(std::move(overrides)) {}

    std::optional<PreferenceValue> value(const QString& key) const override {
        if (const auto it = m_overrides.find(key); it != m_overrides.end())
            return it->second;
        return m_base.value(key);
    }
    void setValue(const QString& key, const PreferenceValue& value) override {
        if (const auto it = m_overrides.find(key); it != m_overrides.end())
            it->second = value;
        else
            m_base.setValue(key, value);
    }
    void remove(const QString& key) override {
        if (!m_overrides.count(key))
            m_base.remove(key);
    }

private:
    PreferencesStore& m_base;
    std::map<QString, PreferenceValue> m_overrides;
};

} // namespace kestrum
