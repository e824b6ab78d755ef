#include "MenuBarPreferences.h"

namespace kestrum {

QString MenuBarPreferences::primaryMetricKey() {
    return QStringLiteral("ui.menuBar.primaryMetric");
}

QString MenuBarPreferences::rowKey(MenuBarPrimaryMetric metric) {
    return QStringLiteral("ui.menuBar.rows.") + rawValue(metric);
}

MenuBarPreferences::MenuBarPreferences(PreferencesStore& preferences, QObject* parent)
    : QObject(parent), m_preferences(preferences) {
    // A stored name that is not a metric falls back to CPU.
    if (const auto name = m_preferences.textValue(primaryMetricKey()))
        m_primary = fromRawValue<MenuBarPrimaryMetric>(*name).value_or(MenuBarPrimaryMetric::cpu);
    // A row flag counts only when it was stored as a boolean; anything else shows the row.
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        m_rows[declarationIndex(metric)] = m_preferences.boolValue(rowKey(metric)).value_or(true);
}

void MenuBarPreferences::setPrimaryMetric(MenuBarPrimaryMetric metric) {
    m_primary = metric;
    m_preferences.setValue(primaryMetricKey(), rawValue(metric));
    Q_EMIT changed();
}

void MenuBarPreferences::setPrimaryMetricName(const QString& name) {
    if (const auto metric = fromRawValue<MenuBarPrimaryMetric>(name))
        setPrimaryMetric(*metric);
}

bool MenuBarPreferences::isVisible(MenuBarPrimaryMetric metric) const {
    return m_rows[declarationIndex(metric)];
}

void MenuBarPreferences::setVisible(MenuBarPrimaryMetric metric, bool visible) {
    m_rows[declarationIndex(metric)] = visible;
    m_preferences.setValue(rowKey(metric), visible);
    Q_EMIT changed();
}

void MenuBarPreferences::showAllMetrics() {
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        setVisible(metric, true);
}

void MenuBarPreferences::hideAllMetrics() {
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        setVisible(metric, false);
}

} // namespace kestrum
