#include "StorageDeviceIdentityParser.h"

namespace kestrum::StorageDeviceIdentityParser {

namespace {

// A value counts only when it is text that is not blank; the trimmed text is used.
std::optional<QString> nonEmptyString(const QVariantMap& description, const QString& key) {
    const auto it = description.constFind(key);
    if (it == description.cend() || it->typeId() != QMetaType::QString)
        return std::nullopt;
    const QString trimmed = it->toString().trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

std::optional<bool> boolean(const QVariantMap& description, const QString& key) {
    const auto it = description.constFind(key);
    if (it == description.cend() || it->typeId() != QMetaType::Bool)
        return std::nullopt;
    return it->toBool();
}

std::optional<uint64_t> number(const QVariantMap& description, const QString& key) {
    const auto it = description.constFind(key);
    if (it == description.cend())
        return std::nullopt;
    switch (it->typeId()) {
    case QMetaType::ULongLong:
    case QMetaType::UInt:
        return it->toULongLong();
    case QMetaType::LongLong:
    case QMetaType::Int:
        if (it->toLongLong() < 0)
            return std::nullopt;
        return static_cast<uint64_t>(it->toLongLong());
    case QMetaType::Double:
        if (!(it->toDouble() >= 0) || it->toDouble() >= 1.8e19)
            return std::nullopt;
        return static_cast<uint64_t>(it->toDouble());
    default:
        return std::nullopt;
    }
}

} // namespace

StorageDeviceIdentity identity(const QVariantMap& description) {
    StorageDeviceIdentity result;
    result.model = nonEmptyString(description, kDeviceModelKey);
    result.manufacturer = nonEmptyString(description, kDeviceVendorKey);
    if (!result.manufacturer && result.model && result.model->toUpper().startsWith(u"APPLE"))
        result.manufacturer = QStringLiteral("Apple");
    result.protocolName = nonEmptyString(description, kDeviceProtocolKey);
    result.physicalBytes = number(description, kMediaSizeKey);
    result.isInternal = boolean(description, kDeviceInternalKey);
    result.isSolidState = boolean(description, kMediaSolidStateKey);
    if (!result.isSolidState && result.model && result.model->contains(u"SSD", Qt::CaseInsensitive))
        result.isSolidState = true;
    return result;
}

} // namespace kestrum::StorageDeviceIdentityParser
