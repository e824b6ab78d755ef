#pragma once

#include "MetricGroup.h"
#include "SectionViewModel.h"
#include "monitor/SystemMonitorStore.h"

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The hardware advisor section: the machine's profile (model, components, original service parts) and
// the advice drawn from it, the current sample and the stored history.
class HardwareAdvisorViewModel : public SectionViewModel {
    Q_OBJECT
    QML_NAMED_ELEMENT(HardwareAdvisor)
    QML_SINGLETON
    Q_PROPERTY(bool isDiscovering READ isDiscovering NOTIFY changed)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY changed)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(QString identity READ identity NOTIFY changed)
    Q_PROPERTY(QString catalogNote READ catalogNote NOTIFY changed)
    Q_PROPERTY(KeyedListModel* groups READ groups CONSTANT)

public:
    explicit HardwareAdvisorViewModel(SystemMonitorStore& store, QObject* parent = nullptr);
    static HardwareAdvisorViewModel* create(QQmlEngine* engine, QJSEngine*);

    bool isDiscovering() const { return m_discovering; }
    bool hasProfile() const { return !m_title.isEmpty(); }
    QString title() const { return m_title; }
    QString identity() const { return m_identity; }
    QString catalogNote() const { return m_catalogNote; }
    KeyedListModel* groups() { return m_groups.model(); }
    MetricGroup* group(const QString& key) const { return m_groups.group(key); }

Q_SIGNALS:
    void changed();

protected:
    void rebuild() override;

private:
    SystemMonitorStore& m_store;
    bool m_discovering = false;
    QString m_title;
    QString m_identity;
    QString m_catalogNote;
    MetricGroupList m_groups;
};

} // namespace kestrum
