#pragma once

#include "PerformanceSession.h"
#include "ProcessorComparison.h"

namespace kestrum {

// The words of the session and comparison screens (Turkish; localised at display).
namespace PerformancePresentation {

QString phaseLabel(ProcessorComparisonPhase phase);
QString resultLabel(ProcessorComparisonResult result);
QString invalidReasonLabel(std::optional<ProcessorComparisonInvalidReason> reason);
QString actionLabel(ProcessorComparisonAction action);

// One session's figures, each "Kullanılamıyor" when nothing was measured.
struct SessionFigures {
    QString averageCPU, peakCPU, averageMemory, peakMemory, averageDownload, averageUpload, highestThermal,
        duration, samples, batteryChange;
};
SessionFigures figures(const PerformanceSession& session);

} // namespace PerformancePresentation

} // namespace kestrum
