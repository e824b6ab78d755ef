#include "SettingsViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>
#include <array>

namespace kestrum {

SettingsViewModel::SettingsViewModel(SystemMonitorStore& store, MenuBarPreferences& tray, QObject* parent)
    : QObject(parent), m_store(store), m_tray(tray), m_trayRows({"metric", "title", "shown"}) {
    connect(&store, &SystemMonitorStore::sampleIntervalChanged, this, &SettingsViewModel::intervalChanged);
    for (auto signal : {&SystemMonitorStore::notificationsEnabledChanged,
                        &SystemMonitorStore::notificationStatusMessageChanged})
        connect(&store, signal, this, &SettingsViewModel::notificationsChanged);
    connect(&tray, &MenuBarPreferences::changed, this, [this] {
        updateTrayRows();
        Q_EMIT trayChanged();
    });
    updateTrayRows();
}

SettingsViewModel* SettingsViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<SettingsViewModel>(engine);
}

QString SettingsViewModel::metricTitle(MenuBarPrimaryMetric metric) {
    static const std::array<std::pair<MenuBarPrimaryMetric, const char*>, 6> titles = {{
        {MenuBarPrimaryMetric::cpu, TR_MARK("CPU")},
        {MenuBarPrimaryMetric::memory, TR_MARK("RAM")},
        {MenuBarPrimaryMetric::battery, TR_MARK("Batarya")},
        {MenuBarPrimaryMetric::network, TR_MARK("Ağ")},
        {MenuBarPrimaryMetric::thermal, TR_MARK("Termal")},
        {MenuBarPrimaryMetric::health, TR_MARK("Sağlık")},
    }};
    for (const auto& [m, title] : titles) {
        if (m == metric)
            return L10n::string(QString::fromUtf8(title));
    }
    return {};
}

std::vector<double> SettingsViewModel::intervals() const {
    std::vector<double> out(std::begin(kIntervals), std::end(kIntervals));
    const double current = m_store.sampleInterval();
    if (std::find(out.begin(), out.end(), current) == out.end())
        out.insert(std::upper_bound(out.begin(), out.end(), current), current);
    return out;
}

QStringList SettingsViewModel::intervalChoices() const {
    QStringList out;
    for (const double seconds : intervals())
        out.append(MetricFormatting::number(seconds, seconds == std::floor(seconds) ? 0 : 1) +
                   QLatin1Char(' ') + L10n::string(trText("sn")));
    return out;
}

int SettingsViewModel::intervalIndex() const {
    const auto all = intervals();
    return static_cast<int>(std::find(all.begin(), all.end(), m_store.sampleInterval()) - all.begin());
}

void SettingsViewModel::chooseInterval(int index) {
    const auto all = intervals();
    if (index >= 0 && index < static_cast<int>(all.size()))
        m_store.setSampleInterval(all[static_cast<size_t>(index)]);
}

QString SettingsViewModel::notificationStatusMessage() const {
    return L10n::localizedFragment(m_store.notificationStatusMessage());
}

void SettingsViewModel::setNotificationsEnabled(bool enabled) {
    fireAndForget(m_store.setNotificationsEnabled(enabled), "switching notifications");
}

QStringList SettingsViewModel::metricChoices() const {
    QStringList out;
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        out.append(metricTitle(metric));
    return out;
}

int SettingsViewModel::primaryMetricIndex() const {
    return static_cast<int>(declarationIndex(m_tray.primaryMetric()));
}

void SettingsViewModel::choosePrimaryMetric(int index) {
    const auto metrics = allCases<MenuBarPrimaryMetric>();
    if (index >= 0 && index < static_cast<int>(std::size(metrics)))
        m_tray.setPrimaryMetric(metrics[static_cast<size_t>(index)]);
}

void SettingsViewModel::setTrayRowShown(const QString& metric, bool shown) {
    if (const auto m = fromRawValue<MenuBarPrimaryMetric>(metric))
        m_tray.setVisible(*m, shown);
}

void SettingsViewModel::updateTrayRows() {
    std::vector<KeyedListModel::Row> rows;
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        rows.push_back({rawValue(metric), {rawValue(metric), metricTitle(metric), m_tray.isVisible(metric)}});
    m_trayRows.update(std::move(rows));
}

} // namespace kestrum
