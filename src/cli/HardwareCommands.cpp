#include "CliSupport.h"
#include "Commands.h"
#include "LinuxServices.h"
#include "ProcMeminfoMemorySnapshotReader.h"
#include "StatvfsDiskCapacityReader.h"
#include "SysfsPowerSupplyBatteryStatsProvider.h"
#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "hardware/AppleDiagnosticsCodeInterpreter.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "hardware/HardwareJson.h"
#include "hardware/HardwarePresentation.h"
#include "hardware/HardwareRecommendationEngine.h"
#include "history/HealthArchive.h"
#include "interpretation/HealthPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricStatsProviders.h"

#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString fragment(const QString& text) {
    return L10n::localizedFragment(text);
}

// What the recommendations read from a sample: memory, start-up disk and battery are instantaneous, so
// one reading of those three is enough (no second sample for usage rates).
SystemSnapshot currentSnapshot() {
    SystemSnapshot snapshot = SystemSnapshot::empty(newUuid(), Date::now());
    snapshot.memory = MachMemoryStatsProvider(std::make_unique<ProcMeminfoMemorySnapshotReader>()).sample();
    snapshot.disk = URLResourceDiskStatsProvider(std::make_unique<StatvfsDiskCapacityReader>()).sample();
    snapshot.battery = SysfsPowerSupplyBatteryStatsProvider().sample();
    return snapshot;
}

std::vector<HealthSample> storedSamples() {
    try {
        return loadArchiveForReading().samples;
    } catch (const KestrumError& error) {
        // Advice that needs history is left out; the profile stands without it.
        printError(L10n::localizedFragment(error.description()));
        return {};
    }
}

void printComponent(const DetectedHardwareComponent& component) {
    QString model = fragment(component.model);
    if (component.manufacturer && !model.startsWith(*component.manufacturer))
        model = fragment(*component.manufacturer) + QStringLiteral(" · ") + model;
    printLine(QStringLiteral("  %1: %2").arg(HardwarePresentation::componentLabel(component.kind), model));
    printLine(QStringLiteral("      ") + fragment(component.detail));
    printLine(QStringLiteral("      %1 · %2")
                  .arg(HardwarePresentation::serviceabilityLabel(component.serviceability),
                       HardwarePresentation::sourceLabel(component.source)));
    for (const QString& line : component.evidence)
        printLine(QStringLiteral("      • ") + fragment(line));
}

void printProfile(const HardwareProfile& profile) {
    printHeading(L10n::string(trTemplate("Donanım · \\(model)", {fragment(profile.modelName)})));
    printLine(
        L10n::string(trTemplate("Model tanımlayıcısı: \\(identifier)", {fragment(profile.modelIdentifier)})));
    if (profile.catalogMatched) {
        printLine(L10n::string(
            trTemplate("Model kataloğunda: \\(year) · onarım kılavuzu \\(manual) · doğrulandı \\(date)",
                       {QString::number(profile.introductionYear.value_or(0)),
                        profile.repairManualID.value_or(QString()),
                        L10n::date(profile.catalogVerifiedAt.value_or(Date{}), L10n::DateStyle::numeric,
                                   L10n::TimeStyle::none)})));
        if (profile.catalogSourceURL)
            printLine(QStringLiteral("  ") + *profile.catalogSourceURL);
    } else {
        printLine(tr("Bu model Kestrum’un model kataloğunda yok; servis parçaları listelenmiyor."));
    }
    printLine();
    printLine(tr("Bileşenler"));
    for (const DetectedHardwareComponent& component : profile.components)
        printComponent(component);
    if (profile.storageUnavailableReason) {
        printLine(QStringLiteral("  %1: %2")
                      .arg(HardwarePresentation::componentLabel(HardwareComponentKind::storage),
                           fragment(*profile.storageUnavailableReason)));
    }
    if (!profile.originalParts.empty()) {
        printLine();
        printLine(tr("Orijinal servis parçaları"));
        for (const OriginalPartReference& part : profile.originalParts) {
            printLine(QStringLiteral("  %1  %2 · %3 · %4")
                          .arg(part.partNumber, HardwarePresentation::componentLabel(part.componentKind),
                               fragment(part.componentName),
                               HardwarePresentation::applicabilityLabel(part.applicability)));
            if (part.note)
                printLine(QStringLiteral("      ") + fragment(*part.note));
        }
    }
}

void printRecommendations(const std::vector<HardwareRecommendation>& recommendations) {
    printLine();
    printLine(tr("Öneriler"));
    if (recommendations.empty()) {
        printLine(QStringLiteral("  ") + tr("Şu anda bir donanım önerisi yok."));
        return;
    }
    for (const HardwareRecommendation& recommendation : recommendations) {
        printLine(QStringLiteral("  [%1] %2")
                      .arg(HardwarePresentation::urgencyLabel(recommendation.urgency),
                           fragment(recommendation.title)));
        printLine(QStringLiteral("      %1 · %2")
                      .arg(HardwarePresentation::recommendationKindLabel(recommendation.kind),
                           HardwarePresentation::confidenceLabel(recommendation.confidence)));
        printLine(QStringLiteral("      ") + fragment(recommendation.evidence));
        for (const QString& line : recommendation.supportingEvidence)
            printLine(QStringLiteral("      • ") + fragment(line));
        printLine(QStringLiteral("      ") + fragment(recommendation.action));
        if (!recommendation.compatibleParts.empty()) {
            QStringList numbers;
            for (const OriginalPartReference& part : recommendation.compatibleParts)
                numbers << part.partNumber;
            printLine(QStringLiteral("      ") +
                      L10n::string(trTemplate("Uyumlu orijinal parçalar: \\(parts)",
                                              {numbers.join(QStringLiteral(", "))})));
        }
    }
}

} // namespace

int runHardware(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("hardware konumsal argüman almaz.")};

    const HardwareDependencies dependencies = LinuxServices::makeHardwareDependencies();
    const auto discoverer =
        std::dynamic_pointer_cast<DefaultHardwareProfileDiscoverer>(dependencies.discoverer);
    const HardwareProfile profile = discoverer ? discoverer->discoverNow() : HardwareProfile::unavailable();
    const std::vector<HardwareRecommendation> recommendations = HardwareRecommendationEngine::recommendations(
        profile, currentSnapshot(), storedSamples(), Date::now());

    if (asJson) {
        printJson(
            QJsonObject{{QStringLiteral("profile"), hardwareProfileToJson(profile)},
                        {QStringLiteral("recommendations"), hardwareRecommendationsToJson(recommendations)}});
        return ExitCode::success;
    }
    printProfile(profile);
    printRecommendations(recommendations);
    return ExitCode::success;
}

int runDiagnosticsCode(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const QStringList words = arguments.positionals();
    if (words.isEmpty())
        throw UsageError{trText("diagnostics-code bir başvuru kodu bekliyor (örneğin PPT007).")};
    const auto result = AppleDiagnosticsCodeInterpreter::interpret(words.join(u' '));
    if (!result)
        throw UsageError{
            trText("Kodda harf veya rakam yok; Apple Diagnostics’in gösterdiği kodu yazın (örneğin "
                   "PPT007).")};
    if (asJson) {
        printJson(diagnosticsCodeResultToJson(*result));
        return ExitCode::success;
    }
    printLine(QStringLiteral("%1 · %2").arg(result->code, HealthPresentation::levelLabel(result->level)));
    printLine(fragment(result->title));
    printLine(fragment(result->explanation));
    printLine(L10n::string(trTemplate("Ne yapmalı: \\(action)", {fragment(result->recommendedAction)})));
    return ExitCode::success;
}

} // namespace kestrum::cli
