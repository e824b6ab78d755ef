#include "HealthCenterViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "interpretation/HealthAlerts.h"
#include "interpretation/HealthPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QStringList>
#include <array>

namespace kestrum {

namespace {

QString toneName(HealthObservationRow::Tone tone) {
    using T = HealthObservationRow::Tone;
    static const std::array<std::pair<T, const char*>, 5> names = {{{T::neutral, "neutral"},
                                                                    {T::attention, "attention"},
                                                                    {T::critical, "critical"},
                                                                    {T::observing, "observing"},
                                                                    {T::observed, "observed"}}};
    for (const auto& [t, name] : names) {
        if (t == tone)
            return QLatin1String(name);
    }
    return QStringLiteral("neutral");
}

std::vector<KeyedListModel::Row> textRows(const std::vector<QString>& texts) {
    std::vector<KeyedListModel::Row> rows;
    for (const QString& text : texts) {
        const QString shown = L10n::localizedFragment(text);
        rows.push_back({shown, {shown}});
    }
    return rows;
}

// "Değerlendirilen: CPU, bellek", or empty without signals.
QString signalLine(const char* label, const std::vector<QString>& signalNames) {
    if (signalNames.empty())
        return {};
    QStringList names;
    for (const QString& name : signalNames)
        names.append(L10n::localizedFragment(name));
    return L10n::string(QString::fromUtf8(label)) + QStringLiteral(": ") + names.join(QStringLiteral(", "));
}

} // namespace

HealthCenterViewModel::HealthCenterViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_reasons({"line"}), m_recommendations({"line"}),
      m_insights({"level", "levelLabel", "title", "evidence", "recommendation"}),
      m_observations({"line", "detail", "tone"}),
      m_eventGroups({"level", "levelLabel", "when", "title", "detail"}),
      m_baselineValues(QStringLiteral("baseline")) {
    for (auto signal :
         {&SystemMonitorStore::currentSnapshotChanged, &SystemMonitorStore::activeInsightsChanged,
          &SystemMonitorStore::healthEventsChanged, &SystemMonitorStore::incidentsChanged,
          &SystemMonitorStore::personalBaselineChanged, &SystemMonitorStore::observationRowsChanged})
        follow(&store, signal);
    for (auto signal : {&SystemMonitorStore::notificationsEnabledChanged,
                        &SystemMonitorStore::notificationStatusMessageChanged})
        connect(&store, signal, this, &HealthCenterViewModel::notificationsChanged);
    rebuildNow();
}

HealthCenterViewModel* HealthCenterViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<HealthCenterViewModel>(engine);
}

QString HealthCenterViewModel::notificationStatusMessage() const {
    return L10n::localizedFragment(m_store.notificationStatusMessage());
}

void HealthCenterViewModel::rebuild() {
    rebuildAssessment();
    rebuildObservations();
    rebuildEvents();
    rebuildBaseline();
    rebuildIncident();
}

void HealthCenterViewModel::rebuildAssessment() {
    const HealthAssessment& a = m_store.currentAssessment();
    const bool measured = m_store.hasMeasurement();
    const QString level = measured ? rawValue(a.level) : QStringLiteral("unavailable");
    const QString levelLabel = HealthPresentation::levelLabel(measured ? a.level : HealthLevel::unavailable);
    const QString title = measured ? L10n::string(a.title) : L10n::string(trText("İlk ölçüm bekleniyor"));
    const QString confidence = HealthPresentation::confidenceLabel(a.confidence);
    const QString evaluated = signalLine(TR_MARK("Değerlendirilen"), a.coverage.evaluatedSignals);
    const QString unavailable = signalLine(TR_MARK("Okunamayan"), a.coverage.unavailableSignals);
    if (level != m_level || levelLabel != m_levelLabel || title != m_title ||
        confidence != m_confidenceLabel || evaluated != m_evaluatedLine || unavailable != m_unavailableLine) {
        m_level = level;
        m_levelLabel = levelLabel;
        m_title = title;
        m_confidenceLabel = confidence;
        m_evaluatedLine = evaluated;
        m_unavailableLine = unavailable;
        Q_EMIT assessmentChanged();
    }
    m_reasons.update(measured ? textRows(a.reasons) : std::vector<KeyedListModel::Row>{});
    m_recommendations.update(measured ? textRows(a.recommendations) : std::vector<KeyedListModel::Row>{});

    std::vector<KeyedListModel::Row> insights;
    for (const HealthInsight& insight : m_store.activeInsights()) {
        insights.push_back({insight.signature.isEmpty() ? insight.title : insight.signature,
                            {rawValue(insight.level), HealthPresentation::levelLabel(insight.level),
                             L10n::string(insight.title), L10n::localizedFragment(insight.evidence),
                             L10n::localizedFragment(insight.recommendation)}});
    }
    m_insights.update(std::move(insights));
}

void HealthCenterViewModel::rebuildObservations() {
    std::vector<KeyedListModel::Row> rows;
    for (const HealthObservationRow& row : m_store.observationRows()) {
        rows.push_back({rawValue(row.kind),
                        {row.title + QStringLiteral(" — ") + row.status, row.detail, toneName(row.tone)}});
    }
    m_observations.update(std::move(rows));
    const auto lead = m_store.leadObservationRow();
    const QString line = lead ? lead->title + QStringLiteral(" · ") + lead->status : QString();
    const QString detail = lead ? lead->detail : QString();
    const QString tone = lead ? toneName(lead->tone) : QStringLiteral("neutral");
    if (line != m_leadLine || detail != m_leadDetail || tone != m_leadTone) {
        m_leadLine = line;
        m_leadDetail = detail;
        m_leadTone = tone;
        Q_EMIT observationChanged();
    }
}

void HealthCenterViewModel::rebuildEvents() {
    // The last seven days up to the current sample, newest group first.
    const Date now = m_store.currentSnapshot().timestamp;
    const auto groups = HealthAlertObservationGroup::groups(
        m_store.healthEvents(), now.addingSeconds(-7 * 86400.0), now.addingSeconds(86400));
    std::vector<KeyedListModel::Row> rows;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        const HealthEvent& first = it->observations.front();
        const HealthEvent& last = it->observations.back();
        const size_t count = it->observations.size();
        QString when = L10n::date(first.timestamp, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
        if (count > 1)
            when += QStringLiteral(" – ") +
                    L10n::date(last.timestamp, L10n::DateStyle::none, L10n::TimeStyle::shortened);
        QString detail = L10n::localizedFragment(last.evidence);
        if (count > 1)
            detail += QStringLiteral(" · ") +
                      L10n::string(trTemplate("\\(count) kez gözlendi", {QString::number(count)}));
        rows.push_back({first.id.toString(),
                        {rawValue(last.level), HealthPresentation::levelLabel(last.level), when,
                         L10n::string(last.title), detail}});
    }
    m_eventGroups.update(std::move(rows));
}

void HealthCenterViewModel::rebuildBaseline() {
    const PersonalBaseline& b = m_store.personalBaseline();
    const auto learned = [](const std::optional<double>& v, int digits) {
        return v ? MetricFormatting::percentage(v, digits) : L10n::string(trText("Henüz öğrenilmedi"));
    };
    PresentationGroup values;
    values.key = QStringLiteral("baseline");
    const auto add = [&](const char* label, const QString& value) {
        values.rows.push_back({L10n::string(QString::fromUtf8(label)), value});
    };
    add(TR_MARK("İşlemci kullanımı (ortanca)"), learned(b.medianCPUUsage, 0));
    add(TR_MARK("İşlemci kullanımı (yüksek, %90)"), learned(b.highCPUUsage, 0));
    add(TR_MARK("Bellek kullanımı (ortanca)"), learned(b.medianMemoryUsage, 0));
    add(TR_MARK("Bellek kullanımı (yüksek, %90)"), learned(b.highMemoryUsage, 0));
    add(TR_MARK("Wi-Fi sinyali (ortanca)"),
        b.medianWiFiRSSI ? MetricFormatting::number(*b.medianWiFiRSSI, 0) + QStringLiteral(" dBm")
                         : L10n::string(trText("Henüz öğrenilmedi")));
    add(TR_MARK("Batarya tüketimi (saatlik ortanca)"),
        b.medianBatteryDrainPerHour
            ? MetricFormatting::percentage(b.medianBatteryDrainPerHour, 1) + L10n::string(trText("/saat"))
            : L10n::string(trText("Henüz öğrenilmedi")));
    m_baselineValues.set(values);

    const QString label = HealthPresentation::baselineConfidenceLabel(b.confidence);
    const bool learning = b.confidence == BaselineConfidence::learning;
    const double progress = HealthPresentation::baselineProgress(b);
    const QString progressText = HealthPresentation::baselineProgressText(b);
    const QString note = HealthPresentation::baselineNote(b);
    if (label != m_baselineLabel || learning != m_isLearning || progress != m_baselineProgress ||
        progressText != m_baselineProgressText || note != m_baselineNote) {
        m_baselineLabel = label;
        m_isLearning = learning;
        m_baselineProgress = progress;
        m_baselineProgressText = progressText;
        m_baselineNote = note;
        Q_EMIT baselineChanged();
    }
}

void HealthCenterViewModel::rebuildIncident() {
    const auto incident = m_store.activeIncident();
    const QString text =
        incident
            ? L10n::string(trText("Açık işaret")) + QStringLiteral(": ") + incident->note +
                  QStringLiteral(" · ") +
                  L10n::date(incident->startedAt, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened)
            : L10n::string(
                  trText("Bir sorunu fark ettiğin anı işaretle; geçmiş ve raporlar bu aralığı gösterir."));
    if (incident.has_value() != m_hasActiveIncident || text != m_incidentText) {
        m_hasActiveIncident = incident.has_value();
        m_incidentText = text;
        Q_EMIT incidentChanged();
    }
}

void HealthCenterViewModel::startIncident(const QString& note) {
    fireAndForget(m_store.startIncident(note), "starting an incident");
}

void HealthCenterViewModel::stopIncident() {
    fireAndForget(m_store.stopIncident(), "stopping an incident");
}

void HealthCenterViewModel::setNotificationsEnabled(bool enabled) {
    fireAndForget(m_store.setNotificationsEnabled(enabled), "switching notifications");
}

} // namespace kestrum
