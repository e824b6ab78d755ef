#include "foundation/Translatable.h"
#include "localisation/L10nEngine.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

std::shared_ptr<const TranslationTable>
table(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    auto t = std::make_shared<TranslationTable>();
    for (const auto& [k, v] : pairs)
        t->insert(QString::fromUtf8(k), QString::fromUtf8(v));
    return t;
}

} // namespace

TEST(TemplateParsing, ExpressionsLiteralsAndUnterminatedOnes) {
    using Parts = std::vector<TemplatePart>;
    struct Case {
        const char* text;
        Parts parts;
    } cases[] = {
        {"Kalan \\(minutes) dk", {{false, "Kalan "}, {true, "minutes"}, {false, " dk"}}},
        {"\\(f(a, (b)))!", {{true, "f(a, (b))"}, {false, "!"}}},
        {"\\(format(\"a)b\")) x", {{true, "format(\"a)b\")"}, {false, " x"}}},
        {"\\(format(\"q\\\")\")) y", {{true, "format(\"q\\\")\")"}, {false, " y"}}},
        {"önce \\(açık(", {{false, "önce "}}},
        {"düz metin", {{false, "düz metin"}}},
        {"\\(a)\\(b)", {{true, "a"}, {true, "b"}}},
        {"ters \\bölü", {{false, "ters \\bölü"}}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseTemplate(QString::fromUtf8(c.text)), c.parts) << c.text;
    EXPECT_EQ(trTemplate("Kalan \\(minutes) dk, \\(x)", {QStringLiteral("5"), QStringLiteral("y")}),
              QStringLiteral("Kalan 5 dk, y"));
    EXPECT_EQ(trTemplate("\\(a) ve \\(b)", {QStringLiteral("1")}), QStringLiteral("1 ve "))
        << "a missing value is empty";
    EXPECT_EQ(trTemplate("\\(a)", {QStringLiteral("\\(b)")}), QStringLiteral("\\(b)"))
        << "values are not parsed again";
}

TEST(L10nEngine, TurkishShowsEverythingAsWrittenAndBuildsNoPatterns) {
    L10nEngine turkish(false, table({{"Evet", "Yes"}, {"Kalan \\(m) dk", "\\(m) min left"}}));
    EXPECT_EQ(turkish.string(QStringLiteral("Evet")), QStringLiteral("Evet"));
    EXPECT_EQ(turkish.report(QStringLiteral("%45,6 ve 3 dk")), QStringLiteral("%45,6 ve 3 dk"));
    EXPECT_FALSE(turkish.hasBuiltPatterns());
}

TEST(L10nEngine, TableHitsPatternsAndMisses) {
    L10nEngine english(true, table({
                                 {"Evet", "Yes"},
                                 {"Disk \\(name)", "Disk \\(name)"},
                                 {"Disk \\(name) dolu", "Disk \\(name) is full"},
                                 {"Ana disk", "Main disk"},
                                 {"\\(a) ile \\(a)", "\\(a) twice"},
                                 {"Kalan \\(duration(seconds))", "\\(duration(seconds)) left"},
                                 {"Boş \\(x) ve \\(y)", "Free \\(y)"},
                                 {"Bozuk \\(x)", "Broken \\(z)"},
                             }));
    EXPECT_FALSE(english.hasBuiltPatterns()) << "built lazily";
    struct Case {
        const char* key;
        const char* expected;
    } cases[] = {
        {"Evet", "Yes"},
        {"Disk Ana disk dolu",
         "Disk Main disk is full"}, // the more specific pattern wins; the capture is localised
        {"Disk Ana disk", "Disk Main disk"},
        {"Evet ile Evet", "Yes twice"},
        {"Evet ile Hayır", "Evet ile Hayır"}, // the same expression must capture the same text
        {"Kalan 3 dk", "3 min left"},         // a duration expression turns on the unit rewrites
        {"Boş 1 ve 2", "Free 2"},
        {"Bozuk 1", "Bozuk 1"}, // the translation names an expression the key did not bind
        {"Bilinmeyen metin", "Bilinmeyen metin"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(english.string(QString::fromUtf8(c.key)), QString::fromUtf8(c.expected)) << c.key;
    EXPECT_TRUE(english.hasBuiltPatterns());
    EXPECT_EQ(english.patternCount(), 6u);
}

TEST(L10nEngine, FragmentsAndSentences) {
    L10nEngine english(true, table({{"Bellek", "Memory"},
                                    {"Disk", "Disk"},
                                    {"Kullanılamıyor", "Unavailable"},
                                    {"İlk cümle.", "First sentence."},
                                    {"İkinci cümle!", "Second sentence!"},
                                    {"Değer 2.5 oldu.", "The value became 2.5."}}));
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"Bellek · Kullanılamıyor", "Memory · Unavailable"},
        {"Bellek, Disk | Kullanılamıyor", "Memory, Disk | Unavailable"},
        {"Bilinmeyen · Tanımsız", "Bilinmeyen · Tanımsız"},
        {"İlk cümle. İkinci cümle!", "First sentence. Second sentence!"},
        {"Değer 2.5 oldu. İlk cümle.", "The value became 2.5. First sentence."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(english.localizedFragment(QString::fromUtf8(c.text)), QString::fromUtf8(c.expected))
            << c.text;
}

TEST(L10nEngine, NumericNormalisation) {
    L10nEngine english(true, table({}));
    struct Case {
        const char* text;
        bool percent, measurement;
        const char* expected;
    } cases[] = {
        {"%45,6 kullanım", true, false, "45.6% kullanım"},
        {"Oran: %7.", true, false, "Oran: 7%."},
        {"(%12) ve %3,25/sn", true, false, "(12%) ve 3.25%/sn"},
        {"[bağlantı](%20x)", true, false, "[bağlantı](%20x)"}, // a Markdown link target stays
        {"indirme%45", true, false, "indirme%45"},             // only after white space, "(" or ":"
        {"1.234,5 MB indirildi", false, true, "1,234.5 MB indirildi"},
        {"1.234.567 KB", false, true, "1,234,567 KB"},
        {"45,6 °C", false, true, "45.6 °C"},
        {"1.234,5 elma", false, true, "1.234,5 elma"}, // not a unit of the list
        {"2 sa 5 dk 3 sn", false, true, "2 hr 5 min 3 s"},
        {"3 dakika", false, true, "3 dakika"},
        {"12 MB/sn, 4 %/saat", false, true, "12 MB/s, 4 %/h"},
        {"%45,6", false, false, "%45,6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(english.normalizeNumbers(QString::fromUtf8(c.text), c.percent, c.measurement),
                  QString::fromUtf8(c.expected))
            << c.text;
}

TEST(L10nEngine, ReportsAreTranslatedLineByLine) {
    L10nEngine english(true, table({{"# Tanılama raporu", "# Diagnostic report"},
                                    {"Bellek: \\(percent(value))", "Memory: \\(percent(value))"},
                                    {"İyi.", "Good."}}));
    const QString report =
        QStringLiteral("# Tanılama raporu\n\nBellek: %45,6\nİyi. Bilinmeyen.\n- 1.024,5 MB");
    EXPECT_EQ(english.report(report),
              QStringLiteral("# Diagnostic report\n\nMemory: 45.6%\nGood. Bilinmeyen.\n- 1,024.5 MB"));
}

TEST(L10nEngine, TableValuesAreNormalisedAndAMissingTableLeavesTurkish) {
    L10nEngine english(true, table({{"Sıcaklık sınırı", "Limit 1.234,5 °C"}}));
    EXPECT_EQ(english.string(QStringLiteral("Sıcaklık sınırı")), QStringLiteral("Limit 1,234.5 °C"));
    L10nEngine noTable(true, nullptr);
    EXPECT_EQ(noTable.string(QStringLiteral("Evet")), QStringLiteral("Evet"));
    EXPECT_FALSE(parseTranslationPropertyList("<plist><array/></plist>"));
    EXPECT_FALSE(parseTranslationPropertyList("<plist><dict><key>a</key>"));
    const auto parsed = parseTranslationPropertyList(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Evet</key><string>Yes</string>"
        "<key>Ok &amp; tamam</key><string>OK &amp; fine</string></dict></plist>");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->value(QStringLiteral("Ok & tamam")), QStringLiteral("OK & fine"));
}

TEST(L10nEngine, DatesInBothLanguages) {
    qputenv("TZ", "UTC");
    const Date when = Date::fromDateTime(QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9), Qt::UTC));
    EXPECT_EQ(L10nEngine(false, nullptr).date(when, L10n::DateStyle::numeric, L10n::TimeStyle::shortened),
              QStringLiteral("07.03.2026 14:05"));
    EXPECT_EQ(L10nEngine(true, nullptr).date(when, L10n::DateStyle::numeric, L10n::TimeStyle::shortened),
              QStringLiteral("3/7/2026 at 2:05 PM"));
}
