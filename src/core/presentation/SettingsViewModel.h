#pragma once

#include "KeyedListModel.h"
#include "measurement/MenuBarPreferences.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QStringList>

namespace kestrum {

// The settings window: the sample interval, alert notifications, and the tray item's metric and rows.
class SettingsViewModel : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Settings)
    QML_SINGLETON
    Q_PROPERTY(QStringList intervalChoices READ intervalChoices NOTIFY intervalChanged)
    Q_PROPERTY(int intervalIndex READ intervalIndex NOTIFY intervalChanged)
    Q_PROPERTY(bool notificationsEnabled READ notificationsEnabled NOTIFY notificationsChanged)
    Q_PROPERTY(QString notificationStatusMessage READ notificationStatusMessage NOTIFY notificationsChanged)
    Q_PROPERTY(QStringList metricChoices READ metricChoices CONSTANT)
    Q_PROPERTY(int primaryMetricIndex READ primaryMetricIndex NOTIFY trayChanged)
    Q_PROPERTY(KeyedListModel* trayRows READ trayRows CONSTANT)

public:
    // The intervals offered, in seconds; a stored interval outside them is offered too.
    static constexpr double kIntervals[] = {1, 2, 5, 10, 30};

    SettingsViewModel(SystemMonitorStore& store, MenuBarPreferences& tray, QObject* parent = nullptr);
    static SettingsViewModel* create(QQmlEngine* engine, QJSEngine*);

    QStringList intervalChoices() const;
    int intervalIndex() const;
    bool notificationsEnabled() const { return m_store.notificationsEnabled(); }
    QString notificationStatusMessage() const;
    QStringList metricChoices() const;
    int primaryMetricIndex() const;
    KeyedListModel* trayRows() { return &m_trayRows; }

    Q_INVOKABLE void chooseInterval(int index);
    Q_INVOKABLE void setNotificationsEnabled(bool enabled);
    Q_INVOKABLE void choosePrimaryMetric(int index);
    Q_INVOKABLE void setTrayRowShown(const QString& metric, bool shown);
    Q_INVOKABLE void showAllTrayRows() { m_tray.showAllMetrics(); }
    Q_INVOKABLE void hideAllTrayRows() { m_tray.hideAllMetrics(); }

    // The title of a metric as the settings show it.
    static QString metricTitle(MenuBarPrimaryMetric metric);

Q_SIGNALS:
    void intervalChanged();
    void notificationsChanged();
    void trayChanged();

private:
    std::vector<double> intervals() const;
    void updateTrayRows();

    SystemMonitorStore& m_store;
    MenuBarPreferences& m_tray;
    KeyedListModel m_trayRows;
};

} // namespace kestrum
