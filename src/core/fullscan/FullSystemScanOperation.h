#pragma once

#include "FullSystemScanComponentRunning.h"
#include "FullSystemScanReportBuilder.h"
#include "monitor/OperationContext.h"

#include <QUuid>
#include <functional>
#include <memory>

namespace kestrum {

// The full system scan as a user-started operation: hardware and the current assessment, the quick and
// the deep test, the network checks when included, the on-device explanation when available, then one
// result. A failing check becomes a failed component and the chain goes on; only cancellation ends it,
// and then nothing is stored.
class FullSystemScanOperation {
public:
    struct Options {
        bool includeNetworkTests = false;
        // The internet speed test moves up to ~155 MB: only with the network tests and the user's consent.
        bool includeInternetSpeed = true;
        FullSystemScanReportBuilder builder;
        std::function<QUuid()> idProvider;
        // Called on the main thread once the result has been added to the archive (never when cancelled).
        std::function<void(const FullSystemScanResult&)> onStored;
    };

    // The expected seconds of each phase; together the scan's estimated 545 seconds. They weigh the
    // progress bar's fraction.
    static double phaseWeight(FullSystemScanPhase phase);

    static OperationWork work(std::shared_ptr<FullSystemScanComponentRunning> runner, Options options);
    // `phaseFraction` is how far the current phase got (0...1).
    static OperationProgress progress(const FullSystemScanProgress& progress, double phaseFraction,
                                      double elapsedSeconds);
    // The archive keeps the newest results up to this many.
    static void append(std::vector<QJsonObject>& stored, const FullSystemScanResult& result);
};

} // namespace kestrum
