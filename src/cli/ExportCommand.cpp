#include "Commands.h"
#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "history/HealthArchive.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "metrics/HealthEventTotals.h"
#include "metrics/MonitorMetricsSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kestrum::cli {

// For machines that already run node_exporter: the same page as a running monitor's, written atomically
// into the textfile collector's folder.
int runExport(Arguments& arguments) {
    const auto folder = arguments.takeOption(QStringLiteral("--textfile"));
    const QStringList words = arguments.positionals();
    if (words != QStringList{QStringLiteral("prometheus")} || !folder)
        throw UsageError{trText("export için prometheus --textfile KLASÖR gerekiyor.")};
    if (!QFileInfo(*folder).isDir())
        return fail(trTemplate("Klasör bulunamadı: \\(path)", {*folder}));

    MonitorMetricsInput input;
    const auto snapshot = takeMachineSnapshot(1);
    if (!snapshot)
        return ExitCode::interrupted;
    input.snapshot = *snapshot;
    input.assessment = HealthAssessmentEngine::assess(*snapshot);
    try {
        const HealthArchive archive = loadArchiveForReading();
        const PersonalBaseline baseline = PersonalBaselineEngine::makeBaseline(
            archive.samples, snapshot->timestamp, PersonalBaselineEngine::kLookbackSeconds);
        input.baseline = baseline;
        input.insights = HealthInsightEngine::insights(*snapshot, baseline);
        addLatestResults(input, archive);
        // Counted here without saving: the totals file belongs to the monitor that holds the folder.
        HealthEventTotals totals(KestrumPaths::metricsTotalsFile());
        totals.count(archive.events, false);
        input.eventTotals = totals.totals();
    } catch (const KestrumError& error) {
        printError(QStringLiteral("kestrum-cli: ") + error.description());
        input.insights = HealthInsightEngine::insights(*snapshot, PersonalBaseline::empty());
    }
    const QString path = QDir(*folder).filePath(QStringLiteral("kestrum.prom"));
    writeFileAtomically(path, monitorMetricsPage(input).render(ExpositionFormat::prometheusText));
    // node_exporter usually runs as another user: the page must be readable by it.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return ExitCode::success;
}

} // namespace kestrum::cli
