#pragma once

#include "monitor/SystemMonitorStore.h"

#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>

namespace kestrum {

// One user-started operation as every test section shows it: whether it runs, how far it is, why it
// may not start now, what went wrong last time, and a way to cancel it. The section that owns the
// operation starts it through its own view model; this one only follows the store's frame.
class OperationViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Operations are made by the section view models.")
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY changed)
    Q_PROPERTY(bool hasFraction READ hasFraction NOTIFY changed)
    Q_PROPERTY(qreal fraction READ fraction NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    Q_PROPERTY(QString phase READ phase NOTIFY changed)
    Q_PROPERTY(QString error READ error NOTIFY changed)
    Q_PROPERTY(QString refusal READ refusal NOTIFY changed)
    Q_PROPERTY(bool canStart READ canStart NOTIFY changed)
    Q_PROPERTY(bool canCancel READ canCancel NOTIFY changed)

public:
    OperationViewModel(SystemMonitorStore& store, UserOperation operation, QObject* parent = nullptr);

    UserOperation operation() const { return m_operation; }
    bool isRunning() const { return m_running; }
    bool hasFraction() const { return m_fraction.has_value(); }
    qreal fraction() const { return m_fraction.value_or(0); }
    // "%42" while the share is known; empty otherwise.
    QString progressText() const { return m_progressText; }
    QString phase() const { return m_phase; }
    QString error() const { return m_error; }
    QString refusal() const { return m_refusal; }
    bool canStart() const { return !m_running && m_refusal.isEmpty(); }
    bool canCancel() const { return m_running && !m_cancelRequested; }

    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void changed();

private:
    void update();

    SystemMonitorStore& m_store;
    UserOperation m_operation;
    bool m_running = false;
    bool m_cancelRequested = false;
    std::optional<double> m_fraction;
    QString m_progressText;
    QString m_phase;
    QString m_error;
    QString m_refusal;
};

} // namespace kestrum
