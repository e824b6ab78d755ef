#pragma once

#include "ProductAnalyticsEvent.h"
#include "foundation/EnumTraits.h"

#include <QByteArray>
#include <QException>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QUuid>
#include <cstdint>
#include <vector>

namespace kestrum {

enum class ProductAnalyticsDistributionCategory { appStore, advanced };
template <> struct EnumTraits<ProductAnalyticsDistributionCategory> {
    static constexpr std::pair<ProductAnalyticsDistributionCategory, std::string_view> cases[] = {
        {ProductAnalyticsDistributionCategory::appStore, "app_store"},
        {ProductAnalyticsDistributionCategory::advanced, "advanced"},
    };
};

enum class ProductAnalyticsLanguageCategory { en, tr, other };
template <> struct EnumTraits<ProductAnalyticsLanguageCategory> {
    static constexpr std::pair<ProductAnalyticsLanguageCategory, std::string_view> cases[] = {
        {ProductAnalyticsLanguageCategory::en, "en"},
        {ProductAnalyticsLanguageCategory::tr, "tr"},
        {ProductAnalyticsLanguageCategory::other, "other"},
    };
};

// What every event says about the application itself.
struct ProductAnalyticsAppMetadata {
    QString appVersion;
    QString appBuild;
    ProductAnalyticsDistributionCategory distribution = ProductAnalyticsDistributionCategory::advanced;
    ProductAnalyticsLanguageCategory language = ProductAnalyticsLanguageCategory::other;
    bool operator==(const ProductAnalyticsAppMetadata&) const = default;

    // This build: version and build from the build system; every Linux build is distributed directly,
    // outside any store, which is the "advanced" category; the language of the interface.
    static ProductAnalyticsAppMetadata current();
};

// "en" for an English interface. A Turkish interface is "tr" when the environment asked for Turkish and
// "other" when Turkish is only the fallback for a language the application does not offer.
ProductAnalyticsLanguageCategory productAnalyticsLanguageCategory(bool interfaceIsEnglish,
                                                                  const QProcessEnvironment& environment);

// One event on the wire.
struct ProductAnalyticsEnvelope {
    static constexpr int kEventSchemaVersion = 1;

    QUuid eventID;
    QUuid anonymousInstallationID;
    int eventSchemaVersion = kEventSchemaVersion;
    ProductAnalyticsEventName name = ProductAnalyticsEventName::firstSnapshotReady;
    int64_t occurredAtEpochSeconds = 0;
    QString appVersion;
    QString appBuild;
    ProductAnalyticsDistributionCategory distribution = ProductAnalyticsDistributionCategory::advanced;
    ProductAnalyticsLanguageCategory language = ProductAnalyticsLanguageCategory::other;
    ProductAnalyticsProperties properties;
    bool operator==(const ProductAnalyticsEnvelope&) const = default;
};

// Why an envelope breaks the contract. Never shown to the user: analytics failures only reach the log.
class ProductAnalyticsValidationError : public QException {
public:
    enum class Kind { unknownField, unsupportedEventSchema, invalidMetadata, invalidEventProperties };

    ProductAnalyticsValidationError(Kind kind, QString detail);
    Kind kind() const noexcept { return m_kind; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    ProductAnalyticsValidationError* clone() const override {
        return new ProductAnalyticsValidationError(*this);
    }

private:
    Kind m_kind;
    QByteArray m_utf8;
};

// The contract every envelope is held to before it is queued and after it is read back.
namespace ProductAnalyticsContract {
// Version and build: 1 to 32 characters, letters, digits and ". _ + -" only (no spaces, no slashes,
// so never a path).
bool isValidVersionText(const QString& text);
// Throws ProductAnalyticsValidationError: invalidMetadata or invalidEventProperties.
void validate(const ProductAnalyticsEnvelope& envelope);

// The envelope's JSON object with its wire keys ("event_id", "occurred_at", …).
QJsonObject encode(const ProductAnalyticsEnvelope& envelope);
// Strict: an unknown key, another schema version, bad metadata or properties outside the catalogue
// throw ProductAnalyticsValidationError with the matching kind.
ProductAnalyticsEnvelope decode(const QJsonValue& value);
} // namespace ProductAnalyticsContract

// A request body: "privacy_contract_version" and 1 to 20 "events".
struct ProductAnalyticsEventBatch {
    static constexpr size_t kMaximumEventCount = 20;
    int privacyContractVersion = 1;
    std::vector<ProductAnalyticsEnvelope> events;
    bool operator==(const ProductAnalyticsEventBatch&) const = default;

    QByteArray encoded() const; // compact JSON, keys sorted
};

} // namespace kestrum
