#include "PreferencesStore.h"

namespace kestrum {

namespace {
template <class T> std::optional<T> typed(const std::optional<PreferenceValue>& value) {
    if (value && std::holds_alternative<T>(*value))
        return std::get<T>(*value);
    return std::nullopt;
}
} // namespace

std::optional<bool> PreferencesStore::boolValue(const QString& key) const {
    return typed<bool>(value(key));
}
std::optional<double> PreferencesStore::numberValue(const QString& key) const {
    return typed<double>(value(key));
}
std::optional<QString> PreferencesStore::textValue(const QString& key) const {
    return typed<QString>(value(key));
}
std::optional<Date> PreferencesStore::dateValue(const QString& key) const {
    return typed<Date>(value(key));
}
std::optional<QByteArray> PreferencesStore::dataValue(const QString& key) const {
    return typed<QByteArray>(value(key));
}

std::optional<PreferenceValue> InMemoryPreferencesStore::value(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void InMemoryPreferencesStore::setValue(const QString& key, const PreferenceValue& value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = value;
}

void InMemoryPreferencesStore::remove(const QString& key) {
    std::lock_guard lock(m_mutex);
    m_values.erase(key);
}

} // namespace kestrum
