#pragma once

#include "MetricFigure.h"
#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The battery section: the charge as a figure and a bar, its state and remaining time, and the whole
// battery group.
class BatteryViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Battery)
    QML_SINGLETON
    Q_PROPERTY(bool isPresent READ isPresent NOTIFY changed)
    Q_PROPERTY(bool hasCharge READ hasCharge NOTIFY changed)
    Q_PROPERTY(qreal charge READ charge NOTIFY changed)
    Q_PROPERTY(bool isLow READ isLow NOTIFY changed)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY changed)
    Q_PROPERTY(MetricFigure* figure READ figure CONSTANT)
    Q_PROPERTY(MetricGroup* group READ group CONSTANT)

public:
    // Below this charge the bar is drawn as low.
    static constexpr double kLowCharge = 0.2;

    explicit BatteryViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static BatteryViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool isPresent() const { return m_isPresent; }
    bool hasCharge() const { return m_charge.has_value(); }
    qreal charge() const { return m_charge.value_or(0); }
    bool isLow() const { return m_charge && *m_charge < kLowCharge; }
    QString statusLine() const { return m_statusLine; }
    MetricFigure* figure() { return &m_figure; }
    MetricGroup* group() { return &m_group; }

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    bool m_isPresent = false;
    std::optional<double> m_charge;
    QString m_statusLine;
    MetricFigure m_figure;
    MetricGroup m_group;
};

} // namespace kestrum
