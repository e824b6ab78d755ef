#pragma once

#include "foundation/Date.h"
#include "foundation/EnumTraits.h"

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

// One direct child of the scanned folder.
struct StorageMapItem {
    QString name;
    QString relativePath; // the child's own name, its identity
    uint64_t allocatedBytes = 0;
    int64_t fileCount = 0;
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
    bool operator==(const StorageScanResult&) const = default;
};

// The display name of a category, localised.
QString storageCategoryTitle(StorageCategory category);
// "12 dosya", localised, with the number grouped.
QString storageFileCountText(int64_t count);
QJsonValue storageScanResultToJson(const StorageScanResult& result);

} // namespace kestrum
