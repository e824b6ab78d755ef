#include "CliSupport.h"
#include "Commands.h"
#include "LinuxServices.h"
#include "diagnosis/AIDiagnosticReport.h"
#include "diagnosis/HardwareDoctorEvidence.h"
#include "diagnosis/LocalServerAIDiagnosticExplainer.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumError.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "hardware/HardwarePresentation.h"
#include "history/HealthArchive.h"
#include "localisation/L10n.h"

#include <QJsonObject>

namespace kestrum::cli {

namespace {

QString tr(const QString& turkish) {
    return L10n::localizedFragment(turkish);
}

QString availabilityText(const AIDiagnosticAvailability& availability) {
    if (availability.kind != AIDiagnosticAvailability::Case::unavailable)
        return L10n::string(availability.explanation());
    return L10n::string(trText("Yerel kanıt motoru çalışmaya devam eder. Ayrıntı: ")) +
           tr(availability.reason);
}

// Where the local model server is: the options of this run, else the saved preference.
std::optional<LocalLanguageModelServer> chosenServer(const std::optional<QString>& url,
                                                     const std::optional<QString>& api,
                                                     const std::optional<QString>& model,
                                                     const PreferencesStore& preferences) {
    if (!url)
        return LocalLanguageModelServer::fromPreferences(preferences);
    auto server = LocalLanguageModelServer::make(*url, api, model);
    if (!server)
        throw UsageError{
            trText("Yerel dil modeli adresi http:// veya https:// ile başlayan bir adres olmalı; "
                   "--model-api openai veya ollama olabilir.")};
    return server;
}

void printFinding(int position, const DiagnosticFinding& finding) {
    printLine(QStringLiteral("  %1. [%2] %3")
                  .arg(position)
                  .arg(tr(DiagnosticLabels::severityLabel(finding.severity)), tr(finding.title)));
    printLine(QStringLiteral("     %1 · %2")
                  .arg(tr(DiagnosticLabels::categoryLabel(finding.category)),
                       tr(DiagnosticLabels::confidenceLabel(finding.confidence))));
    printLine(QStringLiteral("     ") + tr(finding.evidence));
    printLine(QStringLiteral("     ") + tr(finding.interpretation));
    for (const QString& action : finding.recommendedActions)
        printLine(QStringLiteral("     → ") + tr(action));
    if (!finding.verifiedParts.empty()) {
        QStringList numbers;
        for (const OriginalPartReference& part : finding.verifiedParts)
            numbers << part.partNumber;
        printLine(QStringLiteral("     ") + L10n::string(trTemplate("Uyumlu orijinal parçalar: \\(parts)",
                                                                    {numbers.join(QStringLiteral(", "))})));
    }
}

} // namespace

int runDiagnose(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const std::optional<QString> symptom = arguments.takeOption(QStringLiteral("--symptom"));
    const std::optional<QString> modelURL = arguments.takeOption(QStringLiteral("--model-url"));
    const std::optional<QString> modelAPI = arguments.takeOption(QStringLiteral("--model-api"));
    const std::optional<QString> modelName = arguments.takeOption(QStringLiteral("--model"));
    const std::optional<QString> savedURL = arguments.takeOption(QStringLiteral("--set-model-url"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("diagnose konumsal argüman almaz.")};

    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    if (savedURL) {
        if (savedURL->trimmed() == u"none") {
            LocalLanguageModelServer::save(preferences, std::nullopt);
            printLine(L10n::string(trText("Yerel dil modeli sunucusu ayarı kaldırıldı.")));
            return ExitCode::success;
        }
        const auto server = chosenServer(savedURL, modelAPI, modelName, preferences);
        LocalLanguageModelServer::save(preferences, server);
        printLine(L10n::string(trTemplate("Yerel dil modeli sunucusu kaydedildi: \\(address) (\\(api))",
                                          {server->baseURL.toString(), server->apiName()})));
        return ExitCode::success;
    }
    const std::optional<LocalLanguageModelServer> server =
        chosenServer(modelURL, modelAPI, modelName, preferences);

    const std::optional<SystemSnapshot> snapshot = takeMachineSnapshot(1);
    if (!snapshot)
        return ExitCode::interrupted;
    std::vector<HealthSample> samples;
    try {
        samples = loadArchiveForReading().samples;
    } catch (const KestrumError& error) {
        // The findings of this moment stand without the history; advice that needs it is left out.
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error.description()));
    }
    const HardwareDependencies dependencies = LinuxServices::makeHardwareDependencies();
    const auto discoverer =
        std::dynamic_pointer_cast<DefaultHardwareProfileDiscoverer>(dependencies.discoverer);
    const HardwareProfile profile = discoverer ? discoverer->discoverNow() : HardwareProfile::unavailable();

    const Date now = Date::now();
    const HardwareDoctorEvidence evidence =
        HardwareDoctor::gatherEvidence(profile, snapshot, samples, symptom.value_or(QString()), now);
    AIDiagnosticReport report;
    report.generatedAt = now;
    report.summary = evidence.summary;
    report.findings = evidence.findings;
    report.privacyNote = AIDiagnosticReport::defaultPrivacyNote();

    LocalServerAIDiagnosticExplainer explainer(server,
                                               LocalServerAIDiagnosticExplainer::makeDefaultTransport(),
                                               systemHostAddressResolver(), {}, L10n::isEnglish());
    std::stop_source stop;
    installInterruptHandler([&stop] { stop.request_stop(); });
    const AIDiagnosticAvailability availability = waitForTask(explainer.availability(stop.get_token()));
    if (stop.stop_requested())
        return ExitCode::interrupted;
    std::optional<AIDiagnosticExplanation> explanation;
    std::optional<QString> explanationError;
    if (availability.isAvailable()) {
        if (!asJson)
            printError(L10n::string(trText("Yerel dil modeli belirti kategorisini seçiyor…")));
        try {
            explanation =
                waitForTask(explainer.explain(evidence.context, evidence.findings, stop.get_token()));
            report.mode = AIDiagnosticMode::onDeviceAI;
            report.aiExplanation = explanation->narrative;
        } catch (const CancellationError&) {
            return ExitCode::interrupted;
        } catch (const KestrumError& error) {
            explanationError = error.description();
        }
    }

    if (asJson) {
        QJsonObject object = aiDiagnosticReportToJson(report);
        object.insert(QStringLiteral("availability"),
                      QJsonObject{{QStringLiteral("case"), rawValue(availability.kind)},
                                  {QStringLiteral("explanation"), availabilityText(availability)}});
        if (explanation)
            object.insert(QStringLiteral("symptomCategory"), rawValue(explanation->category));
        if (explanationError)
            object.insert(QStringLiteral("aiError"), L10n::string(*explanationError));
        printJson(object);
        return ExitCode::success;
    }

    printHeading(L10n::string(
        trTemplate("Kestrum donanım asistanı · \\(date)",
                   {L10n::date(report.generatedAt, L10n::DateStyle::numeric, L10n::TimeStyle::standard)})));
    printLine(tr(report.summary));
    printLine();
    printLine(L10n::string(trText("Doğrulanmış bulgular")));
    int position = 0;
    for (const DiagnosticFinding& finding : report.findings)
        printFinding(++position, finding);
    printLine();
    printLine(L10n::string(trText("Cihaz içi açıklama")));
    printLine(QStringLiteral("  ") + availabilityText(availability));
    if (explanation) {
        printLine(QStringLiteral("  ") +
                  L10n::string(trTemplate("Belirti kategorisi: \\(category)",
                                          {tr(DiagnosticLabels::categoryLabel(explanation->category))})));
        printLine();
        printLine(explanation->narrative);
    } else if (explanationError) {
        printLine(QStringLiteral("  ") + L10n::string(*explanationError));
    }
    printLine();
    printLine(tr(report.privacyNote));
    return ExitCode::success;
}

} // namespace kestrum::cli
