#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonValue>
#include <QString>
#include <cstdint>
#include <vector>

namespace kestrum {

// Content categories, in the order that breaks ties.
enum class StorageCategory { applications, video, images, audio, documents, archives, developer, other };

template <> struct EnumTraits<StorageCategory> {
    static constexpr std::pair<StorageCategory, std::string_view> cases[] = {
        {StorageCategory::applications, "applications"},
        {StorageCategory::video, "video"},
        {StorageCategory::images, "images"},
        {StorageCategory::audio, "audio"},
        {StorageCategory::documents, "documents"},
        {StorageCategory::archives, "archives"},
        {StorageCategory::developer, "developer"},
        {StorageCategory::other, "other"},
    };
};

// One direct child of the scanned folder. File names are bytes on Linux and need not be UTF-8: `name`
// and `relativePath` show them with `storageDisplayName`, which keeps distinct names distinct, and
// `nativeName` holds the bytes themselves (to open the child, or to tell two children apart).
struct StorageMapItem {
    QString name;
    QString relativePath; // the child's own name, as displayed; its identity
    uint64_t allocatedBytes = 0;
    int64_t fileCount = 0;
    QByteArray nativeName; // the child's name as the file system holds it; empty when not known
    bool operator==(const StorageMapItem&) const = default;
};

struct StorageCategorySummary {
    StorageCategory category = StorageCategory::other;
    uint64_t allocatedBytes = 0;
    int64_t fileCount = 0;
    bool operator==(const StorageCategorySummary&) const = default;
};

// One scan of one folder; kept in memory only.
struct StorageScanResult {
    QString rootName;
    QString rootPath;
    Date scannedAt;
    uint64_t allocatedBytes = 0; // saturating sum of the counted files' allocated sizes
    int64_t fileCount = 0;       // regular files counted (the limit when truncated)
    int64_t inaccessibleItemCount = 0;
    bool wasTruncated = false;
    std::vector<StorageMapItem> items;              // largest first, ties in natural name order
    std::vector<StorageCategorySummary> categories; // largest first, ties in declaration order
    // Folders inside the scanned one where another file system is mounted: not entered, counted here.
    int64_t skippedMountPointCount = 0;
    bool operator==(const StorageScanResult&) const = default;
};

// A file name as it is shown and written to JSON: UTF-8 text as it is; every byte that is not part of
// valid UTF-8, every control character (a newline would break a line of text) and the invisible
// direction and line-separator characters as `\xHH`; a backslash itself as `\\`. Distinct names stay
// distinct.
QString storageDisplayName(QByteArrayView nativeName);
// "Başka dosya sistemlerine ait 2 bağlama noktası atlandı.", localised; empty when none was skipped.
QString storageSkippedMountPointsText(int64_t count);

// The display name of a category, localised.
QString storageCategoryTitle(StorageCategory category);
// "12 dosya", localised, with the number grouped.
QString storageFileCountText(int64_t count);
QJsonValue storageScanResultToJson(const StorageScanResult& result);

} // namespace kestrum
