#pragma once

#include "foundation/Clocks.h"
#include "healthtests/PerformanceSession.h"
#include "healthtests/ProcessorComparison.h"

#include <QObject>
#include <QUuid>
#include <functional>
#include <optional>

namespace kestrum {

class ArchiveKeeper;
class MonitoringLoop;
class OperationFrame;
struct SampleRider;

// The store's side of the performance sessions and the processor comparison: the running session takes
// every live sample into its totals (it lives in the archive's list), and the comparison in progress
// (in memory only) takes the samples of the observation continuity. Main thread.
class PerformanceActivity : public QObject {
    Q_OBJECT
public:
    struct Host {
        ArchiveKeeper* keeper = nullptr;
        MonitoringLoop* loop = nullptr;
        OperationFrame* frame = nullptr;
        DateProvider dateProvider;
        std::function<QUuid()> idProvider;
        // False on machines without any thermal reading.
        std::function<bool()> machineOffersThermalSignal;
    };
    explicit PerformanceActivity(Host host, QObject* parent = nullptr);

    std::optional<PerformanceSession> activeSession() const;
    // Starts a session from the current snapshot; false while one runs.
    bool startSession(const QString& name);
    // Ends the running session with the current snapshot; false when none runs.
    bool stopSession();

    const ProcessorComparison& comparison() const { return m_comparison; }
    // The conditions of the current snapshot: per-core readings, the power adapter, the interval.
    ProcessorComparison::Context currentContext() const;
    // Starts the baseline window; refused (false) unless monitoring runs, the machine is awake and no
    // user-started test runs.
    bool startComparison();
    // The user's action is done: the after window begins. Under the conditions above only; otherwise a
    // comparison in progress becomes interrupted.
    bool beginComparisonAfterWindow();
    void dismissComparison();
    // The record saving would write now (finished or invalid comparisons only).
    std::optional<ProcessorComparisonRecord> comparisonRecord(ProcessorComparisonAction action) const;

Q_SIGNALS:
    void sessionsChanged();
    void comparisonChanged();

private:
    bool mayCompare() const;
    ProcessorComparison::Context contextOf(const SystemSnapshot& snapshot) const;
    void sampleKept(const SystemSnapshot& snapshot);
    void continuityRecorded(const SystemSnapshot& snapshot, double started, double now);
    void interruptComparison();
    void setComparison(const ProcessorComparison& next);

    Host m_host;
    ProcessorComparison m_comparison;
};

} // namespace kestrum
