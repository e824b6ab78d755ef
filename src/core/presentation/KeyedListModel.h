#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QtQmlIntegration/qqmlintegration.h>
#include <vector>

namespace kestrum {

// The one list model behind every list a view shows. Each row has a stable key; `update` compares the
// new rows with the shown ones by key and tells the view only what changed — rows removed, inserted or
// moved, and the roles whose values changed — so a delegate stays alive as long as its row does and a
// new sample only rewrites the values that moved.
class KeyedListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Lists are made by the view models.")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    struct Row {
        QString key;
        QVariantList values; // one per role, in the order of the role names
    };

    // Besides these roles every row has the role "key".
    explicit KeyedListModel(QList<QByteArray> roleNames, QObject* parent = nullptr);

    // Makes the shown rows equal to `rows`. A key given twice keeps its first row; the later ones get
    // a key of their own so that no row is lost.
    void update(std::vector<Row> rows);
    int count() const { return static_cast<int>(m_rows.size()); }
    QString keyAt(int row) const;
    int indexOf(const QString& key) const;
    // The value of a role by name, for C++ callers and tests.
    QVariant value(int row, const QByteArray& role) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    int keyRole() const;

    QList<QByteArray> m_roleNames;
    std::vector<Row> m_rows;
};

} // namespace kestrum
