#include "ProductAnalyticsSettingsStore.h"

#include "ProductAnalyticsRuntime.h"

namespace kestrum {

ProductAnalyticsSettingsStore::ProductAnalyticsSettingsStore(ProductAnalyticsRuntime& runtime,
                                                             QObject* parent)
    : QObject(parent), m_runtime(runtime) {}

bool ProductAnalyticsSettingsStore::isAvailable() const {
    return m_runtime.isAvailable();
}

bool ProductAnalyticsSettingsStore::isEnabled() const {
    return m_runtime.consent().allowsRemoteAnalytics;
}

bool ProductAnalyticsSettingsStore::shouldAskForConsent() const {
    return m_runtime.shouldAskForConsent();
}

int ProductAnalyticsSettingsStore::privacyContractVersion() const {
    return m_runtime.privacyContractVersion();
}

void ProductAnalyticsSettingsStore::answerConsentQuestion(bool accepted) {
    if (!isAvailable())
        return;
    if (accepted)
        m_runtime.optIn(ProductAnalyticsConsentSource::firstValuePrompt);
    else
        m_runtime.optOut(ProductAnalyticsConsentSource::firstValuePrompt);
    Q_EMIT consentChanged();
}

void ProductAnalyticsSettingsStore::setEnabled(bool enabled) {
    if (!isAvailable() || enabled == isEnabled())
        return;
    if (enabled)
        m_runtime.optIn(ProductAnalyticsConsentSource::settings);
    else
        m_runtime.optOut(ProductAnalyticsConsentSource::settings);
    Q_EMIT consentChanged();
}

void ProductAnalyticsSettingsStore::noteMainWindowActive() {
    m_runtime.recordActiveDay(ProductAnalyticsSurface::mainWindow);
}

void ProductAnalyticsSettingsStore::noteMenuBarActive() {
    m_runtime.recordActiveDay(ProductAnalyticsSurface::menuBar);
}

} // namespace kestrum
