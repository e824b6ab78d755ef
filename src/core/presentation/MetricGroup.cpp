#include "MetricGroup.h"

#include <QJSEngine>

namespace kestrum {

MetricGroup::MetricGroup(QString key, QObject* parent)
    : QObject(parent), m_key(std::move(key)), m_rows({"label", "value"}) {}

QString MetricGroup::valueOf(const QString& label) const {
    for (const PresentationRow& row : m_group.rows) {
        if (row.label == label)
            return row.value;
    }
    return {};
}

void MetricGroup::set(const PresentationGroup& group) {
    const bool headerChanged = group.title != m_group.title || group.isAvailable != m_group.isAvailable ||
                               group.note != m_group.note;
    m_group = group;
    std::vector<KeyedListModel::Row> rows;
    rows.reserve(group.rows.size());
    for (const PresentationRow& row : group.rows)
        rows.push_back({row.label, {row.label, row.value}});
    m_rows.update(std::move(rows));
    if (headerChanged)
        Q_EMIT changed();
}

MetricGroupList::MetricGroupList() : m_model({"group"}) {}

MetricGroup* MetricGroupList::group(const QString& key) const {
    const auto it = m_groups.find(key);
    return it == m_groups.end() ? nullptr : it->second.get();
}

void MetricGroupList::update(const std::vector<PresentationGroup>& groups) {
    std::vector<KeyedListModel::Row> rows;
    std::map<QString, std::unique_ptr<MetricGroup>> kept;
    for (const PresentationGroup& g : groups) {
        auto it = m_groups.find(g.key);
        std::unique_ptr<MetricGroup> object;
        if (it != m_groups.end()) {
            object = std::move(it->second);
        } else {
            object = std::make_unique<MetricGroup>(g.key);
            QJSEngine::setObjectOwnership(object.get(), QJSEngine::CppOwnership);
        }
        object->set(g);
        rows.push_back({g.key, {QVariant::fromValue(object.get())}});
        kept[g.key] = std::move(object);
    }
    // The list lets go of the rows that went before their objects are deleted.
    m_model.update(std::move(rows));
    m_groups = std::move(kept);
}

} // namespace kestrum
