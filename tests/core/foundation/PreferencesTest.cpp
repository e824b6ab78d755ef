#include "TestSupport.h"
#include "foundation/JsonFilePreferencesStore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <thread>

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

TEST(JsonFilePreferencesStore, EntriesOfUnknownShapeAreNotReadButKept) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    test::writeFile(path, R"({"ok": {"type": "bool", "value": false}, "odd": {"type": "bool", "value": "yes"},
        "bare": 3, "later": {"type": "colour", "value": "#336699"}})");
    JsonFilePreferencesStore store(path);
    EXPECT_EQ(store.boolValue(QStringLiteral("ok")), false);
    for (const char* key : {"odd", "bare", "later"})
        EXPECT_FALSE(store.value(QLatin1String(key))) << key;
    // A change by this version writes another version's entries back as they were.
    store.setValue(QStringLiteral("new"), 1.0);
    const QJsonObject file = QJsonDocument::fromJson(test::readFile(path)).object();
    EXPECT_EQ(file.value(QStringLiteral("bare")), QJsonValue(3));
    EXPECT_EQ(file.value(QStringLiteral("later")).toObject().value(QStringLiteral("type")).toString(),
              QStringLiteral("colour"));
    EXPECT_EQ(file.value(QStringLiteral("odd")).toObject().value(QStringLiteral("value")).toString(),
              QStringLiteral("yes"));
    // Setting one of them replaces it; removing one removes it.
    store.setValue(QStringLiteral("odd"), true);
    store.remove(QStringLiteral("bare"));
    JsonFilePreferencesStore reopened(path);
    EXPECT_EQ(reopened.boolValue(QStringLiteral("odd")), true);
    EXPECT_FALSE(QJsonDocument::fromJson(test::readFile(path)).object().contains(QStringLiteral("bare")));
}

TEST(JsonFilePreferencesStore, ADocumentNamingAKeyTwiceIsMalformed) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    const QByteArray twice =
        R"({"a": {"type": "bool", "value": true}, "a": {"type": "bool", "value": false}})";
    test::writeFile(path, twice);
    JsonFilePreferencesStore store(path);
    EXPECT_FALSE(store.loadProblem().isEmpty());
    EXPECT_FALSE(store.value(QStringLiteral("a")));
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("preferences.json.unreadable-*")});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(test::readFile(dir.path() + u'/' + aside.first()), twice);
}

TEST(JsonFilePreferencesStore, ChangesRacingFromTwoWritersAreAllKept) {
    // Two stores on one file behave as two processes: each re-reads and replaces the file.
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/preferences.json");
    constexpr int kChanges = 25;
    const auto writer = [&](QString prefix) {
        JsonFilePreferencesStore store(path);
        for (int i = 0; i < kChanges; ++i)
            store.setValue(prefix + QString::number(i), double(i));
    };
    std::thread first(writer, QStringLiteral("first."));
    std::thread second(writer, QStringLiteral("second."));
    first.join();
    second.join();
    JsonFilePreferencesStore result(path);
    int missing = 0;
    for (const char* prefix : {"first.", "second."}) {
        for (int i = 0; i < kChanges; ++i)
            missing += !result.numberValue(QLatin1String(prefix) + QString::number(i));
    }
    EXPECT_EQ(missing, 0) << "changes lost to the other writer";
    EXPECT_TRUE(result.loadProblem().isEmpty());
}
