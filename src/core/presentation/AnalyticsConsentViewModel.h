#pragma once

#include <QJSEngine>
#include <QObject>
#include <QQmlEngine>

namespace kestrum {

class ProductAnalyticsRuntime;

// The usage-data consent as the window offers it: asked once in the main window, changeable in the
// settings. Offered only where a collection endpoint is configured; elsewhere there is nothing to consent to
// and nothing is shown.
class AnalyticsConsentViewModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(AnalyticsConsent)
    QML_SINGLETON
    Q_PROPERTY(bool available READ available CONSTANT)
    Q_PROPERTY(bool consented READ consented NOTIFY changed)
    Q_PROPERTY(bool asking READ asking NOTIFY changed)

public:
    // Without a runtime (or without an endpoint) nothing is offered.
    explicit AnalyticsConsentViewModel(ProductAnalyticsRuntime* runtime, QObject* parent = nullptr);
    static AnalyticsConsentViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool available() const;
    bool consented() const;
    // The question waits for an answer for this privacy contract version.
    bool asking() const;

    // The main window's question.
    Q_INVOKABLE void accept();
    Q_INVOKABLE void decline();
    // The settings switch; switching off withdraws at once and drops what waits to be sent.
    Q_INVOKABLE void setConsented(bool consented);

Q_SIGNALS:
    void changed();

private:
    ProductAnalyticsRuntime* m_runtime;
};

} // namespace kestrum
