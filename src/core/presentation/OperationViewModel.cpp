#include "OperationViewModel.h"

#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QJsonObject>
#include <cmath>

namespace kestrum {

namespace {

// What the store's progress value says: a bare share, or a record with a share and a phase text.
struct Progress {
    std::optional<double> fraction;
    QString phase;
};

Progress progressOf(const QVariant& value) {
    Progress p;
    if (!value.isValid())
        return p;
    QVariantMap record;
    if (value.typeId() == QMetaType::QVariantMap)
        record = value.toMap();
    else if (value.typeId() == QMetaType::QJsonObject)
        record = value.toJsonObject().toVariantMap();
    const QVariant share = record.isEmpty() ? value : record.value(QStringLiteral("fraction"));
    bool ok = false;
    const double fraction = share.toDouble(&ok);
    if (ok && std::isfinite(fraction) && share.typeId() != QMetaType::QString)
        p.fraction = std::clamp(fraction, 0.0, 1.0);
    p.phase = record.value(QStringLiteral("phase")).toString();
    return p;
}

} // namespace

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
    const Progress progress = running ? progressOf(m_store.operationProgress(m_operation)) : Progress{};
    const QString progressText =
        progress.fraction ? MetricFormatting::percentage(progress.fraction, 0) : QString();
    const QString phase = L10n::localizedFragment(progress.phase);
    const QString error = L10n::localizedFragment(m_store.operationError(m_operation));
    const QString refusal = running ? QString() : L10n::localizedFragment(m_store.refusalReason(m_operation));
    const bool cancelRequested = running && m_cancelRequested;
    if (running == m_running && progress.fraction == m_fraction && progressText == m_progressText &&
        phase == m_phase && error == m_error && refusal == m_refusal && cancelRequested == m_cancelRequested)
        return;
    m_running = running;
    m_fraction = progress.fraction;
    m_progressText = progressText;
    m_phase = phase;
    m_error = error;
    m_refusal = refusal;
    m_cancelRequested = cancelRequested;
    Q_EMIT changed();
}

} // namespace kestrum
