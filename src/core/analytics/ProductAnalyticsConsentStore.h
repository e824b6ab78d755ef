#pragma once

#include "foundation/PreferencesStore.h"

#include <QUuid>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace kestrum {

struct ProductAnalyticsConsentSnapshot {
    bool allowsRemoteAnalytics = false;
    std::optional<QUuid> anonymousInstallationID;
    bool operator==(const ProductAnalyticsConsentSnapshot&) const = default;
};

// The user's answer to the analytics question, kept in the preferences. Remote analytics is allowed only
// with explicit consent, for the current privacy contract version, and with an installation identifier
// (random, made when the user opts in; it names no machine and no person). Safe from any thread.
class ProductAnalyticsConsentStore {
public:
    static const QString kExplicitConsentKey; // "Kestrum.analytics.explicitConsent"
    static const QString
        kAcceptedPrivacyContractVersionKey;           // "Kestrum.analytics.acceptedPrivacyContractVersion"
    static const QString kAnonymousInstallationIDKey; // "Kestrum.analytics.anonymousInstallationID"

    // The preferences as they are saved right now, read anew (another Kestrum process may have changed
    // them since `preferences` was loaded).
    using SavedPreferencesReader = std::function<std::unique_ptr<PreferencesStore>()>;

    ProductAnalyticsConsentStore(PreferencesStore& preferences, int privacyContractVersion,
                                 SavedPreferencesReader readSaved = {});

    ProductAnalyticsConsentSnapshot snapshot() const;
    // Reads the saved answer again and answers the snapshot it gives.
    ProductAnalyticsConsentSnapshot reload();
    void optIn(const QUuid& installationID);
    // Removes the consent and the installation identifier; the answer "no" stays, so the question is not
    // asked again.
    void optOut();
    // Whether the user answered for the current contract version: a "no", or a "yes" to this version.
    bool hasAnswered() const;
    int privacyContractVersion() const { return m_version; }

private:
    struct State {
        ProductAnalyticsConsentSnapshot snapshot;
        bool answered = false;
    };
    State read(const PreferencesStore& preferences) const;

    PreferencesStore& m_preferences;
    const int m_version;
    SavedPreferencesReader m_readSaved;
    mutable std::mutex m_mutex;
    State m_state;
};

} // namespace kestrum
