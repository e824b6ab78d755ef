#pragma once

#include "NetworkTesting.h"

#include <QUrl>
#include <memory>
#include <optional>

namespace kestrum {

class PreferencesStore;

// Where the network tests send their requests. Endpoints are configuration: the preferences below, or
// values given for one run.
struct NetworkTestConfiguration {
    // Preference keys (text).
    static inline const QString qualityEndpointKey = QStringLiteral("network.quality.endpoint");
    static inline const QString speedEndpointKey = QStringLiteral("network.speed.endpoint");
    static inline const QString caBundleFileKey = QStringLiteral("network.caBundleFile");

    // A small page that is always there and answers HEAD with 200: Apple's connectivity check.
    static QUrl defaultQualityEndpoint();
    // The public Cloudflare speed-test service; downloads at BASE/__down, uploads at BASE/__up.
    static QUrl defaultSpeedBase();

    QUrl qualityEndpoint = defaultQualityEndpoint();
    QUrl speedBase = defaultSpeedBase();
    std::optional<QString> caBundleFile;

    QUrl speedDownloadEndpoint() const;
    QUrl speedUploadEndpoint() const;

    // The stored choices; a missing or empty key keeps the default.
    static NetworkTestConfiguration fromPreferences(const PreferencesStore& preferences);
    bool operator==(const NetworkTestConfiguration&) const = default;
};

// The network testers the monitoring store runs; by default the real ones over the default endpoints.
struct NetworkTestDependencies {
    std::shared_ptr<NetworkQualityTesting> qualityTester;
    std::shared_ptr<NetworkSpeedTesting> speedTester;

    NetworkTestDependencies();
    explicit NetworkTestDependencies(const NetworkTestConfiguration& configuration);
};

} // namespace kestrum
