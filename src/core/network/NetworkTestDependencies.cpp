#include "NetworkTestDependencies.h"

#include "CurlNetworkQualityTester.h"
#include "CurlNetworkSpeedTester.h"
#include "foundation/PreferencesStore.h"

namespace kestrum {

namespace {

QUrl withPath(QUrl base, const QString& leaf) {
    QString path = base.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    base.setPath(path + leaf);
    base.setQuery(QString());
    return base;
}

} // namespace

QUrl NetworkTestConfiguration::defaultQualityEndpoint() {
    return QUrl(QStringLiteral("https://www.apple.com/library/test/success.html"));
}

QUrl NetworkTestConfiguration::defaultSpeedBase() {
    return QUrl(QStringLiteral("https://speed.cloudflare.com"));
}

QUrl NetworkTestConfiguration::speedDownloadEndpoint() const {
    return withPath(speedBase, QStringLiteral("/__down"));
}

QUrl NetworkTestConfiguration::speedUploadEndpoint() const {
    return withPath(speedBase, QStringLiteral("/__up"));
}

NetworkTestConfiguration NetworkTestConfiguration::fromPreferences(const PreferencesStore& preferences) {
    NetworkTestConfiguration configuration;
    const auto text = [&](const QString& key) -> std::optional<QString> {
        const auto value = preferences.textValue(key);
        if (!value || value->trimmed().isEmpty())
            return std::nullopt;
        return value->trimmed();
    };
    if (const auto quality = text(qualityEndpointKey))
        configuration.qualityEndpoint = QUrl(*quality);
    if (const auto speed = text(speedEndpointKey))
        configuration.speedBase = QUrl(*speed);
    configuration.caBundleFile = text(caBundleFileKey);
    return configuration;
}

NetworkTestDependencies::NetworkTestDependencies() : NetworkTestDependencies(NetworkTestConfiguration{}) {}

NetworkTestDependencies::NetworkTestDependencies(const NetworkTestConfiguration& configuration) {
    CurlNetworkQualityTester::Options quality;
    quality.caBundleFile = configuration.caBundleFile;
    qualityTester = std::make_shared<CurlNetworkQualityTester>(configuration.qualityEndpoint, quality);
    CurlNetworkSpeedTester::Options speed;
    speed.caBundleFile = configuration.caBundleFile;
    speedTester = std::make_shared<CurlNetworkSpeedTester>(configuration.speedDownloadEndpoint(),
                                                           configuration.speedUploadEndpoint(), speed);
}

} // namespace kestrum
