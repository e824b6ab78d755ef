#include "ProductAnalyticsConsentStore.h"

#include "foundation/Uuid.h"

namespace kestrum {

const QString ProductAnalyticsConsentStore::kExplicitConsentKey =
    QStringLiteral("Kestrum.analytics.explicitConsent");
const QString ProductAnalyticsConsentStore::kAcceptedPrivacyContractVersionKey =
    QStringLiteral("Kestrum.analytics.acceptedPrivacyContractVersion");
const QString ProductAnalyticsConsentStore::kAnonymousInstallationIDKey =
    QStringLiteral("Kestrum.analytics.anonymousInstallationID");

ProductAnalyticsConsentStore::ProductAnalyticsConsentStore(PreferencesStore& preferences,
                                                           int privacyContractVersion,
                                                           SavedPreferencesReader readSaved)
    : m_preferences(preferences), m_version(privacyContractVersion), m_readSaved(std::move(readSaved)) {
    m_state = read(m_preferences);
}

ProductAnalyticsConsentStore::State
ProductAnalyticsConsentStore::read(const PreferencesStore& preferences) const {
    State state;
    const std::optional<bool> consent = preferences.boolValue(kExplicitConsentKey);
    const std::optional<double> version = preferences.numberValue(kAcceptedPrivacyContractVersionKey);
    const std::optional<QString> idText = preferences.textValue(kAnonymousInstallationIDKey);
    const std::optional<QUuid> id = idText ? uuidFromText(*idText) : std::nullopt;
    const bool currentVersion = version && *version == double(m_version);
    state.snapshot.anonymousInstallationID = id && !id->isNull() ? id : std::nullopt;
    state.snapshot.allowsRemoteAnalytics =
        consent == true && currentVersion && state.snapshot.anonymousInstallationID.has_value();
    state.answered = consent == false || (consent == true && currentVersion);
    return state;
}

ProductAnalyticsConsentSnapshot ProductAnalyticsConsentStore::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_state.snapshot;
}

bool ProductAnalyticsConsentStore::hasAnswered() const {
    std::lock_guard lock(m_mutex);
    return m_state.answered;
}

ProductAnalyticsConsentSnapshot ProductAnalyticsConsentStore::reload() {
    std::lock_guard lock(m_mutex);
    if (m_readSaved) {
        if (const std::unique_ptr<PreferencesStore> saved = m_readSaved())
            m_state = read(*saved);
    } else {
        m_state = read(m_preferences);
    }
    return m_state.snapshot;
}

void ProductAnalyticsConsentStore::optIn(const QUuid& installationID) {
    std::lock_guard lock(m_mutex);
    m_preferences.setValue(kExplicitConsentKey, true);
    m_preferences.setValue(kAcceptedPrivacyContractVersionKey, double(m_version));
    m_preferences.setValue(kAnonymousInstallationIDKey, uuidText(installationID));
    m_state = read(m_preferences);
}

void ProductAnalyticsConsentStore::optOut() {
    std::lock_guard lock(m_mutex);
    m_preferences.setValue(kExplicitConsentKey, false);
    m_preferences.remove(kAcceptedPrivacyContractVersionKey);
    m_preferences.remove(kAnonymousInstallationIDKey);
    m_state = read(m_preferences);
}

} // namespace kestrum
