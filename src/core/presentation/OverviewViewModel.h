#pragma once

#include "KeyedListModel.h"
#include "MetricFigure.h"
#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The overview: the verdict, four headline figures with their sparklines, the per-core bars and every
// metric group. Every value is formatted and localised here; the view only places them.
class OverviewViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(Overview)
    QML_SINGLETON
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY verdictChanged)
    Q_PROPERTY(QString level READ level NOTIFY verdictChanged)
    Q_PROPERTY(QString levelLabel READ levelLabel NOTIFY verdictChanged)
    Q_PROPERTY(QString title READ title NOTIFY verdictChanged)
    Q_PROPERTY(QString symbol READ symbol NOTIFY verdictChanged)
    Q_PROPERTY(QString reason READ reason NOTIFY verdictChanged)
    Q_PROPERTY(MetricFigure* cpu READ cpu CONSTANT)
    Q_PROPERTY(MetricFigure* memory READ memory CONSTANT)
    Q_PROPERTY(MetricFigure* download READ download CONSTANT)
    Q_PROPERTY(MetricFigure* battery READ battery CONSTANT)
    Q_PROPERTY(KeyedListModel* cores READ cores CONSTANT)
    Q_PROPERTY(KeyedListModel* groups READ groups CONSTANT)

public:
    // A core at or above this share is drawn as busy.
    static constexpr double kBusyCore = 0.9;

    explicit OverviewViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static OverviewViewModel* create(QQmlEngine* engine, QJSEngine*);

    QString subtitle() const { return m_subtitle; }
    QString level() const { return m_level; }
    QString levelLabel() const { return m_levelLabel; }
    QString title() const { return m_title; }
    QString symbol() const { return m_symbol; }
    QString reason() const { return m_reason; }
    MetricFigure* cpu() { return &m_cpu; }
    MetricFigure* memory() { return &m_memory; }
    MetricFigure* download() { return &m_download; }
    MetricFigure* battery() { return &m_battery; }
    KeyedListModel* cores() { return &m_cores; }
    KeyedListModel* groups() { return m_groups.model(); }
    MetricGroup* group(const QString& key) const { return m_groups.group(key); }

    // F5: a sample now.
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void verdictChanged();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    QString m_subtitle, m_level, m_levelLabel, m_title, m_symbol, m_reason;
    MetricFigure m_cpu;
    MetricFigure m_memory;
    MetricFigure m_download;
    MetricFigure m_battery;
    KeyedListModel m_cores;
    MetricGroupList m_groups;
};

} // namespace kestrum
