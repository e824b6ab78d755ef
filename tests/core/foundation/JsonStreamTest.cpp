// The streaming writer and pull reader that every persisted file goes through. Qt's own JSON parser is
// the independent referee: what we write must read back the same there, and what it writes we must read.

#include "foundation/JsonStream.h"

#include "foundation/JsonCodec.h"
#include "foundation/KestrumError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using namespace kestrum;
using namespace kestrum::json;

namespace {

QByteArray written(const QJsonValue& value) {
    JsonWriter writer;
    writer.value(value);
    return writer.take();
}

QJsonValue readBack(const QByteArray& text) {
    JsonReader reader(text);
    QJsonValue value = reader.readValue();
    reader.finish();
    return value;
}

QString decodedString(const QByteArray& literal) {
    JsonReader reader(literal);
    return reader.readString(JsonPath{});
}

} // namespace

TEST(JsonStream, PrettyLayoutOfNestedAndEmptyContainers) {
    JsonWriter w;
    w.beginObject();
    w.key("a");
    w.beginArray();
    w.integer(1);
    w.beginObject();
    w.endObject();
    w.beginArray();
    w.endArray();
    w.endArray();
    w.key("b");
    w.null();
    w.endObject();
    EXPECT_EQ(w.take(), QByteArray("{\n"
                                   "  \"a\" : [\n"
                                   "    1,\n"
                                   "    {},\n"
                                   "    []\n"
                                   "  ],\n"
                                   "  \"b\" : null\n"
                                   "}\n"));
}

TEST(JsonStream, NumbersSurviveTheRoundTripExactly) {
    for (const double d : {0.1 + 0.2, 1e-300, 5e-324, 1.7976931348623157e308, -123456.789, 0.0, 2.5e-7}) {
        JsonWriter w;
        w.number(d);
        const QByteArray text = w.take();
        JsonReader r(text);
        EXPECT_EQ(r.readDouble(JsonPath{}), d) << text.constData();
        EXPECT_EQ(QJsonDocument::fromJson("[" + text + "]").array().at(0).toDouble(), d)
            << "Qt reads it the same";
    }
    // Integers beyond a double's 53 bits stay exact.
    for (const int64_t i : {std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                            int64_t{9007199254740993}}) {
        JsonWriter w;
        w.integer(i);
        const QByteArray text = w.take();
        JsonReader r(text);
        EXPECT_EQ(r.readInt64(JsonPath{}), i) << text.constData();
    }
    JsonWriter w;
    w.unsignedInteger(std::numeric_limits<uint64_t>::max());
    const QByteArray largest = w.take(); // the reader reads in place: the text outlives it
    JsonReader r(largest);
    EXPECT_EQ(r.readUInt64(JsonPath{}), std::numeric_limits<uint64_t>::max());

    // A value that cannot be a number in JSON is written as null and reads back as "no value".
    JsonWriter nan;
    nan.number(std::nan(""));
    const QByteArray nanText = nan.take();
    EXPECT_EQ(nanText, QByteArray("null\n"));
    JsonReader nanReader(nanText);
    EXPECT_TRUE(std::isnan(nanReader.readDouble(JsonPath{})));
}

TEST(JsonStream, IntegerReadsRefuseWhatDoesNotFit) {
    struct Case {
        const char* text;
        bool asSigned; // else unsigned
        bool accepted;
        long double expected;
    } cases[] = {
        {"5.0", true, true, 5},    {"1e3", true, true, 1000},
        {"1.5", true, false, 0},   {"9223372036854775808", true, false, 0}, // one past int64
        {"-1", false, false, 0},   {"18446744073709551615", false, true, 18446744073709551615.0L},
        {"\"7\"", true, false, 0},
    };
    for (const Case& c : cases) {
        JsonReader r{QByteArrayView(c.text)};
        try {
            const long double value = c.asSigned ? static_cast<long double>(r.readInt64(JsonPath{}))
                                                 : static_cast<long double>(r.readUInt64(JsonPath{}));
            EXPECT_TRUE(c.accepted) << c.text;
            EXPECT_EQ(value, c.expected) << c.text;
        } catch (const KestrumError&) {
            EXPECT_FALSE(c.accepted) << c.text;
        }
    }
}

TEST(JsonStream, StringsRoundTripThroughBothParsers) {
    const QString samples[] = {
        QStringLiteral("düz metin ığüşöç İ"),
        QStringLiteral("quote \" backslash \\ slash /"),
        QStringLiteral("lines\nand\ttabs\rand\bcontrol\x01\x1f"),
        QString::fromUtf8("emoji 🙂 and CJK 漢字"),
        QString(QChar(u'\0')) + QStringLiteral("nul inside"),
        QString(),
    };
    for (const QString& s : samples) {
        const QByteArray text = written(QJsonArray{s});
        EXPECT_EQ(QJsonDocument::fromJson(text).array().at(0).toString(), s) << text.constData();
        EXPECT_EQ(readBack(text).toArray().at(0).toString(), s) << text.constData();
        // And what Qt writes, we read.
        EXPECT_EQ(readBack(QJsonDocument(QJsonArray{s}).toJson()).toArray().at(0).toString(), s);
    }
}

TEST(JsonStream, EscapesAndBrokenSurrogates) {
    struct Case {
        const char* literal;
        QString expected;
    } cases[] = {
        {R"("\u0041\u00e7\u011f")", QStringLiteral("Açğ")},
        {R"("\ud83d\ude42")", QString::fromUtf8("🙂")},
        {R"("\ud800")", QString(QChar(0xFFFD))},              // lone high surrogate
        {R"("\udc00x")", QString(QChar(0xFFFD)) + u'x'},      // lone low surrogate
        {R"("\ud800\u0041")", QString(QChar(0xFFFD)) + u'A'}, // the next escape is not lost
        {R"("\ud800\ud83d\ude42")", QString(QChar(0xFFFD)) + QString::fromUtf8("🙂")},
        {R"("a\/b")", QStringLiteral("a/b")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodedString(c.literal), c.expected) << c.literal;
}

TEST(JsonStream, HostileDocumentsAreErrorsNeverCrashes) {
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const QByteArray cases[] = {
        "",
        "   ",
        "{",
        "[1 2]",
        "[1,]",
        "{\"a\" 1}",
        "{1: 2}",
        "{\"a\": 1,}",
        "tru",
        "nul",
        "nan",
        "-",
        "+1",
        "1e",
        "\"unterminated",
        "\"bad escape \\x\"",
        "\"short unicode \\u12\"",
        "\"raw\ncontrol\"",
        "{} trailing",
        "[\"a\"] ]",
        deep,
        QByteArray(300, '{'),
    };
    for (const QByteArray& text : cases) {
        try {
            parseDocument(text);
            ADD_FAILURE() << "accepted: " << text.left(40).constData();
        } catch (const KestrumError& error) {
            EXPECT_EQ(error.code(), QStringLiteral("decoding")) << text.left(40).constData();
            EXPECT_TRUE(error.description().startsWith(QStringLiteral("JSON biçimi bozuk")))
                << text.left(40).constData();
        }
    }
    // Nesting up to the limit is fine.
    EXPECT_NO_THROW(readBack(QByteArray(200, '[') + QByteArray(200, ']')));
}

TEST(JsonStream, SkippingAValueSkipsItWhole) {
    const QByteArray text = R"({"skip": [1, {"x": "]}\"[{"}, [[], {}], null, true, -2.5e3], "keep": 7})";
    JsonReader r(text);
    r.beginObject(JsonPath{});
    std::string_view key;
    std::vector<std::string> seen;
    int64_t kept = 0;
    while (r.nextKey(key)) {
        seen.emplace_back(key);
        if (key == "keep")
            kept = r.readInt64(JsonPath{});
        else
            r.skipValue();
    }
    r.finish();
    EXPECT_EQ(seen, (std::vector<std::string>{"skip", "keep"}));
    EXPECT_EQ(kept, 7);
}

TEST(JsonStream, QtDocumentsRoundTripThroughTheWriterWithSortedKeys) {
    const QJsonObject object{
        {QStringLiteral("zeta"), 1},
        {QStringLiteral("alpha"), QJsonArray{1.5, QStringLiteral("x"), QJsonValue::Null, false}},
        {QStringLiteral("mid"), QJsonObject{{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}}},
        {QStringLiteral("big"), 4503599627370497.0},
    };
    const QByteArray text = written(object);
    EXPECT_LT(text.indexOf("\"alpha\""), text.indexOf("\"big\""));
    EXPECT_LT(text.indexOf("\"mid\""), text.indexOf("\"zeta\""));
    EXPECT_TRUE(text.contains("\"big\" : 4503599627370497")) << "whole numbers are written as integers";
    EXPECT_EQ(readBack(text), QJsonValue(object));
    EXPECT_EQ(QJsonDocument::fromJson(text).object(), object);
}

TEST(JsonStream, KeysAreEscapedLikeStrings) {
    const QString keys[] = {
        QStringLiteral("quote\"inside"),   QStringLiteral("back\\slash"),       QStringLiteral("line\nbreak"),
        QStringLiteral("control\x01\x1f"), QStringLiteral("ığüşöç 🙂"), QString(),
    };
    QJsonObject object;
    for (const QString& key : keys)
        object.insert(key, key.size());
    const QByteArray text = written(QJsonArray{object});
    QJsonParseError error{};
    const QJsonDocument qt = QJsonDocument::fromJson(text, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.constData();
    EXPECT_EQ(qt.array().at(0).toObject(), object) << "Qt reads every key back";
    EXPECT_EQ(readBack(text).toArray().at(0).toObject(), object);
    // The streaming writer's own keys go through the same escaping.
    JsonWriter w;
    w.beginObject();
    w.key(std::string_view("a\"b"));
    w.integer(1);
    w.endObject();
    EXPECT_EQ(QJsonDocument::fromJson(w.take()).object().value(QStringLiteral("a\"b")).toInt(), 1);
}

TEST(JsonStream, TreesAndTextReadTheSameValues) {
    // The tree reader serves decode(); it must see a document exactly as the text reader does.
    const QByteArray text = R"({"a": [1, -2.5, 9007199254740993, "s", null, true], "b": {"c": {}}})";
    JsonReader fromText(text);
    JsonValueReader fromTree(parseDocument(text));
    const auto walk = [](auto& reader) {
        QStringList seen;
        std::function<void()> one = [&] {
            switch (reader.peek(JsonPath{})) {
            case JsonType::null:
                reader.readNull(JsonPath{});
                seen << QStringLiteral("null");
                break;
            case JsonType::boolean:
                seen << (reader.readBool(JsonPath{}) ? QStringLiteral("true") : QStringLiteral("false"));
                break;
            case JsonType::number:
                seen << QString::number(reader.readDouble(JsonPath{}));
                break;
            case JsonType::string:
                seen << reader.readString(JsonPath{});
                break;
            case JsonType::array:
                reader.beginArray(JsonPath{});
                seen << QStringLiteral("[");
                while (reader.nextElement())
                    one();
                seen << QStringLiteral("]");
                break;
            case JsonType::object: {
                reader.beginObject(JsonPath{});
                std::string_view key;
                seen << QStringLiteral("{");
                while (reader.nextKey(key)) {
                    seen << QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
                    one();
                }
                seen << QStringLiteral("}");
                break;
            }
            }
        };
        one();
        return seen;
    };
    const QStringList expected = walk(fromText);
    EXPECT_EQ(walk(fromTree), expected);
    EXPECT_EQ(expected.size(), 17);
}

TEST(JsonStream, ObjectsNamingAKeyTwiceAreRefusedAsTrees) {
    const QByteArray cases[] = {
        R"({"a": 1, "a": 1})", R"({"x": [{"k": 1}, {"k": 1, "j": 2, "k": 3}]})",
        R"({"\u0061": 1, "a": 2})", // the same key, once escaped
    };
    for (const QByteArray& text : cases) {
        try {
            parseDocument(text);
            ADD_FAILURE() << "accepted " << text.constData();
        } catch (const KestrumError& error) {
            EXPECT_TRUE(error.description().startsWith(QStringLiteral("Aynı anahtar"))) << text.constData();
        }
        JsonReader syntaxOnly(text);
        EXPECT_NO_THROW(syntaxOnly.skipValue()) << "still well-formed JSON";
    }
}
