#include "StorageScanResult.h"

#include "foundation/JsonCodec.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

namespace json {
template <> struct JsonRecord<StorageMapItem> {
    static constexpr auto fields =
        std::tuple{field("name", &StorageMapItem::name), field("relativePath", &StorageMapItem::relativePath),
                   field("allocatedBytes", &StorageMapItem::allocatedBytes),
                   field("fileCount", &StorageMapItem::fileCount)};
};
template <> struct JsonRecord<StorageCategorySummary> {
    static constexpr auto fields =
        std::tuple{field("category", &StorageCategorySummary::category),
                   field("allocatedBytes", &StorageCategorySummary::allocatedBytes),
                   field("fileCount", &StorageCategorySummary::fileCount)};
};
template <> struct JsonRecord<StorageScanResult> {
    static constexpr auto fields =
        std::tuple{field("rootName", &StorageScanResult::rootName),
                   field("rootPath", &StorageScanResult::rootPath),
                   field("scannedAt", &StorageScanResult::scannedAt),
                   field("allocatedBytes", &StorageScanResult::allocatedBytes),
                   field("fileCount", &StorageScanResult::fileCount),
                   field("inaccessibleItemCount", &StorageScanResult::inaccessibleItemCount),
                   field("wasTruncated", &StorageScanResult::wasTruncated),
                   field("items", &StorageScanResult::items),
                   field("categories", &StorageScanResult::categories)};
};
} // namespace json

QJsonValue storageScanResultToJson(const StorageScanResult& result) {
    return json::encode(result);
}

QString storageFileCountText(int64_t count) {
    return L10n::string(trTemplate("\\(count) dosya", {MetricFormatting::number(double(count), 0)}));
}

QString storageCategoryTitle(StorageCategory category) {
    const char* title = "";
    switch (category) {
    case StorageCategory::applications:
        title = TR_MARK("Uygulamalar");
        break;
    case StorageCategory::video:
        title = TR_MARK("Videolar");
        break;
    case StorageCategory::images:
        title = TR_MARK("Görseller");
        break;
    case StorageCategory::audio:
        title = TR_MARK("Ses");
        break;
    case StorageCategory::documents:
        title = TR_MARK("Belgeler");
        break;
    case StorageCategory::archives:
        title = TR_MARK("Arşivler");
        break;
    case StorageCategory::developer:
        title = TR_MARK("Geliştirici dosyaları");
        break;
    case StorageCategory::other:
        title = TR_MARK("Diğer");
        break;
    }
    return L10n::string(QString::fromUtf8(title));
}

} // namespace kestrum
