#include "HardwareAdvisorViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "hardware/HardwarePresentation.h"
#include "localisation/L10n.h"

namespace kestrum {

namespace {

QString localized(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString fragment(const QString& text) {
    return L10n::localizedFragment(text);
}

PresentationRow componentRow(const DetectedHardwareComponent& component) {
    QString model = fragment(component.model);
    if (component.manufacturer && !model.startsWith(*component.manufacturer))
        model = fragment(*component.manufacturer) + QStringLiteral(" · ") + model;
    QStringList lines{model};
    if (!component.detail.isEmpty())
        lines << fragment(component.detail);
    lines << HardwarePresentation::serviceabilityLabel(component.serviceability) + QStringLiteral(" · ") +
                 HardwarePresentation::sourceLabel(component.source);
    for (const QString& line : component.evidence)
        lines << QStringLiteral("• ") + fragment(line);
    return {HardwarePresentation::componentLabel(component.kind), lines.join(QLatin1Char('\n'))};
}

PresentationRow recommendationRow(const HardwareRecommendation& recommendation) {
    QStringList lines{HardwarePresentation::recommendationKindLabel(recommendation.kind) +
                      QStringLiteral(" · ") +
                      HardwarePresentation::confidenceLabel(recommendation.confidence)};
    lines << fragment(recommendation.evidence);
    for (const QString& line : recommendation.supportingEvidence)
        lines << QStringLiteral("• ") + fragment(line);
    lines << QStringLiteral("→ ") + fragment(recommendation.action);
    if (!recommendation.compatibleParts.empty()) {
        QStringList numbers;
        for (const OriginalPartReference& part : recommendation.compatibleParts)
            numbers << part.partNumber;
        lines << L10n::string(
            trTemplate("Uyumlu orijinal parçalar: \\(parts)", {numbers.join(QStringLiteral(", "))}));
    }
    return {QStringLiteral("[%1] %2").arg(HardwarePresentation::urgencyLabel(recommendation.urgency),
                                          fragment(recommendation.title)),
            lines.join(QLatin1Char('\n'))};
}

} // namespace

HardwareAdvisorViewModel::HardwareAdvisorViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store) {
    // The advice reads the stored samples too; a new minute's sample is enough to look again.
    follow(&store, &SystemMonitorStore::hardwareChanged);
    follow(&store, &SystemMonitorStore::persistentHistoryChanged);
    rebuildNow();
}

HardwareAdvisorViewModel* HardwareAdvisorViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<HardwareAdvisorViewModel>(engine);
}

void HardwareAdvisorViewModel::rebuild() {
    const bool discovering = m_store.isDiscoveringHardware();
    QString title, identity, catalogNote;
    std::vector<PresentationGroup> groups;
    if (const std::optional<HardwareProfile>& found = m_store.hardwareProfile()) {
        const HardwareProfile& profile = *found;
        title = L10n::string(trTemplate("Donanım · \\(model)", {fragment(profile.modelName)}));
        identity = L10n::string(
            trTemplate("Model tanımlayıcısı: \\(identifier)", {fragment(profile.modelIdentifier)}));
        // A catalogue entry names its year, manual and check date; one that lacks any of them is not
        // described rather than described with a zero.
        if (profile.catalogMatched && profile.introductionYear && profile.repairManualID &&
            profile.catalogVerifiedAt) {
            catalogNote = L10n::string(trTemplate(
                "Model kataloğunda: \\(year) · onarım kılavuzu \\(manual) · doğrulandı \\(date)",
                {QString::number(*profile.introductionYear), *profile.repairManualID,
                 L10n::date(*profile.catalogVerifiedAt, L10n::DateStyle::numeric, L10n::TimeStyle::none)}));
        } else if (!profile.catalogMatched) {
            catalogNote =
                localized("Bu model Kestrum’un model kataloğunda yok; servis parçaları listelenmiyor.");
        }

        PresentationGroup components{QStringLiteral("components"), localized("Bileşenler"), true, {}, {}};
        for (const DetectedHardwareComponent& component : profile.components)
            components.rows.push_back(componentRow(component));
        if (profile.storageUnavailableReason) {
            components.rows.push_back({HardwarePresentation::componentLabel(HardwareComponentKind::storage),
                                       fragment(*profile.storageUnavailableReason)});
        }
        groups.push_back(std::move(components));

        if (!profile.originalParts.empty()) {
            PresentationGroup parts{
                QStringLiteral("parts"), localized("Orijinal servis parçaları"), true, {}, {}};
            for (const OriginalPartReference& part : profile.originalParts) {
                QString value = HardwarePresentation::componentLabel(part.componentKind) +
                                QStringLiteral(" · ") + fragment(part.componentName) + QStringLiteral(" · ") +
                                HardwarePresentation::applicabilityLabel(part.applicability);
                if (part.note)
                    value += QLatin1Char('\n') + fragment(*part.note);
                parts.rows.push_back({part.partNumber, value});
            }
            groups.push_back(std::move(parts));
        }

        PresentationGroup advice{QStringLiteral("recommendations"), localized("Öneriler"), true, {}, {}};
        for (const HardwareRecommendation& recommendation : m_store.hardwareRecommendations())
            advice.rows.push_back(recommendationRow(recommendation));
        if (advice.rows.empty())
            advice.note = localized("Şu anda bir donanım önerisi yok.");
        groups.push_back(std::move(advice));
    }

    m_groups.update(groups);
    if (discovering == m_discovering && title == m_title && identity == m_identity &&
        catalogNote == m_catalogNote)
        return;
    m_discovering = discovering;
    m_title = title;
    m_identity = identity;
    m_catalogNote = catalogNote;
    Q_EMIT changed();
}

} // namespace kestrum
