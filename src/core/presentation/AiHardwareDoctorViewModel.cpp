#include "AiHardwareDoctorViewModel.h"

#include "ViewModelInstances.h"
#include "diagnosis/AIDiagnosticReport.h"
#include "diagnosis/DiagnosticContextBuilder.h"
#include "diagnosis/LocalLanguageModelServer.h"
#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QHostAddress>
#include <QPointer>
#include <QTimer>
#include <array>

namespace kestrum {

namespace {

// The colour of a finding's badge, in the health levels' palette.
QString levelName(DiagnosticSeverity severity) {
    switch (severity) {
    case DiagnosticSeverity::urgent:
        return QStringLiteral("critical");
    case DiagnosticSeverity::service:
    case DiagnosticSeverity::attention:
        return QStringLiteral("attention");
    case DiagnosticSeverity::information:
        break;
    }
    return QStringLiteral("normal");
}

QString shown(const QString& turkish) {
    return L10n::localizedFragment(turkish);
}

// The kinds of server as the window lists them; the first leaves the choice to the port.
constexpr std::array<const char*, 3> kModelKinds = {"", "openai", "ollama"};

} // namespace

AiHardwareDoctorViewModel::AiHardwareDoctorViewModel(SystemMonitorStore& store,
                                                     PreferencesStore& modelSettings,
                                                     ExplainerFactory makeExplainer,
                                                     std::function<Date()> now, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_modelSettings(modelSettings),
      m_makeExplainer(std::move(makeExplainer)), m_now(std::move(now)),
      m_findings(
          {"level", "severity", "title", "category", "evidence", "interpretation", "actions", "parts"}) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    follow(&store, &SystemMonitorStore::persistentHistoryChanged);
    // The local server is asked the first time the section is shown, never at start-up.
    connect(this, &SectionViewModel::isActiveChanged, this, [this] {
        if (isActive() && !m_checkedOnce) {
            m_checkedOnce = true;
            checkModel();
        }
    });
    rebuildNow();
}

AiHardwareDoctorViewModel::~AiHardwareDoctorViewModel() {
    m_stop.request_stop();
}

AiHardwareDoctorViewModel* AiHardwareDoctorViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<AiHardwareDoctorViewModel>(engine);
}

void AiHardwareDoctorViewModel::setSymptom(const QString& symptom) {
    if (symptom == m_symptom)
        return;
    m_symptom = symptom;
    Q_EMIT symptomChanged();
}

QString AiHardwareDoctorViewModel::summary() const {
    return shown(m_evidence.summary);
}

QString AiHardwareDoctorViewModel::availabilityText() const {
    if (m_availability.kind != AIDiagnosticAvailability::Case::unavailable)
        return L10n::string(m_availability.explanation());
    return L10n::string(trText("Yerel kanıt motoru çalışmaya devam eder. Ayrıntı: ")) +
           shown(m_availability.reason);
}

QString AiHardwareDoctorViewModel::categoryText() const {
    if (!m_explanation)
        return {};
    return L10n::string(trTemplate("Belirti kategorisi: \\(category)",
                                   {shown(DiagnosticLabels::categoryLabel(m_explanation->category))}));
}

QString AiHardwareDoctorViewModel::errorText() const {
    return m_error ? L10n::string(*m_error) : QString();
}

QString AiHardwareDoctorViewModel::privacyNote() const {
    return L10n::string(AIDiagnosticReport::defaultPrivacyNote());
}

void AiHardwareDoctorViewModel::rebuild() {
    const SystemSnapshot& snapshot = m_store.currentSnapshot();
    const std::optional<SystemSnapshot> live =
        DiagnosticContextBuilder::hasLiveMeasurement(snapshot) ? std::optional(snapshot) : std::nullopt;
    m_evidence =
        HardwareDoctor::gatherEvidence(m_store.hardwareProfile().value_or(HardwareProfile::unavailable()),
                                       live, m_store.persistentHistory(), m_symptom, m_now());
    std::vector<KeyedListModel::Row> rows;
    for (const DiagnosticFinding& finding : m_evidence.findings) {
        QStringList actions, parts;
        for (const QString& action : finding.recommendedActions)
            actions << shown(action);
        for (const OriginalPartReference& part : finding.verifiedParts)
            parts << part.partNumber;
        rows.push_back({finding.id,
                        {levelName(finding.severity),
                         shown(DiagnosticLabels::severityLabel(finding.severity)), shown(finding.title),
                         shown(DiagnosticLabels::categoryLabel(finding.category)) + QStringLiteral(" · ") +
                             shown(DiagnosticLabels::confidenceLabel(finding.confidence)),
                         shown(finding.evidence), shown(finding.interpretation), actions.join(u'\n'),
                         parts.isEmpty() ? QString()
                                         : L10n::string(trTemplate("Uyumlu orijinal parçalar: \\(parts)",
                                                                   {parts.join(QStringLiteral(", "))}))}});
    }
    m_findings.update(std::move(rows));
    if (isActive() && !m_checkedOnce) {
        // Shown without ever having been hidden (the section the window opened on): ask once the shell
        // has settled which section is on screen.
        m_checkedOnce = true;
        QTimer::singleShot(0, this, [this] {
            if (isActive())
                checkModel();
            else
                m_checkedOnce = false;
        });
    }
    Q_EMIT changed();
}

QString AiHardwareDoctorViewModel::modelAddress() const {
    const auto server = LocalLanguageModelServer::fromPreferences(m_modelSettings);
    return server ? server->baseURL.toString() : QString();
}

int AiHardwareDoctorViewModel::modelKind() const {
    const auto server = LocalLanguageModelServer::fromPreferences(m_modelSettings);
    if (!server)
        return 0;
    return server->api == LocalLanguageModelServer::API::ollama ? 2 : 1;
}

QString AiHardwareDoctorViewModel::modelSettingsError() const {
    return m_modelSettingsError ? L10n::string(*m_modelSettingsError) : QString();
}

bool AiHardwareDoctorViewModel::saveModelServer(const QString& address, int kind) {
    m_modelSettingsError.reset();
    if (address.trimmed().isEmpty()) {
        LocalLanguageModelServer::save(m_modelSettings, std::nullopt);
    } else {
        const QString api = kind > 0 && kind < int(kModelKinds.size())
                                ? QString::fromLatin1(kModelKinds[size_t(kind)])
                                : QString();
        // A model name chosen earlier (from the command line) stays with the new address.
        const std::optional<QString> modelName =
            m_modelSettings.textValue(QString::fromLatin1(LocalLanguageModelServer::kModelKey));
        const auto server = LocalLanguageModelServer::make(
            address, api.isEmpty() ? std::nullopt : std::optional(api), modelName);
        // A host name is judged when the server is asked (it is resolved then); a literal address can be
        // judged now.
        const QHostAddress literal(server ? server->baseURL.host() : QString());
        if (!server)
            m_modelSettingsError = trText("Adres http:// veya https:// ile başlamalı; kullanıcı adı, "
                                          "sorgu veya parça içeremez.");
        else if (!literal.isNull() && !literal.isLoopback())
            m_modelSettingsError = trText("Bu adres bu bilgisayarı göstermiyor; donanım verisi bu "
                                          "bilgisayardan çıkmaz.");
        if (m_modelSettingsError) {
            Q_EMIT modelSettingsChanged();
            return false;
        }
        LocalLanguageModelServer::save(m_modelSettings, server);
    }
    Q_EMIT modelSettingsChanged();
    // A check or an explanation under way keeps the server it started with; the new one is asked once it
    // has ended.
    if (m_checking || m_explaining)
        m_checkAgain = true;
    else
        checkModel();
    return true;
}

void AiHardwareDoctorViewModel::checkModel() {
    if (m_checking || m_explaining)
        return;
    fireAndForget(runCheck(), "checking the local language model");
}

void AiHardwareDoctorViewModel::explain() {
    if (!canExplain())
        return;
    fireAndForget(runExplanation(), "explaining the findings");
}

void AiHardwareDoctorViewModel::cancel() {
    m_stop.request_stop();
}

QCoro::Task<void> AiHardwareDoctorViewModel::runCheck() {
    QPointer<AiHardwareDoctorViewModel> self(this);
    m_checkedOnce = true;
    m_checking = true;
    m_availability = AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::checking);
    m_explainer = m_makeExplainer ? m_makeExplainer() : nullptr;
    Q_EMIT changed();
    std::shared_ptr<AIDiagnosticExplaining> explainer = m_explainer;
    AIDiagnosticAvailability availability = AIDiagnosticAvailability::unavailableBecause(
        trText("Yerel dil modeli sunucusu ayarlanmadı; bu bilgisayarda "
               "çalışan bir llama.cpp veya Ollama sunucusunun adresi "
               "ayarlanınca açıklama kullanılabilir."));
    if (explainer) {
        m_stop = std::stop_source();
        QCoro::Task<AIDiagnosticAvailability> checking = explainer->availability(m_stop.get_token());
        availability = co_await std::move(checking);
    }
    if (!self)
        co_return;
    m_availability = availability;
    m_checking = false;
    Q_EMIT changed();
    checkAgainIfAsked();
}

void AiHardwareDoctorViewModel::checkAgainIfAsked() {
    if (!m_checkAgain)
        return;
    m_checkAgain = false;
    checkModel();
}

QCoro::Task<void> AiHardwareDoctorViewModel::runExplanation() {
    QPointer<AiHardwareDoctorViewModel> self(this);
    std::shared_ptr<AIDiagnosticExplaining> explainer = m_explainer;
    SanitizedDiagnosticContext context = m_evidence.context;
    context.symptom = DiagnosticContextBuilder::sanitizedSymptom(m_symptom);
    std::vector<DiagnosticFinding> findings = m_evidence.findings;
    m_stop = std::stop_source();
    const std::stop_token token = m_stop.get_token();
    m_explaining = true;
    m_explanation.reset();
    m_error.reset();
    Q_EMIT changed();

    std::optional<AIDiagnosticExplanation> explanation;
    std::optional<QString> error;
    try {
        QCoro::Task<AIDiagnosticExplanation> explaining =
            explainer->explain(std::move(context), std::move(findings), token);
        explanation = co_await std::move(explaining);
    } catch (const CancellationError&) {
        // Cancelled on request: nothing to report.
    } catch (const KestrumError& failure) {
        error = failure.description();
    }
    if (!self)
        co_return;
    m_explaining = false;
    m_explanation = std::move(explanation);
    m_error = std::move(error);
    Q_EMIT changed();
    checkAgainIfAsked();
}

} // namespace kestrum
