#include "JsonFilePreferencesStore.h"

#include "AtomicFile.h"
#include "JsonCodec.h"
#include "KestrumError.h"
#include "Logging.h"
#include "Translatable.h"

#include <QFile>
#include <QJsonDocument>

namespace kestrum {

namespace {

QJsonObject encodeValue(const PreferenceValue& value) {
    QJsonObject entry;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                entry.insert(QStringLiteral("type"), QStringLiteral("bool"));
                entry.insert(QStringLiteral("value"), v);
            } else if constexpr (std::is_same_v<T, double>) {
                entry.insert(QStringLiteral("type"), QStringLiteral("number"));
                entry.insert(QStringLiteral("value"), v);
            } else if constexpr (std::is_same_v<T, QString>) {
                entry.insert(QStringLiteral("type"), QStringLiteral("text"));
                entry.insert(QStringLiteral("value"), v);
            } else if constexpr (std::is_same_v<T, Date>) {
                entry.insert(QStringLiteral("type"), QStringLiteral("date"));
                entry.insert(QStringLiteral("value"), v.secondsSinceReferenceDate);
            } else {
                entry.insert(QStringLiteral("type"), QStringLiteral("data"));
                entry.insert(QStringLiteral("value"), QString::fromLatin1(v.toBase64()));
            }
        },
        value);
    return entry;
}

std::optional<PreferenceValue> decodeValue(const QJsonValue& json) {
    const QJsonObject entry = json.toObject();
    const QString type = entry.value(QStringLiteral("type")).toString();
    const QJsonValue v = entry.value(QStringLiteral("value"));
    if (type == u"bool" && v.isBool())
        return PreferenceValue(v.toBool());
    if (type == u"number" && v.isDouble())
        return PreferenceValue(v.toDouble());
    if (type == u"text" && v.isString())
        return PreferenceValue(v.toString());
    if (type == u"date" && v.isDouble())
        return PreferenceValue(Date{v.toDouble()});
    if (type == u"data" && v.isString())
        return PreferenceValue(QByteArray::fromBase64(v.toString().toLatin1()));
    return std::nullopt;
}

} // namespace

JsonFilePreferencesStore::JsonFilePreferencesStore(QString path) : m_path(std::move(path)) {
    std::lock_guard lock(m_mutex);
    reloadLocked();
}

void JsonFilePreferencesStore::reloadLocked() {
    std::optional<QByteArray> bytes;
    try {
        bytes = readFileIfExists(m_path, 16 * 1024 * 1024);
    } catch (const KestrumError& error) {
        // An existing file we cannot read is never replaced; changes stay in memory only.
        m_problem = error.description();
        m_writeBlocked = true;
        qCWarning(lcPreferences) << "cannot read preferences:" << m_path;
        return;
    }
    m_writeBlocked = false;
    if (!bytes) {
        m_values.clear();
        return;
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        // Keep the user's file: move it aside instead of overwriting it with defaults.
        const QString aside =
            m_path + QStringLiteral(".unreadable-") + QString::number(qint64(Date::now().unixSeconds()));
        QFile::rename(m_path, aside);
        m_problem = trTemplate(
            "Ayarlar dosyası okunamadı; \\(path) olarak saklandı ve varsayılan ayarlar kullanılıyor.",
            {aside});
        qCWarning(lcPreferences) << "preferences file is malformed, moved aside to" << aside;
        m_values.clear();
        return;
    }
    m_values.clear();
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (auto decoded = decodeValue(it.value()))
            m_values.emplace(it.key(), *decoded);
    }
}

void JsonFilePreferencesStore::writeLocked() {
    if (m_writeBlocked)
        return;
    QJsonObject object;
    for (const auto& [key, value] : m_values)
        object.insert(key, encodeValue(value));
    try {
        writeFileAtomically(m_path, QJsonDocument(object).toJson(QJsonDocument::Indented));
    } catch (const KestrumError& error) {
        m_problem = error.description();
        qCWarning(lcPreferences) << "cannot write preferences:" << m_path;
    }
}

std::optional<PreferenceValue> JsonFilePreferencesStore::value(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void JsonFilePreferencesStore::setValue(const QString& key, const PreferenceValue& value) {
    std::lock_guard lock(m_mutex);
    reloadLocked();
    // Saving the same value again is free: no rewrite, no fsync.
    if (const auto it = m_values.find(key); it != m_values.end() && it->second == value)
        return;
    m_values[key] = value;
    writeLocked();
}

void JsonFilePreferencesStore::remove(const QString& key) {
    std::lock_guard lock(m_mutex);
    reloadLocked();
    if (m_values.erase(key) > 0)
        writeLocked();
}

QString JsonFilePreferencesStore::loadProblem() const {
    std::lock_guard lock(m_mutex);
    return m_problem;
}

} // namespace kestrum
