#pragma once

#include "foundation/Date.h"
#include "history/HealthArchive.h"
#include "measurement/SystemSnapshot.h"

#include <QMetaType>
#include <QString>
#include <any>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stop_token>

namespace kestrum {

// Applies a finished operation's typed result to the archive. The frame calls it only when the work
// finished without cancellation, then persists: a cancelled operation stores nothing by construction.
using ArchiveCommit = std::function<void(HealthArchive&)>;

// Where a running operation stands, as every test section shows it.
struct OperationProgress {
    std::optional<double> fraction; // 0...1 when known
    QString phase;                  // Turkish text of the phase or step, localised at display
    int step = 0;                   // "step k of n"; 0 when meaningless
    int stepCount = 0;
    double elapsedSeconds = 0;
    std::optional<double> estimatedTotalSeconds;
    std::any detail; // the operation's own progress record
};
using ProgressReporter = std::function<void(OperationProgress)>;

// What an operation's work may ask of the store while it runs (main thread only).
class OperationContext {
public:
    virtual ~OperationContext() = default;
    virtual const SystemSnapshot& currentSnapshot() const = 0;
    // A sample now, through the store's shared refresh; nullopt when sampling failed.
    virtual QCoro::Task<std::optional<SystemSnapshot>> freshSnapshot() = 0;
    // The persisted lists as they are now (earlier results to compare with).
    virtual const HealthArchive& archive() const = 0;
    virtual Date now() const = 0;
    // False on machines that offer no thermal signal at all (virtual machines, hardware whose kernel
    // exposes none): heavy tests run there and carry a warning that thermal protection was not possible.
    virtual bool machineOffersThermalSignal() const = 0;
};

// An operation's work: runs on the main thread as a coroutine, awaits work done on its own threads,
// checks the token at every batch and throws CancellationError when cancelled, throws KestrumError with
// its own text on failure, reports progress, and returns the commit of its typed result.
using OperationWork =
    std::function<QCoro::Task<ArchiveCommit>(OperationContext&, std::stop_token, ProgressReporter)>;

} // namespace kestrum

Q_DECLARE_METATYPE(kestrum::OperationProgress)
