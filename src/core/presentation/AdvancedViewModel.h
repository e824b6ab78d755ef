#pragma once

#include "KeyedListModel.h"
#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "advanced/AdvancedFanControlStore.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The Advanced section: the verified sensors of the current sample (fans, die temperatures) and the fan
// panel, whose boost the fan helper carries out under the safety rules.
class AdvancedViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Advanced)
    QML_SINGLETON
    Q_PROPERTY(MetricGroup* fans READ fans CONSTANT)
    Q_PROPERTY(MetricGroup* temperatures READ temperatures CONSTANT)
    Q_PROPERTY(QString helperStateTitle READ helperStateTitle NOTIFY changed)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY changed)
    Q_PROPERTY(QString blocker READ blocker NOTIFY changed)
    Q_PROPERTY(QString remainingText READ remainingText NOTIFY changed)
    Q_PROPERTY(bool isBoosting READ isBoosting NOTIFY changed)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY changed)
    Q_PROPERTY(bool canStartBoost READ canStartBoost NOTIFY changed)
    Q_PROPERTY(int durationMinutes READ durationMinutes WRITE setDurationMinutes NOTIFY changed)
    Q_PROPERTY(bool maximumSafeProfile READ maximumSafeProfile WRITE setMaximumSafeProfile NOTIFY changed)
    Q_PROPERTY(QStringList helperFanColumns READ helperFanColumns CONSTANT)
    Q_PROPERTY(KeyedListModel* helperFans READ helperFans CONSTANT)

public:
    AdvancedViewModel(SystemMonitorStore& store, AdvancedFanControlStore& fanControl,
                      QObject* parent = nullptr);
    static AdvancedViewModel* create(QQmlEngine* engine, QJSEngine*);

    MetricGroup* fans() { return &m_fans; }
    MetricGroup* temperatures() { return &m_temperatures; }
    QString helperStateTitle() const { return m_fanControl.helperStateTitle(); }
    QString statusMessage() const { return m_fanControl.statusMessage(); }
    QString blocker() const { return m_fanControl.boostBlocker(); }
    QString remainingText() const;
    bool isBoosting() const { return m_fanControl.isBoosting(); }
    bool isRefreshing() const { return m_fanControl.isRefreshing(); }
    bool canStartBoost() const { return m_fanControl.canStartBoost(); }
    int durationMinutes() const { return m_fanControl.durationMinutes(); }
    void setDurationMinutes(int minutes) { m_fanControl.setDurationMinutes(minutes); }
    bool maximumSafeProfile() const { return m_fanControl.maximumSafeProfile(); }
    void setMaximumSafeProfile(bool on) { m_fanControl.setMaximumSafeProfile(on); }
    QStringList helperFanColumns() const;
    KeyedListModel* helperFans() { return &m_helperFans; }

    Q_INVOKABLE void refreshFans() { m_fanControl.refreshNow(); }
    Q_INVOKABLE void startBoost() { m_fanControl.startBoostNow(); }
    Q_INVOKABLE void stopBoost() { m_fanControl.stopBoostNow(); }

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    void rebuildHelperFans();

    SystemMonitorStore& m_store;
    AdvancedFanControlStore& m_fanControl;
    MetricGroup m_fans;
    MetricGroup m_temperatures;
    KeyedListModel m_helperFans;
};

} // namespace kestrum
