// The shared list model: rows follow their keys, only changed roles are reported, never a reset.

#include "presentation/KeyedListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <random>

using namespace kestrum;

namespace {

using Row = KeyedListModel::Row;

// Rows named by their keys; each row's value is `key + suffix`.
std::vector<Row> rowsOf(const QStringList& keys, const QString& suffix = {}) {
    std::vector<Row> rows;
    for (const QString& key : keys)
        rows.push_back({key, {key + suffix, 1}});
    return rows;
}

QStringList keysOf(const KeyedListModel& model) {
    QStringList keys;
    for (int i = 0; i < model.count(); ++i)
        keys.append(model.keyAt(i));
    return keys;
}

struct Spies {
    explicit Spies(KeyedListModel& m)
        : inserted(&m, &QAbstractItemModel::rowsInserted), removed(&m, &QAbstractItemModel::rowsRemoved),
          moved(&m, &QAbstractItemModel::rowsMoved), changed(&m, &QAbstractItemModel::dataChanged),
          reset(&m, &QAbstractItemModel::modelReset) {}
    QSignalSpy inserted, removed, moved, changed, reset;
};

} // namespace

TEST(KeyedListModel, TellsTheViewOnlyWhatChanged) {
    struct Case {
        const char* name;
        QStringList before;
        QStringList after;
        QString suffix; // a new value for every row that stays
        int inserted, removed, moved, changed;
    } cases[] = {
        {"same rows, same values: silence", {"a", "b", "c"}, {"a", "b", "c"}, {}, 0, 0, 0, 0},
        {"same rows, new values: one change per row", {"a", "b"}, {"a", "b"}, "!", 0, 0, 0, 2},
        {"rows added at the end come in one insertion", {"a"}, {"a", "b", "c", "d"}, {}, 1, 0, 0, 0},
        {"the first fill is one insertion", {}, {"a", "b", "c"}, {}, 1, 0, 0, 0},
        {"a row in the middle goes", {"a", "b", "c"}, {"a", "c"}, {}, 0, 1, 0, 0},
        {"a run of rows goes at once", {"a", "b", "c", "d"}, {"a", "d"}, {}, 0, 1, 0, 0},
        {"everything goes", {"a", "b"}, {}, {}, 0, 1, 0, 0},
        {"a row moves up", {"a", "b", "c"}, {"c", "a", "b"}, {}, 0, 0, 1, 0},
        {"removal, insertion and a move together", {"a", "b", "c", "d"}, {"d", "x", "a"}, {}, 1, 1, 1, 0},
    };
    for (const Case& c : cases) {
        KeyedListModel model({"value", "weight"});
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.update(rowsOf(c.before));
        Spies spies(model);
        model.update(rowsOf(c.after, c.suffix));
        EXPECT_EQ(keysOf(model), c.after) << c.name;
        for (int i = 0; i < model.count(); ++i)
            EXPECT_EQ(model.value(i, "value").toString(), c.after[i] + c.suffix) << c.name;
        EXPECT_EQ(spies.inserted.count(), c.inserted) << c.name;
        EXPECT_EQ(spies.removed.count(), c.removed) << c.name;
        EXPECT_EQ(spies.moved.count(), c.moved) << c.name;
        EXPECT_EQ(spies.changed.count(), c.changed) << c.name;
        EXPECT_EQ(spies.reset.count(), 0) << c.name;
    }
}

TEST(KeyedListModel, ReportsOnlyTheRolesThatChanged) {
    KeyedListModel model({"title", "value"});
    model.update({{"cpu", {"İşlemci", "12%"}}});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.update({{"cpu", {"İşlemci", "14%"}}});
    ASSERT_EQ(changed.count(), 1);
    const auto roles = changed.front().at(2).value<QList<int>>();
    EXPECT_EQ(roles, QList<int>{model.roleNames().key("value")});
    EXPECT_EQ(model.data(model.index(0), model.roleNames().key("value")).toString(), QStringLiteral("14%"));
    EXPECT_FALSE(model.data(model.index(0), Qt::DisplayRole).isValid()) << "only the named roles exist";
}

TEST(KeyedListModel, RepeatedKeysKeepEveryRow) {
    KeyedListModel model({"value"});
    model.update({{"x", {1}}, {"x", {2}}, {"y", {3}}, {"x", {4}}});
    ASSERT_EQ(model.count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(model.value(i, "value").toInt(), i + 1);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.update({{"x", {1}}, {"x", {2}}, {"y", {3}}, {"x", {5}}});
    EXPECT_EQ(inserted.count() + removed.count(), 0) << "the repeated rows are matched again, not rebuilt";
    EXPECT_EQ(model.value(3, "value").toInt(), 5);
}

// Random lists from a small alphabet, one after another: the model always ends equal to the list it
// was given and never breaks the item model rules on the way.
TEST(KeyedListModel, AnySequenceOfListsEndsInTheListGiven) {
    std::mt19937 random(20250514);
    KeyedListModel model({"value"});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy counts(&model, &KeyedListModel::countChanged);
    int countChanges = 0;
    int previousCount = 0;
    for (int round = 0; round < 300; ++round) {
        QStringList keys;
        const int length = std::uniform_int_distribution<int>(0, 12)(random);
        for (int i = 0; i < length; ++i)
            keys.append(QString(QChar(u'a' + std::uniform_int_distribution<int>(0, 14)(random))));
        std::vector<Row> rows;
        for (const QString& key : keys)
            rows.push_back({key, {key + QString::number(round % 3)}});
        model.update(rows);
        ASSERT_EQ(model.count(), keys.size()) << round;
        for (int i = 0; i < model.count(); ++i)
            ASSERT_EQ(model.value(i, "value").toString(), keys[i] + QString::number(round % 3)) << round;
        countChanges += model.count() != previousCount;
        previousCount = model.count();
    }
    EXPECT_EQ(reset.count(), 0);
    EXPECT_EQ(counts.count(), countChanges) << "count is announced exactly when it changes";
}
