#include "AnalyticsConsentViewModel.h"

#include "ViewModelInstances.h"
#include "analytics/ProductAnalyticsRuntime.h"

namespace kestrum {

AnalyticsConsentViewModel::AnalyticsConsentViewModel(ProductAnalyticsRuntime* runtime, QObject* parent)
    : QObject(parent), m_runtime(runtime) {}

AnalyticsConsentViewModel* AnalyticsConsentViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<AnalyticsConsentViewModel>(engine);
}

bool AnalyticsConsentViewModel::available() const {
    return m_runtime && m_runtime->isAvailable();
}

bool AnalyticsConsentViewModel::consented() const {
    return available() && m_runtime->consent().allowsRemoteAnalytics;
}

bool AnalyticsConsentViewModel::asking() const {
    return m_runtime && m_runtime->shouldAskForConsent();
}

void AnalyticsConsentViewModel::accept() {
    if (!asking())
        return;
    m_runtime->optIn(ProductAnalyticsConsentSource::firstValuePrompt);
    Q_EMIT changed();
}

void AnalyticsConsentViewModel::decline() {
    if (!asking())
        return;
    m_runtime->optOut(ProductAnalyticsConsentSource::firstValuePrompt);
    Q_EMIT changed();
}

void AnalyticsConsentViewModel::setConsented(bool consented) {
    if (!available() || consented == this->consented())
        return;
    if (consented)
        m_runtime->optIn(ProductAnalyticsConsentSource::settings);
    else
        m_runtime->optOut(ProductAnalyticsConsentSource::settings);
    Q_EMIT changed();
}

} // namespace kestrum
