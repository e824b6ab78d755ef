#include "foundation/JsonCodec.h"

#include "TestSupport.h"
#include "localisation/L10n.h"
#include "measurement/ThermalLevel.h"

#include <functional>
#include <gtest/gtest.h>
#include <variant>

using namespace kestrum;

namespace {

struct Inner {
    int count = 0;
    bool operator==(const Inner&) const = default;
};

struct Sample {
    QUuid id;
    Date when;
    uint64_t bytes = 0;
    int64_t signedValue = 0;
    std::optional<double> fraction;
    std::optional<QString> note;
    ThermalLevel level = ThermalLevel::nominal;
    std::vector<Inner> inners;
    std::vector<QString> laterList; // may be missing in older files
    std::set<QString> names;
    bool operator==(const Sample&) const = default;
};

} // namespace

namespace kestrum::json {
template <> struct JsonRecord<Inner> {
    static constexpr auto fields = std::tuple{field("count", &Inner::count)};
};
template <> struct JsonRecord<Sample> {
    static constexpr auto fields = std::tuple{field("id", &Sample::id),
                                              field("when", &Sample::when),
                                              field("bytes", &Sample::bytes),
                                              field("signedValue", &Sample::signedValue),
                                              field("fraction", &Sample::fraction),
                                              field("note", &Sample::note),
                                              field("level", &Sample::level),
                                              field("inners", &Sample::inners),
                                              fieldEmptyWhenMissing("laterList", &Sample::laterList),
                                              field("names", &Sample::names)};
};
} // namespace kestrum::json

TEST(JsonCodec, EncodesAndDecodesEveryKindOfField) {
    Sample s;
    s.id = QUuid::createUuid();
    s.when = Date{123456.789};
    s.bytes = 18'000'000'000'000'000'000ull; // beyond the signed range
    s.signedValue = -42;
    s.fraction = 0.1 + 0.2;
    s.level = ThermalLevel::critical;
    s.inners = {{1}, {2}};
    s.names = {QStringLiteral("b"), QStringLiteral("a")};
    const QJsonValue encoded = json::encode(s);
    const QJsonObject o = encoded.toObject();
    EXPECT_FALSE(o.contains(QStringLiteral("note"))) << "absent optional omitted";
    EXPECT_EQ(o.value(QStringLiteral("names")).toArray(),
              (QJsonArray{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(o.value(QStringLiteral("level")).toString(), QStringLiteral("critical"));
    EXPECT_EQ(o.value(QStringLiteral("id")).toString(), o.value(QStringLiteral("id")).toString().toUpper());

    // Through text and back: doubles survive exactly, large counts saturate rather than wrap.
    const QJsonValue reparsed = json::parseDocument(json::toDocumentBytes(encoded));
    Sample decoded = json::decode<Sample>(reparsed);
    EXPECT_EQ(decoded.fraction, s.fraction);
    EXPECT_EQ(decoded.when, s.when);
    EXPECT_GE(decoded.bytes, 17'999'999'999'999'000'000ull);
    decoded.bytes = s.bytes;
    EXPECT_EQ(decoded, s);
}

TEST(JsonCodec, RejectsWhatDoesNotFit) {
    const QJsonObject base = json::encode(Sample{}).toObject();
    struct Case {
        const char* name;
        QString key;
        QJsonValue value;
        bool remove;
    } cases[] = {
        {"fractional integer", QStringLiteral("signedValue"), 1.5, false},
        {"negative unsigned", QStringLiteral("bytes"), -1, false},
        {"string for number", QStringLiteral("bytes"), QStringLiteral("12"), false},
        {"unknown enum text", QStringLiteral("level"), QStringLiteral("Critical"), false},
        {"missing required list", QStringLiteral("inners"), {}, true},
        {"missing required date", QStringLiteral("when"), {}, true},
        {"object for array", QStringLiteral("names"), QJsonObject{}, false},
    };
    for (const auto& c : cases) {
        QJsonObject o = base;
        if (c.remove)
            o.remove(c.key);
        else
            o.insert(c.key, c.value);
        EXPECT_THROW(json::decode<Sample>(o), KestrumError) << c.name;
    }
    QJsonObject older = base;
    older.remove(QStringLiteral("laterList"));
    EXPECT_NO_THROW(json::decode<Sample>(older)) << "lists of a later layout decode as empty";
    older.insert(QStringLiteral("note"), QJsonValue::Null);
    EXPECT_FALSE(json::decode<Sample>(older).note);
}

namespace {

struct Numbers {
    int small = 0;
    uint64_t count = 0;
    double fraction = 0;
    std::optional<double> rate;
    Date when;
    bool operator==(const Numbers&) const = default;
};

struct Carrier {
    int a = 0;
    std::optional<Inner> inner;
    QJsonObject unknownFields;
    bool operator==(const Carrier&) const = default;
};

// Outcome of decoding: the record, or the error's description.
template <class T> std::variant<T, QString> outcome(const std::function<T()>& decodeIt) {
    try {
        return decodeIt();
    } catch (const KestrumError& error) {
        EXPECT_EQ(error.code(), QStringLiteral("decoding"));
        return error.description();
    }
}

// The same document through both forms: the text reader, and a tree built from the text.
template <class T>
std::pair<std::variant<T, QString>, std::variant<T, QString>> bothForms(const QByteArray& text) {
    const auto fromText = outcome<T>([&] { return json::readDocument<T>(text); });
    const auto fromTree = outcome<T>([&] { return json::decode<T>(json::parseDocument(text)); });
    return {fromText, fromTree};
}

} // namespace

namespace kestrum::json {
template <> struct JsonRecord<Numbers> {
    static constexpr auto fields =
        std::tuple{field("small", &Numbers::small), field("count", &Numbers::count),
                   field("fraction", &Numbers::fraction).within(0, 1),
                   field("rate", &Numbers::rate).within(0, 1e12), field("when", &Numbers::when)};
};
template <> struct JsonRecord<Carrier> {
    static constexpr auto fields = std::tuple{field("a", &Carrier::a), field("inner", &Carrier::inner)};
    static constexpr auto unknownFields = &Carrier::unknownFields;
};
} // namespace kestrum::json

TEST(JsonCodec, NumbersAreHeldToWhatTheFieldCanHoldInBothForms) {
    struct Case {
        const char* member; // replaces the default of that member
        const char* value;
        const char* errorFragment; // null: accepted
        double expected = 0;
    } cases[] = {
        {"small", "5.0", nullptr, 5},
        {"small", "-0", nullptr, 0},
        {"small", "1e3", nullptr, 1000},
        {"small", "1.5", "türü beklenenden farklı: small"},
        {"small", "1e30", "aralığın dışında: small"},
        {"small", "2147483648", "aralığın dışında: small"},
        {"small", "1e999", "aralığın dışında: small"},
        {"count", "-1", "aralığın dışında: count"},
        {"count", "1e30", "aralığın dışında: count"},
        {"count", "9007199254740993", nullptr, 9007199254740993.0},
        {"fraction", "1", nullptr, 1},
        {"fraction", "1.5", "aralığın dışında: fraction"},
        {"fraction", "1e300", "aralığın dışında: fraction"},
        {"fraction", "-1e-9", "aralığın dışında: fraction"},
        {"fraction", "null", "aralığın dışında: fraction"}, // no number is not a fraction either
        {"rate", "1e-400", nullptr, 0},                     // too small to tell from zero
        {"rate", "1e999", "aralığın dışında: rate"},
        {"rate", "-5", "aralığın dışında: rate"},
        {"when", "null", "türü beklenenden farklı: when"},
        {"when", "\"12\"", "türü beklenenden farklı: when"},
        {"when", "1e999", "aralığın dışında: when"},
    };
    for (const Case& c : cases) {
        QJsonObject members{{QStringLiteral("small"), QStringLiteral("1")},
                            {QStringLiteral("count"), QStringLiteral("2")},
                            {QStringLiteral("fraction"), QStringLiteral("0.5")},
                            {QStringLiteral("when"), QStringLiteral("3")}};
        members.insert(QLatin1String(c.member), QLatin1String(c.value));
        QByteArray text = "{";
        for (auto it = members.begin(); it != members.end(); ++it)
            text += (text.size() > 1 ? ", \"" : "\"") + it.key().toUtf8() +
                    "\": " + it.value().toString().toUtf8();
        text += "}";
        const auto [fromText, fromTree] = bothForms<Numbers>(text);
        EXPECT_EQ(fromText, fromTree) << "the two forms disagree on " << text.constData();
        if (!c.errorFragment) {
            ASSERT_TRUE(std::holds_alternative<Numbers>(fromText))
                << text.constData() << ": " << std::get<QString>(fromText).toStdString();
            const Numbers& n = std::get<Numbers>(fromText);
            const std::string member = c.member;
            const double actual = member == "small"   ? n.small
                                  : member == "count" ? static_cast<double>(n.count)
                                  : member == "rate"  ? n.rate.value_or(-1)
                                                      : n.fraction;
            EXPECT_EQ(actual, c.expected) << text.constData();
        } else {
            ASSERT_TRUE(std::holds_alternative<QString>(fromText)) << "accepted " << text.constData();
            EXPECT_TRUE(std::get<QString>(fromText).contains(QString::fromUtf8(c.errorFragment)))
                << text.constData() << ": " << std::get<QString>(fromText).toStdString();
        }
    }
    // Past a double's exact range the text form stays exact.
    EXPECT_EQ(
        json::readDocument<Numbers>(QByteArray(R"({"small": 1, "count": 18446744073709551615, "fraction": 0,
        "when": 0})"))
            .count,
        18446744073709551615ull);
}

TEST(JsonCodec, UnknownFieldsAreCarriedInKeyOrderAndDuplicatesRefused) {
    // Keys of a later version, one of them with characters that must be escaped.
    const QByteArray text =
        R"({"Z": [1, {"deep": true}], "a": 7, "b\"q\\\n": "x", "inner": {"count": 2, "later": 1}, "m": null})";
    const Carrier carrier = json::readDocument<Carrier>(text);
    EXPECT_EQ(carrier.a, 7);
    EXPECT_EQ(carrier.unknownFields.keys(),
              (QStringList{QStringLiteral("Z"), QStringLiteral("b\"q\\\n"), QStringLiteral("m")}));
    EXPECT_EQ(json::decode<Carrier>(json::parseDocument(text)), carrier) << "the tree form carries them too";
    // Written back merged in sorted order with the known fields; a record without a carrier skips its own.
    const QByteArray written = json::writeDocument(carrier);
    EXPECT_LT(written.indexOf("\"Z\""), written.indexOf("\"a\""));
    EXPECT_LT(written.indexOf("\"a\""), written.indexOf("\"b\\\"q"));
    EXPECT_LT(written.indexOf("\"inner\""), written.indexOf("\"m\""));
    EXPECT_FALSE(written.contains("later"));
    EXPECT_EQ(json::readDocument<Carrier>(written), carrier);
    EXPECT_EQ(json::writeDocument(json::readDocument<Carrier>(written)), written);
    EXPECT_EQ(json::encode(carrier), json::parseDocument(written)) << "tree and text forms write the same";

    // A carried key that collides with a known field is never written twice.
    Carrier colliding = carrier;
    colliding.unknownFields.insert(QStringLiteral("a"), 99);
    EXPECT_EQ(json::readDocument<Carrier>(json::writeDocument(colliding)).a, 7);

    struct Case {
        const char* name;
        QByteArray text;
        const char* path;
    } cases[] = {
        {"known key twice", R"({"a": 1, "a": 2})", ": a."},
        {"carried key twice", R"({"a": 1, "x": 1, "x": 1})", ": x."},
        {"skipped key twice", R"({"a": 1, "inner": {"count": 1, "later": 1, "later": 2}})", ": inner.later."},
        {"inside a carried value", R"({"a": 1, "x": [{"k": 1, "k": 1}]})", ": x[0].k."},
    };
    for (const Case& c : cases) {
        const auto [fromText, fromTree] = bothForms<Carrier>(c.text);
        ASSERT_TRUE(std::holds_alternative<QString>(fromText)) << c.name;
        EXPECT_TRUE(std::get<QString>(fromText).startsWith(QStringLiteral("Aynı anahtar birden çok kez")))
            << c.name << ": " << std::get<QString>(fromText).toStdString();
        EXPECT_TRUE(std::get<QString>(fromText).endsWith(QLatin1String(c.path)))
            << c.name << ": " << std::get<QString>(fromText).toStdString();
        EXPECT_TRUE(std::holds_alternative<QString>(fromTree)) << c.name;
    }
}

TEST(JsonCodec, ErrorsAtTheRootAreNamedInEnglishToo) {
    QString description;
    try {
        json::decode<int>(QJsonValue(QStringLiteral("x")));
    } catch (const KestrumError& error) {
        description = error.description();
    }
    ASSERT_FALSE(description.isEmpty());
    test::ScopedLanguage english(true);
    const QString shown = L10n::string(description);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("(root)."))) << shown.toStdString();
}
