#pragma once

#include "MetricGroup.h"
#include "OperationViewModel.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The health test section: the quick and the deep test, each with its operation (start, progress,
// cancel, refusal, error) and its latest stored result as a heading, a score line and groups
// (findings, components, measurements, notes).
class HealthTestViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(HealthTest)
    QML_SINGLETON
    Q_PROPERTY(OperationViewModel* quick READ quick CONSTANT)
    Q_PROPERTY(OperationViewModel* deep READ deep CONSTANT)
    Q_PROPERTY(bool hasQuickResult READ hasQuickResult NOTIFY changed)
    Q_PROPERTY(QString quickTitle READ quickTitle NOTIFY changed)
    Q_PROPERTY(QString quickSummary READ quickSummary NOTIFY changed)
    Q_PROPERTY(KeyedListModel* quickGroups READ quickGroups CONSTANT)
    Q_PROPERTY(bool hasDeepResult READ hasDeepResult NOTIFY changed)
    Q_PROPERTY(QString deepTitle READ deepTitle NOTIFY changed)
    Q_PROPERTY(QString deepSummary READ deepSummary NOTIFY changed)
    Q_PROPERTY(KeyedListModel* deepGroups READ deepGroups CONSTANT)

public:
    explicit HealthTestViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static HealthTestViewModel* create(QQmlEngine* engine, QJSEngine*);

    OperationViewModel* quick() { return &m_quick; }
    OperationViewModel* deep() { return &m_deep; }
    bool hasQuickResult() const { return !m_quickTitle.isEmpty(); }
    QString quickTitle() const { return m_quickTitle; }
    QString quickSummary() const { return m_quickSummary; }
    KeyedListModel* quickGroups() { return m_quickGroups.model(); }
    MetricGroup* quickGroup(const QString& key) const { return m_quickGroups.group(key); }
    bool hasDeepResult() const { return !m_deepTitle.isEmpty(); }
    QString deepTitle() const { return m_deepTitle; }
    QString deepSummary() const { return m_deepSummary; }
    KeyedListModel* deepGroups() { return m_deepGroups.model(); }
    MetricGroup* deepGroup(const QString& key) const { return m_deepGroups.group(key); }

    // Each answers whether the test started; when not, its operation's error says why.
    Q_INVOKABLE bool startQuick();
    Q_INVOKABLE bool startDeep();

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    OperationViewModel m_quick;
    OperationViewModel m_deep;
    QString m_quickTitle;
    QString m_quickSummary;
    MetricGroupList m_quickGroups;
    QString m_deepTitle;
    QString m_deepSummary;
    MetricGroupList m_deepGroups;
};

} // namespace kestrum
