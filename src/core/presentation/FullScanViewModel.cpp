#include "FullScanViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/AtomicFile.h"
#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "fullscan/FullSystemScanReportBuilder.h"
#include "localisation/L10n.h"

namespace kestrum {

namespace {

using Builder = FullSystemScanReportBuilder;

QString localized(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString scoreText(std::optional<int> score) {
    return score ? QStringLiteral("%1/100").arg(*score) : L10n::string(trText("Uygulanamaz"));
}

// "%89" in Turkish, "89%" in English.
QString overallText(std::optional<int> score) {
    if (!score)
        return L10n::string(trText("Hesaplanamadı"));
    return L10n::isEnglish() ? QString::number(*score) + u'%' : u'%' + QString::number(*score);
}

} // namespace

FullScanViewModel::FullScanViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_scan(store, UserOperation::fullSystemScan),
      m_history({"title", "detail"}) {
    follow(&store, &SystemMonitorStore::resultsChanged);
    follow(&store, &SystemMonitorStore::isArchivePreparedChanged);
    connect(&store, &SystemMonitorStore::fullSystemScanReminderChanged, this, &FullScanViewModel::changed);
    rebuildNow();
}

FullScanViewModel* FullScanViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<FullScanViewModel>(engine);
}

void FullScanViewModel::setIncludeNetwork(bool on) {
    if (on == m_includeNetwork)
        return;
    m_includeNetwork = on;
    if (!on)
        m_includeSpeed = false;
    Q_EMIT changed();
}

void FullScanViewModel::setIncludeSpeed(bool on) {
    if (on == m_includeSpeed)
        return;
    m_includeSpeed = on;
    if (on)
        m_includeNetwork = true;
    Q_EMIT changed();
}

QString FullScanViewModel::defaultReportName() const {
    return QStringLiteral("Kestrum-Tam-Tarama-Raporu.md");
}

int FullScanViewModel::reminderDays() const {
    return m_store.fullSystemScanReminderIntervalDays().value_or(0);
}

void FullScanViewModel::setReminderDays(int days) {
    m_store.setFullSystemScanReminderIntervalDays(days > 0 ? std::optional<int>(days) : std::nullopt);
}

QString FullScanViewModel::reminderText() const {
    const auto next = m_store.fullSystemScanNextReminderAt();
    if (!m_store.fullSystemScanReminderIntervalDays())
        return localized("Hatırlatıcı kapalı.");
    if (!next)
        return localized("İlk hatırlatma, eksiksiz bir taramadan sonra planlanır.");
    return L10n::string(
        trTemplate("Sonraki hatırlatma: \\(date)",
                   {L10n::date(*next, L10n::DateStyle::numeric, L10n::TimeStyle::shortened)}));
}

bool FullScanViewModel::start(bool allowLowBattery) {
    m_selectedID.clear();
    return m_store.startFullSystemScan(allowLowBattery, m_includeNetwork, QStringLiteral("fullSystemScan"),
                                       m_includeSpeed);
}

void FullScanViewModel::select(const QString& id) {
    for (const FullSystemScanResult& result : m_store.fullSystemScanResults()) {
        if (idText(result.id) == id) {
            m_selectedID = id;
            m_exportMessage.clear();
            rebuildNow();
            return;
        }
    }
}

std::optional<FullSystemScanResult> FullScanViewModel::shownScan() const {
    const std::vector<FullSystemScanResult> results = m_store.fullSystemScanResults();
    for (const FullSystemScanResult& result : results) {
        if (!m_selectedID.isEmpty() && idText(result.id) == m_selectedID)
            return result;
    }
    if (results.empty())
        return std::nullopt;
    return results.back();
}

bool FullScanViewModel::exportReport(const QUrl& file) {
    const auto result = shownScan();
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    bool saved = false;
    if (result && !path.isEmpty()) {
        Builder builder;
        builder.privateWords = m_privateWords;
        try {
            writeFileAtomically(path, builder.markdown(*result).toUtf8());
            saved = true;
        } catch (const KestrumError&) {
        }
    }
    m_exportMessage = saved ? localized("Rapor kaydedildi.")
                            : localized("Rapor kaydedilemedi. Lütfen başka bir konum seçip yeniden deneyin.");
    Q_EMIT changed();
    return saved;
}

void FullScanViewModel::rebuild() {
    const std::vector<FullSystemScanResult> results = m_store.fullSystemScanResults();
    std::vector<KeyedListModel::Row> rows;
    for (auto it = results.rbegin(); it != results.rend(); ++it) {
        const QString date = L10n::date(it->endedAt, L10n::DateStyle::numeric, L10n::TimeStyle::shortened);
        rows.push_back(
            {idText(it->id),
             {date, L10n::string(trTemplate("Genel puan \\(score) · Kapsam \\(completed)/\\(count)",
                                            {overallText(it->overallScore),
                                             QString::number(it->completedComponentCount()),
                                             QString::number(it->components.size())}))}});
    }
    m_history.update(std::move(rows));

    QString title, summary;
    std::vector<PresentationGroup> groups;
    if (const auto shown = shownScan()) {
        const FullSystemScanResult& r = *shown;
        title = L10n::string(
            trTemplate("Tam Tarama · \\(date)",
                       {L10n::date(r.endedAt, L10n::DateStyle::numeric, L10n::TimeStyle::standard)}));
        summary = L10n::string(trTemplate(
                      "Genel puan \\(score) · Güven: \\(confidence) · Kapsam \\(completed)/\\(count)",
                      {overallText(r.overallScore), Builder::confidenceTitle(r.confidence),
                       QString::number(r.completedComponentCount()), QString::number(r.components.size())})) +
                  QLatin1Char('\n') + L10n::localizedFragment(r.simpleSummary);
        PresentationGroup findings{
            QStringLiteral("findings"), localized("Bulgular ve öneriler"), true, {}, {}};
        for (const FullSystemScanFinding& f : r.findings)
            findings.rows.push_back({L10n::string(Builder::title(f.level)) + QStringLiteral(" · ") +
                                         L10n::localizedFragment(f.title),
                                     L10n::localizedFragment(f.simpleExplanation) + QStringLiteral("\n→ ") +
                                         L10n::localizedFragment(f.recommendation)});
        groups.push_back(std::move(findings));
        PresentationGroup components{QStringLiteral("components"), localized("Bileşenler"), true, {}, {}};
        for (const FullSystemScanComponentResult& c : r.components)
            components.rows.push_back({L10n::string(Builder::title(c.kind)),
                                       L10n::string(Builder::title(c.state)) + QStringLiteral(" · ") +
                                           scoreText(c.score) + QStringLiteral("\n") +
                                           L10n::localizedFragment(c.simpleExplanation)});
        groups.push_back(std::move(components));
        if (r.aiExplanation)
            groups.push_back({QStringLiteral("ai"),
                              localized("Cihaz İçi AI Açıklaması"),
                              true,
                              {},
                              {{QString(), L10n::localizedFragment(*r.aiExplanation)}}});
        groups.push_back({QStringLiteral("technical"),
                          localized("Teknik Özet"),
                          true,
                          {},
                          {{QString(), L10n::localizeSentences(r.technicalSummary)}}});
        m_selectedID = idText(r.id);
    }
    m_resultGroups.update(groups);
    if (title == m_resultTitle && summary == m_resultSummary)
        return;
    m_resultTitle = title;
    m_resultSummary = summary;
    Q_EMIT changed();
}

} // namespace kestrum
