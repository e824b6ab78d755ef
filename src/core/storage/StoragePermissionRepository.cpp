#include "StoragePermissionRepository.h"

#include "foundation/Translatable.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace kestrum {

KestrumError StoragePermissionError::bookmarkIsStale() {
    return KestrumError(QStringLiteral("bookmarkIsStale"),
                        trText("Kaydedilmiş klasör izni artık geçerli değil. Klasörü yeniden seç."));
}

PreferencesStoragePermissionRepository::PreferencesStoragePermissionRepository(PreferencesStore& preferences,
                                                                               QString key)
    : m_preferences(preferences), m_key(std::move(key)) {}

void PreferencesStoragePermissionRepository::save(const QString& folder) {
    m_preferences.setValue(m_key, QFile::encodeName(QFileInfo(folder).absoluteFilePath()));
}

std::optional<QString> PreferencesStoragePermissionRepository::load() {
    const auto bytes = m_preferences.dataValue(m_key);
    if (!bytes)
        return std::nullopt;
    const QString path = QFile::decodeName(*bytes);
    if (bytes->isEmpty() || !QFileInfo(path).isDir() || ::access(bytes->constData(), R_OK | X_OK) != 0)
        throw StoragePermissionError::bookmarkIsStale();
    return path;
}

void PreferencesStoragePermissionRepository::clear() {
    m_preferences.remove(m_key);
}

} // namespace kestrum
