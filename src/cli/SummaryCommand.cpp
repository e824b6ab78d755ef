#include "CliSupport.h"
#include "Commands.h"
#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "history/HealthArchive.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "summary/FirstHealthSummaryBuilder.h"
#include "summary/FirstHealthSummaryInputFactory.h"
#include "summary/FirstHealthSummaryPresentationPolicy.h"

namespace kestrum::cli {

namespace {

QString tr(const QString& turkish) {
    return L10n::string(turkish);
}

// A short mark before each evidence area: covered, partly covered, not needed here, or missing.
QString coverageMark(FirstHealthSummaryCoverageStatus status) {
    switch (status) {
    case FirstHealthSummaryCoverageStatus::checked:
        return QStringLiteral("✓");
    case FirstHealthSummaryCoverageStatus::partiallyChecked:
        return QStringLiteral("◐");
    case FirstHealthSummaryCoverageStatus::notApplicable:
        return QStringLiteral("–");
    default:
        return QStringLiteral("✗");
    }
}

} // namespace

int runSummary(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const double interval = arguments.takeNumber(QStringLiteral("--interval"), 0.1, 60).value_or(1.0);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("summary konumsal argüman almaz.")};

    const std::optional<SystemSnapshot> snapshot = takeMachineSnapshot(interval);
    if (!snapshot)
        return ExitCode::interrupted;

    // Without a readable archive the summary still stands on the live sample; the stored tests then count
    // as not run, never as passed.
    HealthArchive archive;
    try {
        archive = loadArchiveForReading();
    } catch (const KestrumError& error) {
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error.description()));
    }
    const Date now = Date::now();
    const PersonalBaseline baseline =
        PersonalBaselineEngine::makeBaseline(archive.samples, now, PersonalBaselineEngine::kLookbackSeconds);

    FirstHealthSummaryEvidence evidence;
    evidence.currentSnapshot = snapshot;
    evidence.quickTestResults = archive.healthTestResults;
    evidence.latestNetworkQualityResult = archive.latestNetworkQualityResult;
    evidence.activeInsights = HealthInsightEngine::insights(*snapshot, baseline);
    evidence.storedEvents = archive.events;
    evidence.baselineConfidence = baseline.confidence;

    const FirstHealthSummaryBuilder builder;
    const FirstHealthSummary summary =
        builder.build(FirstHealthSummaryInputFactory::makeInput(evidence, now, builder.policy()));
    if (asJson) {
        printJson(firstHealthSummaryToJson(summary));
        return ExitCode::success;
    }

    const FirstHealthSummaryPresentation presentation =
        FirstHealthSummaryPresentationPolicy::resolve(summary);
    printHeading(L10n::string(
        trTemplate("Kestrum ilk sağlık özeti · \\(date)",
                   {L10n::date(summary.generatedAt, L10n::DateStyle::numeric, L10n::TimeStyle::standard)})));
    printLine(tr(presentation.headline));
    printLine(tr(presentation.explanation));
    printLine(tr(presentation.confidenceText));
    printLine();
    printLine(tr(trText("Kanıt alanları")));
    for (const FirstHealthSummaryCoveragePresentation& item : presentation.coverage)
        printLine(QStringLiteral("  %1 %2").arg(coverageMark(item.status), tr(item.text)));
    printLine();
    printLine(tr(trText("Bulgular")));
    if (presentation.findings.empty())
        printLine(QStringLiteral("  ") + tr(trText("Öne çıkan bir bulgu yok.")));
    int position = 0;
    for (const FirstHealthSummaryFindingPresentation& finding : presentation.findings) {
        printLine(QStringLiteral("  %1. %2").arg(++position).arg(tr(finding.title)));
        printLine(QStringLiteral("     ") + tr(finding.explanation));
    }
    printLine();
    printLine(L10n::string(trTemplate("Sonraki adım: \\(action)", {tr(presentation.nextActionText)})));
    return ExitCode::success;
}

} // namespace kestrum::cli
