#include "AppleDiagnosticsCodeInterpreter.h"

#include "foundation/Translatable.h"

namespace kestrum::AppleDiagnosticsCodeInterpreter {

namespace {

constexpr qsizetype kMaximumLength = 16;

struct BatteryRow {
    const char* codes[2];
    HealthLevel level;
    const char* title;
    const char* explanation;
    const char* action; // followed by the advice to check the code on the current page
};

const BatteryRow kBatteryRows[] = {
    {{"PPT002", "PPT003"},
     HealthLevel::attention,
     TR_MARK("Bataryanın yakında değiştirilmesi gerekebilir"),
     TR_MARK("Apple’ın kod açıklaması, bataryanın yakında değiştirilmesi gerekebileceğini belirtir."),
     TR_MARK(
         "Servis seçeneklerini inceleyin; önemli çalışmalardan önce güncel yedek alın. Kodu Apple’ın güncel "
         "sayfasında da doğrulayın.")},
    {{"PPT004", "PPT006"},
     HealthLevel::critical,
     TR_MARK("Batarya için servis gerekiyor"),
     TR_MARK("Apple’ın kod açıklaması, bataryanın servis gerektirdiğini belirtir."),
     TR_MARK("Apple veya Apple Yetkili Servis Sağlayıcısı ile servis planlayın. Kodu Apple’ın güncel "
             "sayfasında da "
             "doğrulayın.")},
    {{"PPT005", nullptr},
     HealthLevel::attention,
     TR_MARK("Batarya doğru takılmamış olabilir"),
     TR_MARK("Apple’ın kod açıklaması, bataryanın doğru takılmamış olabileceğini veya algılanamadığını "
             "belirtir."),
     TR_MARK("Mac’i kapatın; bataryayı kendiniz sökmeyin ve yetkili destekle görüşün. Kodu Apple’ın güncel "
             "sayfasında da doğrulayın.")},
    {{"PPT007", nullptr},
     HealthLevel::critical,
     TR_MARK("Bataryanın değiştirilmesi gerekiyor"),
     TR_MARK("Apple’ın kod açıklaması, bataryanın değiştirilmesi gerektiğini belirtir."),
     TR_MARK(
         "Apple veya Apple Yetkili Servis Sağlayıcısı ile batarya servisi planlayın. Kodu Apple’ın güncel "
         "sayfasında da doğrulayın.")},
    {{"PPT021", nullptr},
     HealthLevel::attention,
     TR_MARK("Batarya doluluğu test için çok düşük"),
     TR_MARK("Apple’ın kod açıklaması, bataryanın test için yeterince dolu olmadığını belirtir."),
     TR_MARK("Güç adaptörünü bağlayın, bataryayı şarj edin ve Apple Diagnostics’i yeniden çalıştırın. Kodu "
             "Apple’ın "
             "güncel sayfasında da doğrulayın.")},
};

struct FamilyRow {
    const char* prefix;
    const char* title;
    const char* explanation;
};

// Checked in this order; the first prefix the code starts with answers.
const FamilyRow kFamilyRows[] = {
    {"CNW", TR_MARK("Wi-Fi donanımı kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın Wi-Fi donanımı başvuru kodu ailesiyle eşleşiyor.")},
    {"NDD", TR_MARK("USB donanımı kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın USB donanımı başvuru kodu ailesiyle eşleşiyor.")},
    {"NDT", TR_MARK("Thunderbolt donanımı kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın Thunderbolt donanımı başvuru kodu ailesiyle eşleşiyor.")},
    {"PPF", TR_MARK("Fan sistemi kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın fan başvuru kodu ailesiyle eşleşiyor.")},
    {"PPM", TR_MARK("Bellek kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın bellek başvuru kodu ailesiyle eşleşiyor.")},
    {"PPN", TR_MARK("Güç yönetimi kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın güç yönetimi başvuru kodu ailesiyle eşleşiyor.")},
    {"PPP", TR_MARK("Güç adaptörü kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın güç adaptörü başvuru kodu ailesiyle eşleşiyor.")},
    {"PPR", TR_MARK("İşlemci kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın işlemci başvuru kodu ailesiyle eşleşiyor.")},
    {"VDH", TR_MARK("Depolama aygıtı kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın depolama aygıtı başvuru kodu ailesiyle eşleşiyor.")},
    {"VFD", TR_MARK("Ekran veya grafik donanımı kontrol edilmeli"),
     TR_MARK("Kod, Apple’ın ekran veya grafik donanımı başvuru kodu ailesiyle eşleşiyor.")},
};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QString clean(const QString& input) {
    // Compatibility forms first, so that full-width letters and digits read as their plain forms.
    const QString normalized = input.normalized(QString::NormalizationForm_KC).toUpper();
    QString cleaned;
    for (qsizetype i = 0; i < normalized.size() && cleaned.size() < kMaximumLength; ++i) {
        const char32_t codePoint = normalized.at(i).isHighSurrogate() && i + 1 < normalized.size()
                                       ? QChar::surrogateToUcs4(normalized.at(i), normalized.at(i + 1))
                                       : normalized.at(i).unicode();
        const qsizetype width = QChar::requiresSurrogates(codePoint) ? 2 : 1;
        if (QChar::isDigit(codePoint)) {
            // A decimal digit of any script reads as its ASCII digit.
            cleaned += QChar(u'0' + QChar::digitValue(codePoint));
        } else if (QChar::isLetter(codePoint)) {
            cleaned += normalized.mid(i, width);
        }
        i += width - 1;
    }
    return cleaned;
}

std::optional<AppleDiagnosticsCodeResult> interpret(const QString& input) {
    const QString code = clean(input);
    if (code.isEmpty())
        return std::nullopt;

    if (code == u"ADP000") {
        return AppleDiagnosticsCodeResult{
            code, HealthLevel::normal, trText("Apple Diagnostics sorun bildirmedi"),
            trText("Apple’ın yayımladığı başvuru kodu listesinde ADP000, test sırasında sorun bulunmadığını "
                   "belirtir."),
            trText(
                "Belirti sürüyorsa macOS’i güncelleyin, sorunu tekrar üretin ve yetkili destekle belirtileri "
                "paylaşın.")};
    }

    if (code.startsWith(u"PPT")) {
        for (const BatteryRow& row : kBatteryRows) {
            for (const char* listed : row.codes) {
                if (listed && code == QLatin1String(listed))
                    return AppleDiagnosticsCodeResult{code, row.level, text(row.title), text(row.explanation),
                                                      text(row.action)};
            }
        }
        return AppleDiagnosticsCodeResult{code, HealthLevel::attention,
                                          trText("Batarya kodu kontrol edilmeli"),
                                          trText("Kod, Apple’ın batarya başvuru kodu ailesiyle eşleşiyor; "
                                                 "yerel rehber bu alt kodu özel olarak "
                                                 "açıklamıyor."),
                                          trText("Kodu Apple’ın güncel başvuru kodu sayfasında doğrulayın ve "
                                                 "önerilen servis adımını izleyin.")};
    }

    for (const FamilyRow& row : kFamilyRows) {
        if (code.startsWith(QLatin1String(row.prefix))) {
            return AppleDiagnosticsCodeResult{
                code, HealthLevel::attention, text(row.title), text(row.explanation),
                trText("Kodu Apple’ın güncel başvuru kodu sayfasında doğrulayın ve önerilen servis adımını "
                       "izleyin. "
                       "Kestrum bu koddan parça arızasını bağımsız olarak doğrulayamaz.")};
        }
    }

    return AppleDiagnosticsCodeResult{
        code, HealthLevel::unavailable, trText("Kod yerel rehberde bulunamadı"),
        trText("Bu kod, Kestrum’nun yerel ve sınırlı başvuru kodu eşleştirmesinde yok."),
        trText("Apple’ın güncel başvuru kodu sayfasını açıp kodu birebir kontrol edin.")};
}

} // namespace kestrum::AppleDiagnosticsCodeInterpreter
