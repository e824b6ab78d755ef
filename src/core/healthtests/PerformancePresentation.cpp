#include "PerformancePresentation.h"

#include "foundation/Translatable.h"
#include "measurement/MetricFormatting.h"
#include "measurement/SnapshotPresentation.h"

namespace kestrum::PerformancePresentation {

QString phaseLabel(ProcessorComparisonPhase phase) {
    switch (phase) {
    case ProcessorComparisonPhase::idle:
        return trText("Başlatılmadı");
    case ProcessorComparisonPhase::baseline:
        return trText("Başlangıç ölçülüyor");
    case ProcessorComparisonPhase::awaitingAction:
        return trText("Değişikliğini bekliyor");
    case ProcessorComparisonPhase::measuring:
        return trText("Sonrası ölçülüyor");
    case ProcessorComparisonPhase::finished:
        return trText("Tamamlandı");
    case ProcessorComparisonPhase::invalid:
        break;
    }
    return trText("Geçersiz");
}

QString resultLabel(ProcessorComparisonResult result) {
    switch (result) {
    case ProcessorComparisonResult::lower:
        return trText("İşlemci yükü azaldı");
    case ProcessorComparisonResult::similar:
        return trText("İşlemci yükü benzer");
    case ProcessorComparisonResult::higher:
        break;
    }
    return trText("İşlemci yükü arttı");
}

QString invalidReasonLabel(std::optional<ProcessorComparisonInvalidReason> reason) {
    switch (reason.value_or(ProcessorComparisonInvalidReason::interrupted)) {
    case ProcessorComparisonInvalidReason::measurementGap:
        return trText("Ölçümler zamanında gelmedi");
    case ProcessorComparisonInvalidReason::conditionsChanged:
        return trText("Koşullar değişti");
    case ProcessorComparisonInvalidReason::invalidSample:
        return trText("Kullanılamayan ölçüm");
    case ProcessorComparisonInvalidReason::interrupted:
        break;
    }
    return trText("Ölçüm kesildi");
}

QString actionLabel(ProcessorComparisonAction action) {
    switch (action) {
    case ProcessorComparisonAction::unspecified:
        return trText("Belirtilmedi");
    case ProcessorComparisonAction::observedOnly:
        return trText("Yalnız gözlendi");
    case ProcessorComparisonAction::pausedKnownTask:
        break;
    }
    return trText("Bilinen bir iş duraklatıldı");
}

SessionFigures figures(const PerformanceSession& session) {
    using namespace MetricFormatting;
    SessionFigures f;
    f.averageCPU = percentage(session.averageCPUUsage());
    f.peakCPU = percentage(session.peakCPUUsage);
    f.averageMemory = percentage(session.averageMemoryUsage());
    f.peakMemory = percentage(session.peakMemoryUsage);
    f.averageDownload = rate(session.averageDownloadBytesPerSecond());
    f.averageUpload = rate(session.averageUploadBytesPerSecond());
    f.highestThermal = SnapshotPresentation::thermalLevelLabel(session.highestThermalLevel);
    const Date end = session.endedAt.value_or(session.lastRecordedAt.value_or(session.startedAt));
    f.duration = duration(end.secondsSince(session.startedAt));
    f.samples = trTemplate("\\(count) ölçüm", {QString::number(session.sampleCount)});
    f.batteryChange = percentagePointDelta(session.batteryChange());
    return f;
}

} // namespace kestrum::PerformancePresentation
