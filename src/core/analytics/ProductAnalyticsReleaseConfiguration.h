#pragma once

#include "foundation/PreferencesStore.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace kestrum {

// Whether this build sends analytics at all, and where to. Read from an information dictionary in which
// only real values count: a boolean must be a boolean and an integer an integer, never text such as
// "true" or "1".
struct ProductAnalyticsReleaseConfiguration {
    static const QString kEnabledKey;                // "KestrumAnalyticsReleaseEnabled"
    static const QString kEndpointKey;               // "KestrumAnalyticsEndpoint"
    static const QString kPrivacyContractVersionKey; // "KestrumAnalyticsPrivacyContractVersion"
    static constexpr int kSupportedPrivacyContractVersion = 1;

    bool isEnabled = false;
    std::optional<QUrl> endpoint;
    std::optional<qint64> privacyContractVersion;
    bool operator==(const ProductAnalyticsReleaseConfiguration&) const = default;

    static ProductAnalyticsReleaseConfiguration fromInformation(const QVariantMap& information);

    // The endpoint events may be sent to, or nothing: enabled, contract version 1, and an https URL
    // without user, password, query or fragment whose host is `vendorDomain` or one of its subdomains.
    std::optional<QUrl> resolvedEndpoint(const QString& vendorDomain) const;
};

// Where this installation's analytics would go. The build option names the distributor's endpoint (and,
// optionally, the domain it must lie in); the preference "Kestrum.analytics.endpoint" (text) replaces
// it, and an empty text there switches analytics off. Without a build domain the endpoint must stay on
// the build endpoint's host; a build without any endpoint accepts the preference's host as its own.
struct ProductAnalyticsEndpointConfiguration {
    static const QString kEndpointPreferenceKey; // "Kestrum.analytics.endpoint"

    QString configuredText;       // what was configured; empty when nothing was
    std::optional<QUrl> endpoint; // absent when nothing was configured or it was refused

    static ProductAnalyticsEndpointConfiguration
    resolve(const PreferencesStore& preferences, const QString& buildEndpoint, const QString& buildDomain);
    // With this build's own options.
    static ProductAnalyticsEndpointConfiguration resolve(const PreferencesStore& preferences);
};

} // namespace kestrum
