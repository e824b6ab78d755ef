#include "ProductAnalyticsEnvelope.h"

#include "ProductAnalyticsBuildValues.h"
#include "foundation/Uuid.h"
#include "localisation/L10n.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace kestrum {

using Kind = ProductAnalyticsValidationError::Kind;

ProductAnalyticsValidationError::ProductAnalyticsValidationError(Kind kind, QString detail)
    : m_kind(kind), m_utf8(detail.toUtf8()) {}

ProductAnalyticsAppMetadata ProductAnalyticsAppMetadata::current() {
    return {QString::fromUtf8(KESTRUM_APP_VERSION), QString::fromUtf8(KESTRUM_APP_BUILD),
            ProductAnalyticsDistributionCategory::advanced,
            productAnalyticsLanguageCategory(L10n::isEnglish(), QProcessEnvironment::systemEnvironment())};
}

ProductAnalyticsLanguageCategory productAnalyticsLanguageCategory(bool interfaceIsEnglish,
                                                                  const QProcessEnvironment& environment) {
    if (interfaceIsEnglish)
        return ProductAnalyticsLanguageCategory::en;
    const auto isTurkish = [](const QString& entry) {
        return entry.startsWith(u"tr", Qt::CaseInsensitive) && (entry.size() == 2 || !entry.at(2).isLetter());
    };
    // The language the environment asks for, in the order the interface language was chosen.
    for (const QString& entry :
         environment.value(QStringLiteral("LANGUAGE")).split(u':', Qt::SkipEmptyParts)) {
        if (isTurkish(entry))
            return ProductAnalyticsLanguageCategory::tr;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = environment.value(QString::fromLatin1(name));
        if (!value.isEmpty())
            return isTurkish(value) ? ProductAnalyticsLanguageCategory::tr
                                    : ProductAnalyticsLanguageCategory::other;
    }
    return ProductAnalyticsLanguageCategory::other;
}

namespace {

const QString kEventID = QStringLiteral("event_id");
const QString kInstallationID = QStringLiteral("anonymous_installation_id");
const QString kSchemaVersion = QStringLiteral("event_schema_version");
const QString kName = QStringLiteral("name");
const QString kOccurredAt = QStringLiteral("occurred_at");
const QString kAppVersion = QStringLiteral("app_version");
const QString kAppBuild = QStringLiteral("app_build");
const QString kDistribution = QStringLiteral("distribution");
const QString kLanguage = QStringLiteral("language");
const QString kProperties = QStringLiteral("properties");

[[noreturn]] void fail(Kind kind, const QString& detail) {
    throw ProductAnalyticsValidationError(kind, detail);
}

// A whole number that a double holds exactly.
std::optional<int64_t> integerValue(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9007199254740992.0)
        return std::nullopt;
    return int64_t(d);
}

QUuid uuidField(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    const auto uuid = value.isString() ? uuidFromText(value.toString()) : std::nullopt;
    if (!uuid)
        fail(Kind::invalidMetadata, key + QStringLiteral(" is not a UUID"));
    return *uuid;
}

QString textField(const QJsonObject& object, const QString& key) {
    const QJsonValue value = object.value(key);
    if (!value.isString())
        fail(Kind::invalidMetadata, key + QStringLiteral(" is not text"));
    return value.toString();
}

template <RawRepresentable E> E categoryField(const QJsonObject& object, const QString& key, Kind kind) {
    const QJsonValue value = object.value(key);
    const auto decoded = value.isString() ? fromRawValue<E>(value.toString()) : std::nullopt;
    if (!decoded)
        fail(kind, key + QStringLiteral(" is not a known category"));
    return *decoded;
}

} // namespace

bool ProductAnalyticsContract::isValidVersionText(const QString& text) {
    if (text.isEmpty() || text.size() > 32)
        return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                             (u >= u'0' && u <= u'9') || u == u'.' || u == u'_' || u == u'+' || u == u'-';
        if (!allowed)
            return false;
    }
    return true;
}

void ProductAnalyticsContract::validate(const ProductAnalyticsEnvelope& envelope) {
    if (envelope.eventSchemaVersion != ProductAnalyticsEnvelope::kEventSchemaVersion)
        fail(Kind::unsupportedEventSchema,
             QStringLiteral("schema version %1").arg(envelope.eventSchemaVersion));
    if (envelope.eventID.isNull() || envelope.anonymousInstallationID.isNull())
        fail(Kind::invalidMetadata, QStringLiteral("missing identifier"));
    if (envelope.occurredAtEpochSeconds < 0)
        fail(Kind::invalidMetadata, QStringLiteral("occurred_at before 1970"));
    if (!isValidVersionText(envelope.appVersion) || !isValidVersionText(envelope.appBuild))
        fail(Kind::invalidMetadata, QStringLiteral("app version or build outside the allowed form"));
    if (!productAnalyticsPropertiesMatchCatalogue(envelope.name, envelope.properties))
        fail(Kind::invalidEventProperties,
             QStringLiteral("properties of %1 break the catalogue").arg(rawValue(envelope.name)));
}

QJsonObject ProductAnalyticsContract::encode(const ProductAnalyticsEnvelope& envelope) {
    QJsonObject properties;
    for (const auto& [key, value] : envelope.properties)
        properties.insert(key, value);
    return QJsonObject{
        {kEventID, uuidText(envelope.eventID)},
        {kInstallationID, uuidText(envelope.anonymousInstallationID)},
        {kSchemaVersion, envelope.eventSchemaVersion},
        {kName, rawValue(envelope.name)},
        {kOccurredAt, qint64(envelope.occurredAtEpochSeconds)},
        {kAppVersion, envelope.appVersion},
        {kAppBuild, envelope.appBuild},
        {kDistribution, rawValue(envelope.distribution)},
        {kLanguage, rawValue(envelope.language)},
        {kProperties, properties},
    };
}

ProductAnalyticsEnvelope ProductAnalyticsContract::decode(const QJsonValue& value) {
    if (!value.isObject())
        fail(Kind::invalidMetadata, QStringLiteral("an envelope is an object"));
    const QJsonObject object = value.toObject();
    static const QStringList known{kEventID,    kInstallationID, kSchemaVersion, kName,     kOccurredAt,
                                   kAppVersion, kAppBuild,       kDistribution,  kLanguage, kProperties};
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!known.contains(it.key()))
            fail(Kind::unknownField, it.key());
    }
    const auto schema = integerValue(object.value(kSchemaVersion));
    if (!schema || *schema != ProductAnalyticsEnvelope::kEventSchemaVersion)
        fail(Kind::unsupportedEventSchema, QStringLiteral("unsupported event schema"));

    ProductAnalyticsEnvelope envelope;
    envelope.eventSchemaVersion = int(*schema);
    envelope.name = categoryField<ProductAnalyticsEventName>(object, kName, Kind::invalidEventProperties);
    const QJsonValue properties = object.value(kProperties);
    if (!properties.isObject())
        fail(Kind::invalidEventProperties, QStringLiteral("properties is not an object"));
    const QJsonObject propertyObject = properties.toObject();
    for (auto it = propertyObject.begin(); it != propertyObject.end(); ++it) {
        if (!it.value().isString())
            fail(Kind::invalidEventProperties, it.key() + QStringLiteral(" is not text"));
        envelope.properties.emplace(it.key(), it.value().toString());
    }
    envelope.eventID = uuidField(object, kEventID);
    envelope.anonymousInstallationID = uuidField(object, kInstallationID);
    const auto occurredAt = integerValue(object.value(kOccurredAt));
    if (!occurredAt)
        fail(Kind::invalidMetadata, QStringLiteral("occurred_at is not whole seconds"));
    envelope.occurredAtEpochSeconds = *occurredAt;
    envelope.appVersion = textField(object, kAppVersion);
    envelope.appBuild = textField(object, kAppBuild);
    envelope.distribution =
        categoryField<ProductAnalyticsDistributionCategory>(object, kDistribution, Kind::invalidMetadata);
    envelope.language =
        categoryField<ProductAnalyticsLanguageCategory>(object, kLanguage, Kind::invalidMetadata);
    validate(envelope);
    return envelope;
}

QByteArray ProductAnalyticsEventBatch::encoded() const {
    QJsonArray array;
    for (const ProductAnalyticsEnvelope& envelope : events)
        array.append(ProductAnalyticsContract::encode(envelope));
    const QJsonObject body{{QStringLiteral("privacy_contract_version"), privacyContractVersion},
                           {QStringLiteral("events"), array}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace kestrum
