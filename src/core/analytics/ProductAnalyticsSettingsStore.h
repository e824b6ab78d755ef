#pragma once

#include <QObject>

namespace kestrum {

class ProductAnalyticsRuntime;

// What the window binds to: whether to ask the consent question (once, and only where an endpoint is
// configured), the settings switch, and the answers. Lives on the main thread; the runtime outlives it.
class ProductAnalyticsSettingsStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAvailable READ isAvailable CONSTANT)
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY consentChanged)
    Q_PROPERTY(bool shouldAskForConsent READ shouldAskForConsent NOTIFY consentChanged)
    Q_PROPERTY(int privacyContractVersion READ privacyContractVersion CONSTANT)

public:
    explicit ProductAnalyticsSettingsStore(ProductAnalyticsRuntime& runtime, QObject* parent = nullptr);

    bool isAvailable() const;
    bool isEnabled() const;
    bool shouldAskForConsent() const;
    int privacyContractVersion() const;

    // The answer to the question shown after the first result.
    Q_INVOKABLE void answerConsentQuestion(bool accepted);
    // The switch in the settings window.
    Q_INVOKABLE void setEnabled(bool enabled);
    // The main window was shown, the tray menu opened: "active_day" once a day for each.
    Q_INVOKABLE void noteMainWindowActive();
    Q_INVOKABLE void noteMenuBarActive();

Q_SIGNALS:
    void consentChanged();

private:
    ProductAnalyticsRuntime& m_runtime;
};

} // namespace kestrum
