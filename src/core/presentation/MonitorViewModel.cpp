#include "MonitorViewModel.h"

#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "interpretation/HealthAlerts.h"
#include "interpretation/HealthPresentation.h"
#include "interpretation/MenuBarPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "measurement/SnapshotPresentation.h"

#include <cmath>

namespace kestrum {

namespace {

QString toneName(HealthObservationRow::Tone tone) {
    switch (tone) {
    case HealthObservationRow::Tone::neutral:
        return QStringLiteral("neutral");
    case HealthObservationRow::Tone::attention:
        return QStringLiteral("attention");
    case HealthObservationRow::Tone::critical:
        return QStringLiteral("critical");
    case HealthObservationRow::Tone::observing:
        return QStringLiteral("observing");
    case HealthObservationRow::Tone::observed:
        return QStringLiteral("observed");
    }
    return {};
}

QVariantMap rowToVariant(const HealthObservationRow& row) {
    return {{QStringLiteral("title"), row.title},
            {QStringLiteral("status"), row.status},
            {QStringLiteral("detail"), row.detail},
            {QStringLiteral("tone"), toneName(row.tone)}};
}

QVariantList localizedList(const std::vector<QString>& texts) {
    QVariantList out;
    for (const QString& text : texts)
        out.append(L10n::localizedFragment(text));
    return out;
}

const PresentationGroup* findGroup(const std::vector<PresentationGroup>& groups, const char* key) {
    for (const auto& g : groups)
        if (g.key == QLatin1String(key))
            return &g;
    return nullptr;
}

// A series for a sparkline: values in order, NaN where a sample had no reading (a gap, not zero).
QVariantList seriesOf(const std::vector<SystemSnapshot>& history,
                      const std::function<std::optional<double>(const SystemSnapshot&)>& value) {
    QVariantList out;
    const size_t start = history.size() > MonitorViewModel::kSeriesLength
                             ? history.size() - MonitorViewModel::kSeriesLength
                             : 0;
    for (size_t i = start; i < history.size(); ++i) {
        const auto v = value(history[i]);
        out.append(v && std::isfinite(*v) ? *v : std::nan(""));
    }
    return out;
}

} // namespace

QVariantMap groupToVariant(const PresentationGroup& group) {
    QVariantList rows;
    for (const auto& row : group.rows)
        rows.append(QVariantMap{{QStringLiteral("label"), row.label}, {QStringLiteral("value"), row.value}});
    return {{QStringLiteral("key"), group.key},
            {QStringLiteral("title"), group.title},
            {QStringLiteral("isAvailable"), group.isAvailable},
            {QStringLiteral("note"), group.note},
            {QStringLiteral("rows"), rows}};
}

MonitorViewModel::MonitorViewModel(SystemMonitorStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    m_coalesce.setSingleShot(true);
    m_coalesce.setInterval(0);
    connect(&m_coalesce, &QTimer::timeout, this, &MonitorViewModel::rebuild);
    for (auto signal :
         {&SystemMonitorStore::currentSnapshotChanged, &SystemMonitorStore::activeInsightsChanged,
          &SystemMonitorStore::healthEventsChanged, &SystemMonitorStore::incidentsChanged,
          &SystemMonitorStore::personalBaselineChanged, &SystemMonitorStore::observationRowsChanged})
        connect(&store, signal, this, &MonitorViewModel::scheduleRebuild);
    for (auto signal : {&SystemMonitorStore::isMonitoringChanged, &SystemMonitorStore::sampleIntervalChanged,
                        &SystemMonitorStore::notificationsEnabledChanged,
                        &SystemMonitorStore::notificationStatusMessageChanged})
        connect(&store, signal, this, &MonitorViewModel::settingsChanged);
    connect(&store, &SystemMonitorStore::lastErrorChanged, this, &MonitorViewModel::errorsChanged);
    connect(&store, &SystemMonitorStore::persistenceErrorChanged, this, &MonitorViewModel::errorsChanged);
    rebuild();
}

QString MonitorViewModel::notificationStatusMessage() const {
    return L10n::localizedFragment(m_store.notificationStatusMessage());
}
QString MonitorViewModel::lastError() const {
    return L10n::localizedFragment(m_store.lastError());
}
QString MonitorViewModel::persistenceError() const {
    return L10n::localizedFragment(m_store.persistenceError());
}

void MonitorViewModel::scheduleRebuild() {
    if (!m_active)
        m_stale = true;
    else if (!m_coalesce.isActive())
        m_coalesce.start();
}

void MonitorViewModel::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    if (!active) {
        m_stale = m_stale || m_coalesce.isActive();
        m_coalesce.stop();
    } else if (m_stale) {
        m_stale = false;
        rebuild();
    }
}

void MonitorViewModel::rebuild() {
    rebuildSnapshot();
    rebuildHealth();
}

void MonitorViewModel::rebuildSnapshot() {
    const SystemSnapshot& s = m_store.currentSnapshot();
    const bool measured = m_store.hasMeasurement();
    const std::vector<PresentationGroup> groups = SnapshotPresentation::groups(s);
    m_groups.clear();
    for (const auto& g : groups)
        m_groups.append(groupToVariant(g));

    const HealthAssessment& a = m_store.currentAssessment();
    const MenuBarHealthPresentation health =
        MenuBarHealthPresentation::resolve(s, m_store.activeInsights(), measured);
    m_headline = {
        {QStringLiteral("level"), measured ? rawValue(a.level) : QStringLiteral("unavailable")},
        {QStringLiteral("levelLabel"), measured ? HealthPresentation::levelLabel(a.level) : health.title},
        {QStringLiteral("title"),
         measured ? L10n::string(a.title) : L10n::string(trText("İlk ölçüm bekleniyor"))},
        {QStringLiteral("symbol"), health.systemImage}};
    m_timestampText =
        measured ? L10n::date(s.timestamp, L10n::DateStyle::none, L10n::TimeStyle::standard) : QString();

    m_coreUsage.clear();
    if (s.cpu.availability.isAvailable()) {
        for (double usage : s.cpu.perCoreUsage)
            m_coreUsage.append(usage);
    }

    const auto& history = m_store.history();
    m_series = {
        {QStringLiteral("cpu"), seriesOf(history,
                                         [](const SystemSnapshot& x) -> std::optional<double> {
                                             return x.cpu.availability.isAvailable()
                                                        ? std::optional(x.cpu.totalUsage)
                                                        : std::nullopt;
                                         })},
        {QStringLiteral("memory"),
         seriesOf(history,
                  [](const SystemSnapshot& x) -> std::optional<double> {
                      return x.memory.availability.isAvailable() && x.memory.totalBytes > 0
                                 ? std::optional(double(x.memory.usedBytes) / double(x.memory.totalBytes))
                                 : std::nullopt;
                  })},
        {QStringLiteral("download"), seriesOf(history,
                                              [](const SystemSnapshot& x) -> std::optional<double> {
                                                  return x.network.trafficAvailability.isAvailable() &&
                                                                 x.network.isConnected
                                                             ? std::optional(x.network.downloadBytesPerSecond)
                                                             : std::nullopt;
                                              })},
        {QStringLiteral("upload"), seriesOf(history,
                                            [](const SystemSnapshot& x) -> std::optional<double> {
                                                return x.network.trafficAvailability.isAvailable() &&
                                                               x.network.isConnected
                                                           ? std::optional(x.network.uploadBytesPerSecond)
                                                           : std::nullopt;
                                            })},
        {QStringLiteral("battery"), seriesOf(history,
                                             [](const SystemSnapshot& x) -> std::optional<double> {
                                                 return x.battery.availability.isAvailable() &&
                                                                x.battery.isPresent
                                                            ? x.battery.chargeFraction
                                                            : std::nullopt;
                                             })},
    };

    const PresentationGroup* batteryGroup = findGroup(groups, "battery");
    m_battery = batteryGroup ? groupToVariant(*batteryGroup) : QVariantMap{};
    m_battery.insert(QStringLiteral("isPresent"), s.battery.isPresent);
    m_battery.insert(QStringLiteral("charge"),
                     s.battery.chargeFraction ? QVariant(*s.battery.chargeFraction) : QVariant());
    m_battery.insert(QStringLiteral("chargeText"), MetricFormatting::percentage(s.battery.chargeFraction, 0));

    const PresentationGroup* networkGroup = findGroup(groups, "network");
    m_network = networkGroup ? groupToVariant(*networkGroup) : QVariantMap{};
    const bool traffic = s.network.isConnected && s.network.trafficAvailability.isAvailable();
    m_network.insert(QStringLiteral("downloadText"),
                     traffic ? MetricFormatting::rate(s.network.downloadBytesPerSecond)
                             : MetricFormatting::unavailableText());
    m_network.insert(QStringLiteral("uploadText"),
                     traffic ? MetricFormatting::rate(s.network.uploadBytesPerSecond)
                             : MetricFormatting::unavailableText());
    m_network.insert(QStringLiteral("trafficNote"),
                     traffic ? QString() : L10n::localizedFragment(s.network.trafficAvailability.reason));
    Q_EMIT snapshotChanged();
}

void MonitorViewModel::rebuildHealth() {
    const HealthAssessment& a = m_store.currentAssessment();
    const bool measured = m_store.hasMeasurement();
    m_assessment = {
        {QStringLiteral("level"), measured ? rawValue(a.level) : QStringLiteral("unavailable")},
        {QStringLiteral("levelLabel"),
         HealthPresentation::levelLabel(measured ? a.level : HealthLevel::unavailable)},
        {QStringLiteral("title"),
         measured ? L10n::string(a.title) : L10n::string(trText("İlk ölçüm bekleniyor"))},
        {QStringLiteral("reasons"), measured ? localizedList(a.reasons) : QVariantList{}},
        {QStringLiteral("recommendations"), measured ? localizedList(a.recommendations) : QVariantList{}},
        {QStringLiteral("evaluated"), localizedList(a.coverage.evaluatedSignals)},
        {QStringLiteral("unavailable"), localizedList(a.coverage.unavailableSignals)},
        {QStringLiteral("confidenceLabel"), HealthPresentation::confidenceLabel(a.confidence)}};

    m_insights.clear();
    for (const HealthInsight& insight : m_store.activeInsights()) {
        m_insights.append(
            QVariantMap{{QStringLiteral("level"), rawValue(insight.level)},
                        {QStringLiteral("levelLabel"), HealthPresentation::levelLabel(insight.level)},
                        {QStringLiteral("title"), L10n::string(insight.title)},
                        {QStringLiteral("evidence"), L10n::localizedFragment(insight.evidence)},
                        {QStringLiteral("recommendation"), L10n::localizedFragment(insight.recommendation)}});
    }

    m_observationRows.clear();
    for (const auto& row : m_store.observationRows())
        m_observationRows.append(rowToVariant(row));
    const auto lead = m_store.leadObservationRow();
    m_leadObservation = lead ? rowToVariant(*lead) : QVariantMap{};

    m_eventGroups.clear();
    const Date now = m_store.currentSnapshot().timestamp;
    const auto groups = HealthAlertObservationGroup::groups(
        m_store.healthEvents(), now.addingSeconds(-7 * 86400.0), now.addingSeconds(86400));
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        const HealthEvent& first = it->observations.front();
        const HealthEvent& last = it->observations.back();
        QString when = L10n::date(first.timestamp, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened);
        if (it->observations.size() > 1)
            when += QStringLiteral(" – ") +
                    L10n::date(last.timestamp, L10n::DateStyle::none, L10n::TimeStyle::shortened);
        m_eventGroups.append(
            QVariantMap{{QStringLiteral("level"), rawValue(last.level)},
                        {QStringLiteral("levelLabel"), HealthPresentation::levelLabel(last.level)},
                        {QStringLiteral("title"), L10n::string(last.title)},
                        {QStringLiteral("evidence"), L10n::localizedFragment(last.evidence)},
                        {QStringLiteral("when"), when},
                        {QStringLiteral("count"), static_cast<int>(it->observations.size())},
                        {QStringLiteral("countText"),
                         it->observations.size() > 1
                             ? L10n::string(trTemplate("\\(count) kez gözlendi",
                                                       {QString::number(it->observations.size())}))
                             : QString()}});
    }

    const PersonalBaseline& b = m_store.personalBaseline();
    const auto learned = [](const std::optional<double>& v, int digits) {
        return v ? MetricFormatting::percentage(v, digits) : L10n::string(trText("Henüz öğrenilmedi"));
    };
    QVariantList values;
    const auto add = [&](const QString& label, const QString& value) {
        values.append(QVariantMap{{QStringLiteral("label"), label}, {QStringLiteral("value"), value}});
    };
    add(L10n::string(trText("İşlemci kullanımı (ortanca)")), learned(b.medianCPUUsage, 0));
    add(L10n::string(trText("İşlemci kullanımı (yüksek, %90)")), learned(b.highCPUUsage, 0));
    add(L10n::string(trText("Bellek kullanımı (ortanca)")), learned(b.medianMemoryUsage, 0));
    add(L10n::string(trText("Bellek kullanımı (yüksek, %90)")), learned(b.highMemoryUsage, 0));
    add(L10n::string(trText("Wi-Fi sinyali (ortanca)")),
        b.medianWiFiRSSI ? MetricFormatting::number(*b.medianWiFiRSSI, 0) + QStringLiteral(" dBm")
                         : L10n::string(trText("Henüz öğrenilmedi")));
    add(L10n::string(trText("Batarya tüketimi (saatlik ortanca)")),
        b.medianBatteryDrainPerHour
            ? MetricFormatting::percentage(b.medianBatteryDrainPerHour, 1) + L10n::string(trText("/saat"))
            : L10n::string(trText("Henüz öğrenilmedi")));
    m_baseline = {{QStringLiteral("label"), HealthPresentation::baselineConfidenceLabel(b.confidence)},
                  {QStringLiteral("isLearning"), b.confidence == BaselineConfidence::learning},
                  {QStringLiteral("progress"), HealthPresentation::baselineProgress(b)},
                  {QStringLiteral("progressText"), HealthPresentation::baselineProgressText(b)},
                  {QStringLiteral("note"), HealthPresentation::baselineNote(b)},
                  {QStringLiteral("values"), values}};

    m_activeIncident.clear();
    if (const auto incident = m_store.activeIncident()) {
        m_activeIncident = {
            {QStringLiteral("note"), incident->note},
            {QStringLiteral("since"),
             L10n::date(incident->startedAt, L10n::DateStyle::abbreviated, L10n::TimeStyle::shortened)}};
    }
    Q_EMIT healthChanged();
}

void MonitorViewModel::startMonitoring() {
    m_store.start();
}
void MonitorViewModel::stopMonitoring() {
    m_store.stop();
}
void MonitorViewModel::setSampleInterval(double seconds) {
    m_store.setSampleInterval(seconds);
}
void MonitorViewModel::setNotificationsEnabled(bool enabled) {
    fireAndForget(m_store.setNotificationsEnabled(enabled), "switching notifications");
}
void MonitorViewModel::startIncident(const QString& note) {
    fireAndForget(m_store.startIncident(note), "starting an incident");
}
void MonitorViewModel::stopIncident() {
    fireAndForget(m_store.stopIncident(), "stopping an incident");
}

} // namespace kestrum
