#pragma once

#include "KeyedListModel.h"
#include "measurement/SnapshotPresentation.h"

#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>
#include <map>
#include <memory>

namespace kestrum {

// One metric group as a view shows it: its title, its rows (label and value, keyed by label), or the
// reason it could not be read.
class MetricGroup : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Groups are made by the view models.")
    Q_PROPERTY(QString key READ key CONSTANT)
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(bool isAvailable READ isAvailable NOTIFY changed)
    Q_PROPERTY(QString note READ note NOTIFY changed)
    Q_PROPERTY(KeyedListModel* rows READ rows CONSTANT)

public:
    explicit MetricGroup(QString key, QObject* parent = nullptr);

    QString key() const { return m_key; }
    QString title() const { return m_group.title; }
    bool isAvailable() const { return m_group.isAvailable; }
    QString note() const { return m_group.note; }
    KeyedListModel* rows() { return &m_rows; }
    const PresentationGroup& group() const { return m_group; }
    // The value of the row with this (localised) label, or empty.
    QString valueOf(const QString& label) const;

    void set(const PresentationGroup& group);

Q_SIGNALS:
    void changed();

private:
    QString m_key;
    PresentationGroup m_group;
    KeyedListModel m_rows;
};

// The groups of a snapshot, in order, as one list whose rows each hold their group. A group keeps its
// object (and its delegate) from sample to sample.
class MetricGroupList {
public:
    MetricGroupList();
    KeyedListModel* model() { return &m_model; }
    void update(const std::vector<PresentationGroup>& groups);
    MetricGroup* group(const QString& key) const;

private:
    KeyedListModel m_model;
    std::map<QString, std::unique_ptr<MetricGroup>> m_groups;
};

} // namespace kestrum
