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

TEST(L10nEngine, TurkishWithoutAnOverlayShowsEverythingAsWrittenAndBuildsNoPatterns) {
    for (const auto& overlay : {std::shared_ptr<const TranslationTable>(), table({})}) {
        L10nEngine turkish(false, overlay);
        EXPECT_EQ(turkish.string(QStringLiteral("Evet")), QStringLiteral("Evet"));
        EXPECT_EQ(turkish.localizedFragment(QStringLiteral("Bir.  İki · Üç")),
                  QStringLiteral("Bir.  İki · Üç"));
        EXPECT_EQ(turkish.report(QStringLiteral("%45,6 ve 3 dk")), QStringLiteral("%45,6 ve 3 dk"));
        EXPECT_FALSE(turkish.hasBuiltPatterns());
    }
}

TEST(L10nEngine, TurkishOverlayReplacesWholeTextsTemplatesAndSentences) {
    L10nEngine turkish(
        false, table({
                   {"Mac bildirimleri açıldı.", "Masaüstü bildirimleri açıldı."},
                   {"Mac’in soğuması için \\(minutes) dakika bekle.",
                    "Bilgisayarın soğuması için \\(minutes) dakika bekle."},
                   {"macOS durumu “\\(condition)” bildiriyor.", "Sistem durumu “\\(condition)” bildiriyor."},
               }));
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Mac bildirimleri açıldı.", "Masaüstü bildirimleri açıldı."},
        {"Mac’in soğuması için 13 dakika bekle.", "Bilgisayarın soğuması için 13 dakika bekle."},
        {"macOS durumu “Mac bildirimleri açıldı.” bildiriyor.",
         "Sistem durumu “Masaüstü bildirimleri açıldı.” bildiriyor."}, // captures are shown through it too
        // A notification body: two sentences, each replaced on its own.
        {"Mac bildirimleri açıldı. Yoğun işleri durdur.",
         "Masaüstü bildirimleri açıldı. Yoğun işleri durdur."},
        {"Bilinmeyen · Mac bildirimleri açıldı.", "Bilinmeyen · Masaüstü bildirimleri açıldı."},
        // Texts the overlay does not know keep their spacing, line breaks and Turkish numbers.
        {"İlk.\nİkinci  satır", "İlk.\nİkinci  satır"},
        {"Kalan %45,6 · 1.234,5 MB · 2 sa", "Kalan %45,6 · 1.234,5 MB · 2 sa"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(turkish.localizedFragment(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
    EXPECT_EQ(turkish.report(QStringLiteral("# Rapor\nMac bildirimleri açıldı.\n%5")),
              QStringLiteral("# Rapor\nMasaüstü bildirimleri açıldı.\n%5"));
}

TEST(L10nEngine, PluralFormsFollowTheCount) {
    L10nEngine english(true,
                       table({
                           {"\\(count) dosya", "\\(count) \\(plural(count, \"file\", \"files\"))"},
                           {"\\(n) gün, \\(m) kez",
                            "\\(plural(n, \"one day\", \"\\(n) days\")), \\(m) \\(plural(m, \"time\", "
                            "\"times\"))"},
                           {"Bozuk \\(count) şey", "\\(count) \\(plural(other, \"thing\", \"things\"))"},
                           {"Eksik \\(count) şey", "\\(count) \\(plural(count, \"thing\"))"},
                       }));
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"1 dosya", "1 file"},
        {"2 dosya", "2 files"},
        {"0 dosya", "0 files"},
        {"11 dosya", "11 files"},
        {"1,0 dosya", "1,0 files"}, // a fraction is never singular
        {"-1 dosya", "-1 files"},
        {"1 gün, 1 kez", "one day, 1 time"},
        {"1 gün, 3 kez", "one day, 3 times"},
        {"Bozuk 1 şey", "Bozuk 1 şey"}, // the plural names an expression the key does not bind
        {"Eksik 1 şey", "Eksik 1 şey"}, // a plural needs both forms
    };
    for (const auto& c : cases)
        EXPECT_EQ(english.string(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
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
        // Turkish letters are letters: no unit word ends inside a word.
        {"2 sağlık olayı, 3 saç, 4 dkı, 5 snğ", false, true, "2 sağlık olayı, 3 saç, 4 dkı, 5 snğ"},
        {"2 sa’lik not", false, true, "2 hr’lik not"},
        {"1,5 GBı 1,5 GB’lık 3,5 msş", false, true, "1,5 GBı 1.5 GB’lık 3,5 msş"},
        {"ş1.234 MB ve 1.234 MB", false, true, "ş1.234 MB ve 1,234 MB"},
        // No-break spaces count as spaces and stay no-break.
        {"1.234,5\u00a0MB, 2\u00a0sa\u00a05\u00a0dk", false, true,
         "1,234.5\u00a0MB, 2\u00a0hr\u00a05\u00a0min"},
        {"Oran:\u00a0%45,6", true, false, "Oran:\u00a045.6%"},
        {"%5.ş", true, false, "%5.ş"},
        // An incident note as the user wrote it, inside a composite text.
        {"Not: 3 sağ fan 2 saattir 1 sa sesli, %50 yük", true, true,
         "Not: 3 sağ fan 2 saattir 1 hr sesli, 50% yük"},
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

namespace {

// Sets the locale variables for the lifetime of the object (nullptr: unset) and restores them after.
class ScopedLocaleEnvironment {
public:
    ScopedLocaleEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const char* name : kNames) {
            m_saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                                           ? std::optional<QByteArray>(qgetenv(name))
                                           : std::nullopt);
            qunsetenv(name);
        }
        for (const auto& [name, value] : values) {
            if (value)
                qputenv(name, QByteArray(value));
        }
    }
    ~ScopedLocaleEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

private:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

} // namespace

TEST(L10n, LanguageChoiceWalksLanguageThenTheLocaleVariables) {
    struct Case {
        const char* language;
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        bool english;
    } cases[] = {
        {"de:en", nullptr, nullptr, nullptr, true},
        {"de:tr:en", nullptr, nullptr, "en_US.UTF-8", false},
        {"fr_FR:en_GB.UTF-8", nullptr, nullptr, nullptr, true},
        {"::EN", nullptr, nullptr, nullptr, true},
        {"tr", "en_US.UTF-8", nullptr, nullptr, false},
        {"de", nullptr, "en_US.UTF-8", "tr_TR.UTF-8", true}, // LANGUAGE names neither: the locale decides
        {"", "en_US.UTF-8", nullptr, nullptr, true},
        {nullptr, "", "", "en_US.UTF-8", true}, // empty variables count as unset
        {nullptr, "tr_TR.UTF-8", "en_US.UTF-8", nullptr, false},
        {nullptr, nullptr, nullptr, "en@quot", true},
        {"english:de", nullptr, nullptr, nullptr, false}, // "english" is not a language code
        {"de", nullptr, nullptr, "C.UTF-8", false},
        {nullptr, nullptr, nullptr, nullptr, false},
    };
    for (const auto& c : cases) {
        ScopedLocaleEnvironment environment(
            {{"LANGUAGE", c.language}, {"LC_ALL", c.lcAll}, {"LC_MESSAGES", c.lcMessages}, {"LANG", c.lang}});
        EXPECT_EQ(preferredLanguageIsEnglish(), c.english)
            << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
            << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
    }
}

TEST(L10n, MacStaysOnlyOnAMacAndMacOSNowhere) {
    const QString coolDown = trTemplate(
        "Mac’in soğuması için yaklaşık \\(minutes) dakika sonra yeniden deneyin.", {QStringLiteral("5")});
    const QString thermal = trText("macOS termal durumu kritik olarak bildiriyor.");
    struct Case {
        bool english, mac;
        const char* coolDown;
        const char* thermal;
    } cases[] = {
        {false, false, "Bilgisayarın soğuması için yaklaşık 5 dakika sonra yeniden deneyin.",
         "Sistem termal durumu kritik olarak bildiriyor."},
        {false, true, "Mac’in soğuması için yaklaşık 5 dakika sonra yeniden deneyin.",
         "Sistem termal durumu kritik olarak bildiriyor."},
        {true, false, "Let the computer cool down and try again in about 5 minutes.",
         "The system reports the thermal state as critical."},
        {true, true, "Let the Mac cool down and try again in about 5 minutes.",
         "The system reports the thermal state as critical."},
    };
    for (const auto& c : cases) {
        ScopedLocaleEnvironment environment({{"LANGUAGE", c.english ? "en" : "tr"}});
        L10n::setEngine(nullptr);
        L10n::setMachineIsMac(c.mac);
        EXPECT_EQ(L10n::string(coolDown), QString::fromUtf8(c.coolDown)) << c.english << c.mac;
        EXPECT_EQ(L10n::localizedFragment(thermal), QString::fromUtf8(c.thermal)) << c.english << c.mac;
    }
    // A language chosen on purpose is kept when the machine kind is learnt.
    L10n::setEngine(std::make_shared<const L10nEngine>(false, nullptr));
    L10n::setMachineIsMac(false);
    EXPECT_EQ(L10n::string(coolDown), coolDown);
    L10n::setEngine(nullptr);
}
