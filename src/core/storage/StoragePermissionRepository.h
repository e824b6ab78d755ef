#pragma once

#include "foundation/KestrumError.h"
#include "foundation/PreferencesStore.h"

#include <QString>
#include <optional>

namespace kestrum {

// Remembers the folder the user chose. On Linux the "bookmark" is the folder's path (its bytes, so that
// names that are not UTF-8 survive); a saved folder that no longer exists or is no longer a readable
// folder is stale.
class StoragePermissionPersisting {
public:
    virtual ~StoragePermissionPersisting() = default;
    virtual void save(const QString& folder) = 0;
    // Absent when nothing was saved; throws the stale-permission error.
    virtual std::optional<QString> load() = 0;
    virtual void clear() = 0;
};

namespace StoragePermissionError {
KestrumError bookmarkIsStale(); // "Kaydedilmiş klasör izni artık geçerli değil. Klasörü yeniden seç."
}

class PreferencesStoragePermissionRepository : public StoragePermissionPersisting {
public:
    static constexpr const char* kDefaultKey = "storageMap.securityScopedBookmark";

    explicit PreferencesStoragePermissionRepository(PreferencesStore& preferences,
                                                    QString key = QLatin1String(kDefaultKey));
    void save(const QString& folder) override;
    std::optional<QString> load() override;
    void clear() override;

private:
    PreferencesStore& m_preferences;
    QString m_key;
};

} // namespace kestrum
