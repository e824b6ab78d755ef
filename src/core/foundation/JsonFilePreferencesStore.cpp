#include "JsonFilePreferencesStore.h"

#include "AtomicFile.h"
#include "JsonCodec.h"
#include "KestrumError.h"
#include "KestrumPaths.h"
#include "Logging.h"
#include "Translatable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

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

// The advisory lock one read-modify-write of the file holds. Another process holds it only for the few
// milliseconds of its own change; the wait is bounded all the same.
class FileLock {
public:
    explicit FileLock(const QString& path) {
        KestrumPaths::createPrivateFolder(QFileInfo(path).absolutePath());
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return; // a folder we cannot write: the write itself will say so
        QElapsedTimer waited;
        waited.start();
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            if (waited.elapsed() > 5000) {
                m_busy = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Another process kept it for longer than any change takes.
    bool busy() const { return m_busy; }

private:
    int m_fd = -1;
    bool m_busy = false;
};

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
    QJsonValue document;
    try {
        document = json::parseDocument(*bytes);
    } catch (const KestrumError&) {
    }
    if (!document.isObject()) {
        // Keep the user's file: move it aside instead of overwriting it with defaults.
        const QString aside =
            m_path + QStringLiteral(".unreadable-") + QString::number(qint64(Date::now().unixSeconds()));
        QFile::rename(m_path, aside);
        m_problem = trTemplate(
            "Ayarlar dosyası okunamadı; \\(path) olarak saklandı ve varsayılan ayarlar kullanılıyor.",
            {aside});
        qCWarning(lcPreferences) << "preferences file is malformed, moved aside to" << aside;
        m_values.clear();
        m_unknownEntries.clear();
        return;
    }
    m_values.clear();
    m_unknownEntries.clear();
    const QJsonObject object = document.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (auto decoded = decodeValue(it.value()))
            m_values.emplace(it.key(), *decoded);
        else
            m_unknownEntries.emplace(it.key(), it.value()); // another version's entry: not ours to drop
    }
}

void JsonFilePreferencesStore::writeLocked() {
    if (m_writeBlocked)
        return;
    QJsonObject object;
    for (const auto& [key, value] : m_unknownEntries)
        object.insert(key, value);
    for (const auto& [key, value] : m_values)
        object.insert(key, encodeValue(value));
    try {
        writeFileAtomically(m_path, json::toDocumentBytes(object));
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

template <class Change> void JsonFilePreferencesStore::changeLocked(Change&& change) {
    FileLock fileLock(m_path + QStringLiteral(".lock"));
    if (fileLock.busy()) {
        change(); // this run still sees it; the file is not written behind the other process's back
        m_problem =
            trText("Ayarlar dosyası başka bir Kestrum süreci tarafından kilitli; değişiklik kaydedilmedi.");
        qCWarning(lcPreferences) << "preferences lock is busy, change kept in memory:" << m_path;
        return;
    }
    reloadLocked();
    if (change())
        writeLocked();
}

void JsonFilePreferencesStore::setValue(const QString& key, const PreferenceValue& value) {
    std::lock_guard lock(m_mutex);
    changeLocked([&] {
        // Saving the same value again is free: no rewrite, no fsync.
        if (const auto it = m_values.find(key); it != m_values.end() && it->second == value)
            return false;
        m_values[key] = value;
        m_unknownEntries.erase(key);
        return true;
    });
}

void JsonFilePreferencesStore::remove(const QString& key) {
    std::lock_guard lock(m_mutex);
    changeLocked([&] { return (m_values.erase(key) + m_unknownEntries.erase(key)) > 0; });
}

QString JsonFilePreferencesStore::loadProblem() const {
    std::lock_guard lock(m_mutex);
    return m_problem;
}

} // namespace kestrum
