#include "OperationViewModel.h"

#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

OperationViewModel::OperationViewModel(SystemMonitorStore& store, UserOperation operation, QObject* parent)
    : QObject(parent), m_store(store), m_operation(operation) {
    // The refusal depends on the other operations, the battery, the network and the cooldown.
    for (auto signal : {&SystemMonitorStore::operationsChanged, &SystemMonitorStore::currentSnapshotChanged,
                        &SystemMonitorStore::intensiveTestCooldownUntilChanged})
        connect(&store, signal, this, &OperationViewModel::update);
    update();
}

void OperationViewModel::cancel() {
    if (!m_running)
        return;
    m_cancelRequested = true;
    m_store.cancelOperation(m_operation);
    Q_EMIT changed();
}

void OperationViewModel::update() {
    const bool running = m_store.isRunning(m_operation);
    std::optional<double> fraction;
    QString phase;
    if (const std::optional<OperationProgress>& progress = m_store.progress(m_operation);
        running && progress) {
        if (progress->fraction && std::isfinite(*progress->fraction))
            fraction = std::clamp(*progress->fraction, 0.0, 1.0);
        phase = L10n::localizedFragment(progress->phase);
    }
    const QString progressText = fraction ? MetricFormatting::percentage(fraction, 0) : QString();
    const QString error = L10n::localizedFragment(m_store.operationError(m_operation));
    const QString refusal = running ? QString() : L10n::localizedFragment(m_store.refusalReason(m_operation));
    const bool cancelRequested = running && m_cancelRequested;
    if (running == m_running && fraction == m_fraction && progressText == m_progressText &&
        phase == m_phase && error == m_error && refusal == m_refusal && cancelRequested == m_cancelRequested)
        return;
    m_running = running;
    m_fraction = fraction;
    m_progressText = progressText;
    m_phase = phase;
    m_error = error;
    m_refusal = refusal;
    m_cancelRequested = cancelRequested;
    Q_EMIT changed();
}

} // namespace kestrum
