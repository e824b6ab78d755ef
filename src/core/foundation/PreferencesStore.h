#pragma once

#include "Date.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <mutex>
#include <optional>
#include <variant>

namespace kestrum {

// A stored preference keeps its type: the read rules of several keys depend on it ("a row flag is read
// as stored only when it is a boolean", "taken if it is a date").
using PreferenceValue = std::variant<bool, double, QString, Date, QByteArray>;

// The user's settings under dotted keys ("monitor.sampleInterval").
class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;
    virtual std::optional<PreferenceValue> value(const QString& key) const = 0;
    virtual void setValue(const QString& key, const PreferenceValue& value) = 0;
    virtual void remove(const QString& key) = 0;

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<double> numberValue(const QString& key) const;
    std::optional<QString> textValue(const QString& key) const;
    std::optional<Date> dateValue(const QString& key) const;
    std::optional<QByteArray> dataValue(const QString& key) const;
};

// For tests and for runs that must not touch the user's files.
class InMemoryPreferencesStore : public PreferencesStore {
public:
    std::optional<PreferenceValue> value(const QString& key) const override;
    void setValue(const QString& key, const PreferenceValue& value) override;
    void remove(const QString& key) override;

private:
    mutable std::mutex m_mutex;
    std::map<QString, PreferenceValue> m_values;
};

} // namespace kestrum
