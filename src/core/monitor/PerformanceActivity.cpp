#include "PerformanceActivity.h"

#include "ArchiveKeeper.h"
#include "MonitoringLoop.h"
#include "OperationFrame.h"

namespace kestrum {

PerformanceActivity::PerformanceActivity(Host host, QObject* parent)
    : QObject(parent), m_host(std::move(host)) {
    Q_ASSERT(m_host.keeper && m_host.loop && m_host.frame && m_host.dateProvider && m_host.idProvider);
    m_host.loop->addRider(SampleRider{[this](const SystemSnapshot& snapshot) { sampleKept(snapshot); },
                                      [this](const SystemSnapshot& snapshot, double started, double now) {
                                          continuityRecorded(snapshot, started, now);
                                      },
                                      [this] { interruptComparison(); }});
    // A test that starts takes the processor: the comparison no longer measures what it meant to.
    connect(m_host.frame, &OperationFrame::operationsChanged, this, [this] {
        if (m_host.frame->isAnyRunning())
            interruptComparison();
    });
    connect(m_host.keeper, &ArchiveKeeper::erased, this, &PerformanceActivity::sessionsChanged);
}

std::optional<PerformanceSession> PerformanceActivity::activeSession() const {
    const auto& sessions = m_host.keeper->archive().performanceSessions;
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
        if (it->isRunning())
            return *it;
    }
    return std::nullopt;
}

bool PerformanceActivity::startSession(const QString& name) {
    // Before the archive is loaded a session would be overwritten by it.
    if (!m_host.keeper->isPrepared() || activeSession())
        return false;
    PerformanceSession session =
        PerformanceSession::start(m_host.idProvider(), name, m_host.loop->currentSnapshot());
    m_host.keeper->commit(
        [&session](HealthArchive& archive) { archive.performanceSessions.push_back(session); });
    Q_EMIT sessionsChanged();
    return true;
}

bool PerformanceActivity::stopSession() {
    if (!activeSession())
        return false;
    const SystemSnapshot snapshot = m_host.loop->currentSnapshot();
    const Date now = m_host.dateProvider();
    m_host.keeper->commit([&](HealthArchive& archive) {
        for (auto it = archive.performanceSessions.rbegin(); it != archive.performanceSessions.rend(); ++it) {
            if (it->isRunning()) {
                it->finish(snapshot, now);
                break;
            }
        }
    });
    Q_EMIT sessionsChanged();
    return true;
}

void PerformanceActivity::sampleKept(const SystemSnapshot& snapshot) {
    if (!activeSession())
        return;
    bool counted = false;
    m_host.keeper->commit([&](HealthArchive& archive) {
        for (auto it = archive.performanceSessions.rbegin(); it != archive.performanceSessions.rend(); ++it) {
            if (it->isRunning()) {
                counted = it->record(snapshot);
                break;
            }
        }
    });
    if (counted)
        Q_EMIT sessionsChanged();
}

ProcessorComparison::Context PerformanceActivity::currentContext() const {
    return contextOf(m_host.loop->currentSnapshot());
}

ProcessorComparison::Context PerformanceActivity::contextOf(const SystemSnapshot& snapshot) const {
    ProcessorComparison::Context context;
    context.cores = static_cast<int>(snapshot.cpu.perCoreUsage.size());
    if (snapshot.battery.availability.isAvailable() && snapshot.battery.isPresent)
        context.power = snapshot.battery.isConnectedToPowerAdapter;
    context.interval = m_host.loop->sampleInterval();
    return context;
}

bool PerformanceActivity::mayCompare() const {
    return m_host.loop->isMonitoring() && !m_host.loop->isSleeping() && !m_host.frame->isAnyRunning();
}

void PerformanceActivity::setComparison(const ProcessorComparison& next) {
    if (next == m_comparison)
        return;
    m_comparison = next;
    Q_EMIT comparisonChanged();
}

bool PerformanceActivity::startComparison() {
    if (!mayCompare() || !m_host.loop->hasMeasurement())
        return false;
    ProcessorComparison next;
    next.start(m_host.idProvider(), currentContext(), m_host.loop->continuityClock());
    setComparison(next);
    return next.phase == ProcessorComparisonPhase::baseline;
}

bool PerformanceActivity::beginComparisonAfterWindow() {
    ProcessorComparison next = m_comparison;
    if (!mayCompare()) {
        next.interrupt();
        setComparison(next);
        return false;
    }
    const bool began = next.beginAfterWindow(m_host.loop->continuityClock());
    setComparison(next);
    return began;
}

void PerformanceActivity::dismissComparison() {
    setComparison(ProcessorComparison{});
}

void PerformanceActivity::interruptComparison() {
    // A finished comparison keeps its result: what happens afterwards does not change the two windows.
    if (!m_comparison.isActive())
        return;
    ProcessorComparison next = m_comparison;
    next.interrupt();
    setComparison(next);
}

void PerformanceActivity::continuityRecorded(const SystemSnapshot& snapshot, double started, double now) {
    if (!m_comparison.isActive())
        return;
    ProcessorComparison next = m_comparison;
    next.receive(snapshot, contextOf(snapshot), started, now, m_host.dateProvider(),
                 !m_host.machineOffersThermalSignal || m_host.machineOffersThermalSignal());
    setComparison(next);
}

std::optional<ProcessorComparisonRecord>
PerformanceActivity::comparisonRecord(ProcessorComparisonAction action) const {
    return m_comparison.record(action, m_host.dateProvider());
}

} // namespace kestrum
