#pragma once

#include "MenuBarPrimaryMetric.h"
#include "foundation/PreferencesStore.h"

#include <QObject>
#include <QStringList>

namespace kestrum {

// The tray item's choices: which metric it shows and which rows its menu lists. Read once from the
// preferences store, written back at every change.
class MenuBarPreferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString primaryMetric READ primaryMetricName WRITE setPrimaryMetricName NOTIFY changed)
    Q_PROPERTY(bool showsCPU READ showsCPU WRITE setShowsCPU NOTIFY changed)
    Q_PROPERTY(bool showsMemory READ showsMemory WRITE setShowsMemory NOTIFY changed)
    Q_PROPERTY(bool showsBattery READ showsBattery WRITE setShowsBattery NOTIFY changed)
    Q_PROPERTY(bool showsNetwork READ showsNetwork WRITE setShowsNetwork NOTIFY changed)
    Q_PROPERTY(bool showsThermal READ showsThermal WRITE setShowsThermal NOTIFY changed)
    Q_PROPERTY(bool showsHealth READ showsHealth WRITE setShowsHealth NOTIFY changed)

public:
    explicit MenuBarPreferences(PreferencesStore& preferences, QObject* parent = nullptr);

    MenuBarPrimaryMetric primaryMetric() const { return m_primary; }
    void setPrimaryMetric(MenuBarPrimaryMetric metric);
    QString primaryMetricName() const { return rawValue(m_primary); }
    // A name that is not a metric is ignored.
    void setPrimaryMetricName(const QString& name);

    bool isVisible(MenuBarPrimaryMetric metric) const;
    void setVisible(MenuBarPrimaryMetric metric, bool visible);
    Q_INVOKABLE void showAllMetrics();
    Q_INVOKABLE void hideAllMetrics();

    bool showsCPU() const { return isVisible(MenuBarPrimaryMetric::cpu); }
    bool showsMemory() const { return isVisible(MenuBarPrimaryMetric::memory); }
    bool showsBattery() const { return isVisible(MenuBarPrimaryMetric::battery); }
    bool showsNetwork() const { return isVisible(MenuBarPrimaryMetric::network); }
    bool showsThermal() const { return isVisible(MenuBarPrimaryMetric::thermal); }
    bool showsHealth() const { return isVisible(MenuBarPrimaryMetric::health); }
    void setShowsCPU(bool v) { setVisible(MenuBarPrimaryMetric::cpu, v); }
    void setShowsMemory(bool v) { setVisible(MenuBarPrimaryMetric::memory, v); }
    void setShowsBattery(bool v) { setVisible(MenuBarPrimaryMetric::battery, v); }
    void setShowsNetwork(bool v) { setVisible(MenuBarPrimaryMetric::network, v); }
    void setShowsThermal(bool v) { setVisible(MenuBarPrimaryMetric::thermal, v); }
    void setShowsHealth(bool v) { setVisible(MenuBarPrimaryMetric::health, v); }

    static QString primaryMetricKey();
    static QString rowKey(MenuBarPrimaryMetric metric);

Q_SIGNALS:
    void changed();

private:
    PreferencesStore& m_preferences;
    MenuBarPrimaryMetric m_primary = MenuBarPrimaryMetric::cpu;
    bool m_rows[6] = {true, true, true, true, true, true};
};

} // namespace kestrum
