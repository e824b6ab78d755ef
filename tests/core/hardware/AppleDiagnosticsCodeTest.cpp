// The reference-code guide: every family, the listed battery codes, and what users actually type.

#include "hardware/AppleDiagnosticsCodeInterpreter.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

const QString kCheckSuffix = QStringLiteral(" Kodu Apple’ın güncel sayfasında da doğrulayın.");
const QString kFamilyAction =
    QStringLiteral("Kodu Apple’ın güncel başvuru kodu sayfasında doğrulayın ve önerilen "
                   "servis adımını izleyin. Kestrum bu koddan parça arızasını bağımsız "
                   "olarak doğrulayamaz.");

} // namespace

TEST(AppleDiagnosticsCode, CleansWhatUsersType) {
    struct Case {
        const char* input;
        const char* cleaned;
    } cases[] = {
        {"  ppt-007 ", "PPT007"},
        {"Ppt 007\n", "PPT007"},
        {"ＰＰＴ００７", "PPT007"}, // full-width forms
        {"PPT٠٠٧", "PPT007"},       // Arabic-Indic digits
        {"ppt۰۰۷", "PPT007"},       // extended Arabic-Indic digits
        {"cnw-0o4", "CNW0O4"},      // letters stay letters
        {"ADP000 ABC", "ADP000ABC"},
        {"vdh00200300400500600", "VDH0020030040050"}, // at most 16 characters
        {"ıppt", "IPPT"},                             // Turkish dotless i upper-cases to I
        {"!?-- ..", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AppleDiagnosticsCodeInterpreter::clean(QString::fromUtf8(c.input)),
                  QString::fromUtf8(c.cleaned))
            << c.input;
}

TEST(AppleDiagnosticsCode, ListedBatteryCodes) {
    struct Case {
        const char* code;
        HealthLevel level;
        const char* title;
    } cases[] = {
        {"PPT002", HealthLevel::attention, "Bataryanın yakında değiştirilmesi gerekebilir"},
        {"PPT003", HealthLevel::attention, "Bataryanın yakında değiştirilmesi gerekebilir"},
        {"PPT004", HealthLevel::critical, "Batarya için servis gerekiyor"},
        {"PPT006", HealthLevel::critical, "Batarya için servis gerekiyor"},
        {"PPT005", HealthLevel::attention, "Batarya doğru takılmamış olabilir"},
        {"PPT007", HealthLevel::critical, "Bataryanın değiştirilmesi gerekiyor"},
        {"PPT021", HealthLevel::attention, "Batarya doluluğu test için çok düşük"},
    };
    for (const Case& c : cases) {
        const auto result = AppleDiagnosticsCodeInterpreter::interpret(QString::fromLatin1(c.code).toLower());
        ASSERT_TRUE(result) << c.code;
        EXPECT_EQ(result->code, QLatin1String(c.code));
        EXPECT_EQ(result->level, c.level) << c.code;
        EXPECT_EQ(result->title, QString::fromUtf8(c.title)) << c.code;
        EXPECT_TRUE(result->recommendedAction.endsWith(kCheckSuffix)) << c.code;
    }
    // Another battery code answers for the family, without the listed codes' suffix.
    for (const char* code : {"PPT001", "PPT0071", "PPT", "PPT999"}) {
        const auto result = AppleDiagnosticsCodeInterpreter::interpret(QString::fromLatin1(code));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->level, HealthLevel::attention) << code;
        EXPECT_EQ(result->title, QStringLiteral("Batarya kodu kontrol edilmeli")) << code;
        EXPECT_FALSE(result->recommendedAction.endsWith(kCheckSuffix)) << code;
    }
}

TEST(AppleDiagnosticsCode, FamiliesNoIssueAndUnknown) {
    struct Case {
        const char* input;
        HealthLevel level;
        const char* title;
    } cases[] = {
        {"CNW001", HealthLevel::attention, "Wi-Fi donanımı kontrol edilmeli"},
        {"NDD001", HealthLevel::attention, "USB donanımı kontrol edilmeli"},
        {"NDT001", HealthLevel::attention, "Thunderbolt donanımı kontrol edilmeli"},
        {"PPF001", HealthLevel::attention, "Fan sistemi kontrol edilmeli"},
        {"PPM001", HealthLevel::attention, "Bellek kontrol edilmeli"},
        {"PPN001", HealthLevel::attention, "Güç yönetimi kontrol edilmeli"},
        {"PPP001", HealthLevel::attention, "Güç adaptörü kontrol edilmeli"},
        {"PPR001", HealthLevel::attention, "İşlemci kontrol edilmeli"},
        {"VDH002", HealthLevel::attention, "Depolama aygıtı kontrol edilmeli"},
        {"VFD005", HealthLevel::attention, "Ekran veya grafik donanımı kontrol edilmeli"},
        {"adp000", HealthLevel::normal, "Apple Diagnostics sorun bildirmedi"},
        {"ADP000 ABC", HealthLevel::unavailable, "Kod yerel rehberde bulunamadı"}, // cleans to ADP000ABC
        {"ADP001", HealthLevel::unavailable, "Kod yerel rehberde bulunamadı"},
        {"XYZ123", HealthLevel::unavailable, "Kod yerel rehberde bulunamadı"},
        {"PP", HealthLevel::unavailable, "Kod yerel rehberde bulunamadı"},
        {"12345", HealthLevel::unavailable, "Kod yerel rehberde bulunamadı"},
        {"İPPT007", HealthLevel::unavailable,
         "Kod yerel rehberde bulunamadı"}, // a dotted capital is no ASCII I
    };
    for (const Case& c : cases) {
        const auto result = AppleDiagnosticsCodeInterpreter::interpret(QString::fromUtf8(c.input));
        ASSERT_TRUE(result) << c.input;
        EXPECT_EQ(result->level, c.level) << c.input;
        EXPECT_EQ(result->title, QString::fromUtf8(c.title)) << c.input;
        EXPECT_FALSE(result->explanation.isEmpty());
        if (c.level == HealthLevel::attention)
            EXPECT_EQ(result->recommendedAction, kFamilyAction) << c.input;
    }
    EXPECT_EQ(AppleDiagnosticsCodeInterpreter::interpret(QStringLiteral("ADP000 ABC"))->code,
              QStringLiteral("ADP000ABC"));
    for (const char* nothing : {"", "   ", "-.-", "—/\t"})
        EXPECT_FALSE(AppleDiagnosticsCodeInterpreter::interpret(QString::fromUtf8(nothing))) << nothing;
}
