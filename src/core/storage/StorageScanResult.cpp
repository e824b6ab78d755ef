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
                   field("categories", &StorageScanResult::categories),
                   field("skippedMountPointCount", &StorageScanResult::skippedMountPointCount)};
};
} // namespace json

QJsonValue storageScanResultToJson(const StorageScanResult& result) {
    return json::encode(result);
}

namespace {

// Length of the valid UTF-8 sequence at `bytes[i]` and its code point; 0 when there is none.
size_t utf8Sequence(QByteArrayView bytes, qsizetype i, char32_t& codePoint) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = at(i);
    size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        codePoint = lead & 0x1f;
        minimum = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        codePoint = lead & 0x0f;
        minimum = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        codePoint = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + static_cast<qsizetype>(length) > bytes.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = at(i + static_cast<qsizetype>(k));
        if ((next & 0xc0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3f);
    }
    if (codePoint < minimum || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
        return 0;
    return length;
}

bool mustEscape(char32_t c) {
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c <= 0x9f) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f;
}

} // namespace

QString storageDisplayName(QByteArrayView nativeName) {
    bool plain = true;
    for (const char byte : nativeName) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c >= 0x7f || c == '\\') {
            plain = false;
            break;
        }
    }
    if (plain)
        return QString::fromLatin1(nativeName.data(), nativeName.size());
    QString text;
    text.reserve(nativeName.size() + 8);
    const auto escapeBytes = [&](qsizetype from, size_t count) {
        for (size_t k = 0; k < count; ++k)
            text += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(nativeName[from + qsizetype(k)]),
                                                2, 16, QLatin1Char('0'));
    };
    for (qsizetype i = 0; i < nativeName.size();) {
        char32_t codePoint = 0;
        const size_t length = utf8Sequence(nativeName, i, codePoint);
        if (length == 0) {
            escapeBytes(i, 1);
            i += 1;
            continue;
        }
        if (codePoint == U'\\')
            text += QStringLiteral("\\\\");
        else if (mustEscape(codePoint))
            escapeBytes(i, length);
        else
            text += QString::fromUcs4(&codePoint, 1);
        i += static_cast<qsizetype>(length);
    }
    return text;
}

QString storageSkippedMountPointsText(int64_t count) {
    if (count <= 0)
        return {};
    return L10n::string(trTemplate("Başka dosya sistemlerine ait \\(count) bağlama noktası atlandı.",
                                   {MetricFormatting::number(double(count), 0)}));
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
