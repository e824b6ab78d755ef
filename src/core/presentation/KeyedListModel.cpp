#include "KeyedListModel.h"

#include <QSet>

namespace kestrum {

KeyedListModel::KeyedListModel(QList<QByteArray> roleNames, QObject* parent)
    : QAbstractListModel(parent), m_roleNames(std::move(roleNames)) {}

QHash<int, QByteArray> KeyedListModel::roleNames() const {
    QHash<int, QByteArray> names;
    for (int i = 0; i < m_roleNames.size(); ++i)
        names.insert(Qt::UserRole + i, m_roleNames[i]);
    names.insert(keyRole(), QByteArrayLiteral("key"));
    return names;
}

int KeyedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant KeyedListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    if (role == keyRole())
        return row.key;
    const int column = role - Qt::UserRole;
    if (column < 0 || column >= row.values.size())
        return {};
    return row.values[column];
}

QString KeyedListModel::keyAt(int row) const {
    return row >= 0 && row < count() ? m_rows[static_cast<size_t>(row)].key : QString();
}

int KeyedListModel::indexOf(const QString& key) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

int KeyedListModel::keyRole() const {
    return Qt::UserRole + static_cast<int>(m_roleNames.size());
}

QVariant KeyedListModel::value(int row, const QByteArray& role) const {
    const int column = static_cast<int>(m_roleNames.indexOf(role));
    if (row < 0 || row >= count() || column < 0)
        return {};
    return m_rows[static_cast<size_t>(row)].values.value(column);
}

void KeyedListModel::update(std::vector<Row> rows) {
    const int before = count();
    // Keys are the rows' identity: a repeated one gets a suffix instead of hiding a row.
    QSet<QString> wanted;
    wanted.reserve(static_cast<qsizetype>(rows.size()));
    for (Row& row : rows) {
        if (wanted.contains(row.key)) {
            QString unique;
            int n = 1;
            do {
                unique = row.key + QChar(0x1f) + QString::number(n++);
            } while (wanted.contains(unique));
            row.key = unique;
        }
        wanted.insert(row.key);
    }

    // Rows that are gone, a contiguous run at a time, from the end.
    for (int last = count() - 1; last >= 0;) {
        if (wanted.contains(m_rows[static_cast<size_t>(last)].key)) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && !wanted.contains(m_rows[static_cast<size_t>(first - 1)].key))
            --first;
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }

    QSet<QString> shown;
    shown.reserve(count());
    for (const Row& row : m_rows)
        shown.insert(row.key);

    const auto refresh = [this](size_t at, QVariantList& values) {
        Row& row = m_rows[at];
        QList<int> changed;
        for (qsizetype r = 0; r < values.size(); ++r) {
            if (r >= row.values.size() || row.values[r] != values[r])
                changed.append(Qt::UserRole + static_cast<int>(r));
        }
        if (changed.isEmpty() && row.values.size() == values.size())
            return;
        row.values = std::move(values);
        const QModelIndex index = this->index(static_cast<int>(at));
        Q_EMIT dataChanged(index, index, changed);
    };

    for (size_t i = 0; i < rows.size();) {
        if (i < m_rows.size() && m_rows[i].key == rows[i].key) {
            refresh(i, rows[i].values);
            ++i;
            continue;
        }
        if (shown.contains(rows[i].key)) {
            // Shown further down: move it up here.
            size_t from = i + 1;
            while (m_rows[from].key != rows[i].key)
                ++from;
            beginMoveRows({}, static_cast<int>(from), static_cast<int>(from), {}, static_cast<int>(i));
            Row moving = std::move(m_rows[from]);
            m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(from));
            m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(i), std::move(moving));
            endMoveRows();
            refresh(i, rows[i].values);
            ++i;
            continue;
        }
        // A run of new rows, inserted at once.
        size_t end = i;
        while (end < rows.size() && !shown.contains(rows[end].key))
            ++end;
        beginInsertRows({}, static_cast<int>(i), static_cast<int>(end - 1));
        m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(i),
                      std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(i)),
                      std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(end)));
        endInsertRows();
        i = end;
    }
    if (count() != before)
        Q_EMIT countChanged();
}

} // namespace kestrum
