#include "foundation/JsonCodec.h"

#include "measurement/ThermalLevel.h"

#include <gtest/gtest.h>

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
