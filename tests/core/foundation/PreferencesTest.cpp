#include "TestSupport.h"
#include "foundation/JsonFilePreferencesStore.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace kestrum;

TEST(JsonFilePreferencesStore, ValuesKeepTheirTypesAcrossInstances) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/config/preferences.json");
    {
        JsonFilePreferencesStore store(path);
        store.setValue(QStringLiteral("b"), true);
        store.setValue(QStringLiteral("n"), 2.5);
        store.setValue(QStringLiteral("t"), QStringLiteral("yazı"));
        store.setValue(QStringLiteral("d"), Date{42.5});
        store.setValue(QStringLiteral("x"), QByteArray("\x00\x01\xff", 3));
        store.setValue(QStringLiteral("gone"), 1.0);
        store.remove(QStringLiteral("gone"));
    }
    JsonFilePreferencesStore reopened(path);
    EXPECT_EQ(reopened.boolValue(QStringLiteral("b")), true);
    EXPECT_EQ(reopened.numberValue(QStringLiteral("n")), 2.5);
    EXPECT_EQ(reopened.textValue(QStringLiteral("t")), QStringLiteral("yazı"));
    EXPECT_EQ(reopened.dateValue(QStringLiteral("d")), Date{42.5});
    EXPECT_EQ(reopened.dataValue(QStringLiteral("x")), QByteArray("\x00\x01\xff", 3));
    EXPECT_FALSE(reopened.value(QStringLiteral("gone")));
    // A typed read of another type is absent, not converted.
    EXPECT_FALSE(reopened.boolValue(QStringLiteral("n")));
    EXPECT_FALSE(reopened.dateValue(QStringLiteral("n")));
}

TEST(JsonFilePreferencesStore, TwoProcessesDoNotUndoEachOthersChanges) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    JsonFilePreferencesStore first(path);
    JsonFilePreferencesStore second(path);
    first.setValue(QStringLiteral("a"), 1.0);
    second.setValue(QStringLiteral("b"), 2.0);
    JsonFilePreferencesStore third(path);
    EXPECT_EQ(third.numberValue(QStringLiteral("a")), 1.0);
    EXPECT_EQ(third.numberValue(QStringLiteral("b")), 2.0);
}

TEST(JsonFilePreferencesStore, AMalformedFileIsMovedAsideNotOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    test::writeFile(path, "{ this is not json");
    JsonFilePreferencesStore store(path);
    EXPECT_FALSE(store.loadProblem().isEmpty());
    store.setValue(QStringLiteral("a"), true);
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("preferences.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(test::readFile(dir.path() + u'/' + aside.first()), QByteArray("{ this is not json"));
    EXPECT_EQ(JsonFilePreferencesStore(path).boolValue(QStringLiteral("a")), true);
}

TEST(JsonFilePreferencesStore, UnknownEntryShapesAreSkipped) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    test::writeFile(
        path,
        R"({"ok": {"type": "bool", "value": false}, "odd": {"type": "bool", "value": "yes"}, "bare": 3})");
    JsonFilePreferencesStore store(path);
    EXPECT_EQ(store.boolValue(QStringLiteral("ok")), false);
    EXPECT_FALSE(store.value(QStringLiteral("odd")));
    EXPECT_FALSE(store.value(QStringLiteral("bare")));
}
