#include "CliSupport.h"
#include "Commands.h"
#include "foundation/AtomicFile.h"
#include "foundation/JsonCodec.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "history/FileHealthArchiveRepository.h"
#include "interpretation/HealthAssessmentEngine.h"
#include "interpretation/HealthInsightEngine.h"
#include "interpretation/HealthPresentation.h"
#include "interpretation/InterpretationJson.h"
#include "interpretation/PersonalBaselineEngine.h"
#include "localisation/L10n.h"
#include "measurement/MeasurementJson.h"
#include "measurement/MetricFormatting.h"

#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

void printList(const QString& heading, const std::vector<QString>& items) {
    if (items.empty())
        return;
    printLine(heading);
    for (const QString& item : items)
        printLine(QStringLiteral("  • ") + L10n::localizedFragment(item));
    printLine();
}

} // namespace

HealthArchive loadArchiveForReading() {
    try {
        return FileHealthArchiveRepository(KestrumPaths::archiveFile()).loadNow();
    } catch (const KestrumError& error) {
        throw KestrumError(error.code(), trTemplate("Kalıcı sağlık geçmişi açılamadı: \\(description)",
                                                    {error.description()}));
    }
}

int runHealth(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const auto snapshotFile = arguments.takeOption(QStringLiteral("--snapshot"));
    const double interval = arguments.takeNumber(QStringLiteral("--interval"), 0.1, 60).value_or(1.0);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("health konumsal argüman almaz.")};

    SystemSnapshot snapshot;
    if (snapshotFile) {
        try {
            const auto bytes = readFileIfExists(*snapshotFile, 16 * 1024 * 1024);
            if (!bytes)
                return fail(trTemplate("Anlık ölçüm dosyası bulunamadı: \\(path)", {*snapshotFile}));
            snapshot = snapshotFromJson(json::parseDocument(*bytes));
        } catch (const KestrumError& error) {
            return fail(trTemplate("Anlık ölçüm dosyası okunamadı: \\(description)", {error.description()}));
        }
    } else {
        const std::optional<SystemSnapshot> taken = takeMachineSnapshot(interval);
        if (!taken)
            return ExitCode::interrupted;
        snapshot = *taken;
    }

    // The verdict stands on fixed limits; without a readable archive only the personal comparison is missing.
    const PersonalBaseline baseline = baselineFromArchiveOrEmpty();

    const HealthAssessment assessment = HealthAssessmentEngine::assess(snapshot);
    const std::vector<HealthInsight> insights = HealthInsightEngine::insights(snapshot, baseline);
    if (asJson) {
        printJson(QJsonObject{{QStringLiteral("assessment"), assessmentToJson(assessment)},
                              {QStringLiteral("insights"), insightsToJson(insights)},
                              {QStringLiteral("snapshotID"), uuidText(snapshot.id)},
                              {QStringLiteral("timestamp"), snapshot.timestamp.secondsSinceReferenceDate}});
        return ExitCode::success;
    }

    printHeading(L10n::string(
        trTemplate("Kestrum sağlık durumu · \\(date)",
                   {L10n::date(snapshot.timestamp, L10n::DateStyle::numeric, L10n::TimeStyle::standard)})));
    printLine(QStringLiteral("%1 · %2").arg(HealthPresentation::levelLabel(assessment.level),
                                            L10n::string(assessment.title)));
    printLine(HealthPresentation::confidenceLabel(assessment.confidence));
    printLine();
    printList(tr("Nedenler"), assessment.reasons);
    printList(tr("Öneriler"), assessment.recommendations);
    const auto joined = [](const std::vector<QString>& signals) {
        QStringList list;
        for (const QString& signal : signals)
            list.append(signal);
        return list.join(QStringLiteral(", "));
    };
    if (!assessment.coverage.evaluatedSignals.empty())
        printLine(L10n::string(trTemplate("Değerlendirilen sinyaller: \\(signals)",
                                          {joined(assessment.coverage.evaluatedSignals)})));
    if (!assessment.coverage.unavailableSignals.empty())
        printLine(L10n::string(trTemplate("Okunamayan sinyaller: \\(signals)",
                                          {joined(assessment.coverage.unavailableSignals)})));
    printLine();
    printLine(tr("Etkin bulgular"));
    if (insights.empty())
        printLine(QStringLiteral("  ") + tr("Şu anda etkin bir bulgu yok."));
    for (const HealthInsight& insight : insights) {
        printLine(QStringLiteral("  [%1] %2")
                      .arg(HealthPresentation::levelLabel(insight.level), L10n::string(insight.title)));
        printLine(QStringLiteral("      ") + L10n::localizedFragment(insight.evidence));
        printLine(QStringLiteral("      ") + L10n::localizedFragment(insight.recommendation));
    }
    return ExitCode::success;
}

int runBaseline(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("baseline konumsal argüman almaz.")};
    const HealthArchive archive = loadArchiveForReading();
    const PersonalBaseline baseline = PersonalBaselineEngine::makeBaseline(
        archive.samples, Date::now(), PersonalBaselineEngine::kLookbackSeconds);
    if (asJson) {
        printJson(baselineToJson(baseline));
        return ExitCode::success;
    }
    using namespace MetricFormatting;
    printHeading(tr("Kişisel normal (son 7 gün)"));
    printLine(HealthPresentation::baselineConfidenceLabel(baseline.confidence));
    const QString progress = HealthPresentation::baselineProgressText(baseline);
    if (!progress.isEmpty())
        printLine(progress);
    printLine(HealthPresentation::baselineNote(baseline));
    printLine();
    const auto dBm = [](const std::optional<double>& value) {
        return value ? number(*value, 0) + QStringLiteral(" dBm") : tr("Henüz öğrenilmedi");
    };
    const auto learned = [](const std::optional<double>& value, int digits) {
        return value ? percentage(value, digits) : tr("Henüz öğrenilmedi");
    };
    printGroups({PresentationGroup{
        QStringLiteral("baseline"),
        tr("Öğrenilen değerler"),
        true,
        {},
        {{tr("Ölçüm sayısı"), QString::number(baseline.sampleCount)},
         {tr("Gözlenen gün"), QString::number(baseline.observedDayCount)},
         {tr("İşlemci kullanımı (ortanca)"), learned(baseline.medianCPUUsage, 0)},
         {tr("İşlemci kullanımı (yüksek, %90)"), learned(baseline.highCPUUsage, 0)},
         {tr("Bellek kullanımı (ortanca)"), learned(baseline.medianMemoryUsage, 0)},
         {tr("Bellek kullanımı (yüksek, %90)"), learned(baseline.highMemoryUsage, 0)},
         {tr("Wi-Fi sinyali (ortanca)"), dBm(baseline.medianWiFiRSSI)},
         {tr("Batarya tüketimi (saatlik ortanca)"),
          baseline.medianBatteryDrainPerHour
              ? percentage(baseline.medianBatteryDrainPerHour, 1) + L10n::string(trText("/saat"))
              : tr("Henüz öğrenilmedi")}}}});
    return ExitCode::success;
}

PersonalBaseline baselineFromArchiveOrEmpty() {
    try {
        return PersonalBaselineEngine::makeBaseline(loadArchiveForReading().samples, Date::now(),
                                                    PersonalBaselineEngine::kLookbackSeconds);
    } catch (const KestrumError& error) {
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error.description()));
        return PersonalBaseline::empty();
    }
}

} // namespace kestrum::cli
