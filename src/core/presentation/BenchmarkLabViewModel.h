#pragma once

#include "MetricGroup.h"
#include "OperationViewModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The benchmark section: the processor benchmark in its two modes with its operation, and the latest
// stored result as a heading, a repeatability line and its rates.
class BenchmarkLabViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(BenchmarkLab)
    QML_SINGLETON
    Q_PROPERTY(OperationViewModel* benchmark READ benchmark CONSTANT)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY changed)
    Q_PROPERTY(QString resultTitle READ resultTitle NOTIFY changed)
    Q_PROPERTY(QString resultSummary READ resultSummary NOTIFY changed)
    Q_PROPERTY(KeyedListModel* resultGroups READ resultGroups CONSTANT)
    Q_PROPERTY(int resultCount READ resultCount NOTIFY changed)

public:
    explicit BenchmarkLabViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static BenchmarkLabViewModel* create(QQmlEngine* engine, QJSEngine*);

    OperationViewModel* benchmark() { return &m_benchmark; }
    bool hasResult() const { return !m_title.isEmpty(); }
    QString resultTitle() const { return m_title; }
    QString resultSummary() const { return m_summary; }
    KeyedListModel* resultGroups() { return m_groups.model(); }
    MetricGroup* resultGroup(const QString& key) const { return m_groups.group(key); }
    int resultCount() const { return m_count; }

    // Answers whether the benchmark started; when not, its operation's error says why.
    Q_INVOKABLE bool start(bool standard);

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    OperationViewModel m_benchmark;
    QString m_title;
    QString m_summary;
    int m_count = 0;
    MetricGroupList m_groups;
};

} // namespace kestrum
