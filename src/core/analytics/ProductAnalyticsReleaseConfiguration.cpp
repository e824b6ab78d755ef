#include "ProductAnalyticsReleaseConfiguration.h"

#include "ProductAnalyticsBuildValues.h"

#include <limits>

namespace kestrum {

const QString ProductAnalyticsReleaseConfiguration::kEnabledKey =
    QStringLiteral("KestrumAnalyticsReleaseEnabled");
const QString ProductAnalyticsReleaseConfiguration::kEndpointKey = QStringLiteral("KestrumAnalyticsEndpoint");
const QString ProductAnalyticsReleaseConfiguration::kPrivacyContractVersionKey =
    QStringLiteral("KestrumAnalyticsPrivacyContractVersion");
const QString ProductAnalyticsEndpointConfiguration::kEndpointPreferenceKey =
    QStringLiteral("Kestrum.analytics.endpoint");

namespace {

std::optional<qint64> strictInteger(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        return v <= qulonglong(std::numeric_limits<qint64>::max()) ? std::optional<qint64>(qint64(v))
                                                                   : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool isWithinDomain(const QString& host, const QString& domain) {
    if (domain.isEmpty() || host.isEmpty())
        return false;
    const QString h = host.toLower();
    const QString d = domain.toLower();
    return h == d || h.endsWith(u'.' + d);
}

} // namespace

ProductAnalyticsReleaseConfiguration
ProductAnalyticsReleaseConfiguration::fromInformation(const QVariantMap& information) {
    ProductAnalyticsReleaseConfiguration configuration;
    const QVariant enabled = information.value(kEnabledKey);
    configuration.isEnabled = enabled.typeId() == QMetaType::Bool && enabled.toBool();
    const QVariant endpoint = information.value(kEndpointKey);
    if (endpoint.typeId() == QMetaType::QUrl)
        configuration.endpoint = endpoint.toUrl();
    else if (endpoint.typeId() == QMetaType::QString && !endpoint.toString().isEmpty())
        configuration.endpoint = QUrl(endpoint.toString(), QUrl::StrictMode);
    configuration.privacyContractVersion = strictInteger(information.value(kPrivacyContractVersionKey));
    return configuration;
}

std::optional<QUrl>
ProductAnalyticsReleaseConfiguration::resolvedEndpoint(const QString& vendorDomain) const {
    if (!isEnabled || privacyContractVersion != kSupportedPrivacyContractVersion || !endpoint)
        return std::nullopt;
    const QUrl& url = *endpoint;
    if (!url.isValid() || url.scheme() != u"https" || !url.userName().isEmpty() ||
        !url.password().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !isWithinDomain(url.host(), vendorDomain))
        return std::nullopt;
    return url;
}

ProductAnalyticsEndpointConfiguration
ProductAnalyticsEndpointConfiguration::resolve(const PreferencesStore& preferences,
                                               const QString& buildEndpoint, const QString& buildDomain) {
    ProductAnalyticsEndpointConfiguration out;
    const std::optional<QString> preferred = preferences.textValue(kEndpointPreferenceKey);
    out.configuredText = (preferred ? *preferred : buildEndpoint).trimmed();
    if (out.configuredText.isEmpty())
        return out;
    QString domain = buildDomain.trimmed();
    if (domain.isEmpty())
        domain =
            QUrl(buildEndpoint.trimmed().isEmpty() ? out.configuredText : buildEndpoint.trimmed()).host();
    const QVariantMap information{
        {ProductAnalyticsReleaseConfiguration::kEnabledKey, true},
        {ProductAnalyticsReleaseConfiguration::kEndpointKey, out.configuredText},
        {ProductAnalyticsReleaseConfiguration::kPrivacyContractVersionKey,
         ProductAnalyticsReleaseConfiguration::kSupportedPrivacyContractVersion},
    };
    out.endpoint =
        ProductAnalyticsReleaseConfiguration::fromInformation(information).resolvedEndpoint(domain);
    return out;
}

ProductAnalyticsEndpointConfiguration
ProductAnalyticsEndpointConfiguration::resolve(const PreferencesStore& preferences) {
    return resolve(preferences, QString::fromUtf8(KESTRUM_ANALYTICS_ENDPOINT),
                   QString::fromUtf8(KESTRUM_ANALYTICS_DOMAIN));
}

} // namespace kestrum
