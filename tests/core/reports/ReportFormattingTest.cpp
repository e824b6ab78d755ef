#include "reports/ReportFormatting.h"

#include "TestSupport.h"
#include "localisation/L10n.h"

#include <gtest/gtest.h>
#include <limits>

using namespace kestrum;
using namespace kestrum::ReportFormatting;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct FormatCase {
    const char* name;
    QString (*format)(std::optional<double>);
    std::optional<double> value;
    const char* turkish;
    const char* english; // as the report's English pass leaves it
};

} // namespace

TEST(ReportFormatting, ValueFormatsInBothLanguages) {
    const FormatCase cases[] = {
        {"percent rounds down", percentage, 0.424, "42%", "42%"},
        {"percent rounds half up", percentage, 0.995, "100%", "100%"},
        {"percent of zero", percentage, 0.0, "0%", "0%"},
        {"percent missing", percentage, std::nullopt, "Kullanılamıyor", "Unavailable"},
        {"percent not finite", percentage, kNaN, "Kullanılamıyor", "Unavailable"},
        {"ms without fraction", milliseconds, 4.49, "4 ms", "4 ms"},
        {"ms grouped", milliseconds, 1234.4, "1.234 ms", "1234 ms"},
        {"ms not finite", milliseconds, kInfinity, "Kullanılamıyor", "Unavailable"},
        {"rate in KB", rate, 1499.6, "2 KB/sn", "2 KB/s"},
        {"rate in MB", rate, 2'456'789.4, "2,5 MB/sn", "2.5 MB/s"},
        {"rate missing", rate, std::nullopt, "Kullanılamıyor", "Unavailable"},
        {"rate not finite", rate, kNaN, "Kullanılamıyor", "Unavailable"},
        {"drain", batteryDrain, 0.0849, "%8/saat", "8%/h"},
        {"drain not learned", batteryDrain, std::nullopt, "Henüz öğrenilmedi", "Not learned yet"},
        {"signal rounds", signal, -61.6, "-62 dBm", "-62 dBm"},
        {"signal half away from zero", signal, -58.5, "-59 dBm", "-59 dBm"},
        {"signal missing", signal, std::nullopt, "Kullanılamıyor", "Unavailable"},
    };
    for (const bool english : {false, true}) {
        test::ScopedLanguage language(english);
        for (const FormatCase& c : cases) {
            // Values reach the reader through the report's line pass, as inside a report line.
            const QString shown = L10n::report(QStringLiteral("- CPU: ") + c.format(c.value));
            EXPECT_EQ(shown, QStringLiteral("- CPU: ") + QString::fromUtf8(english ? c.english : c.turkish))
                << c.name << (english ? " (en)" : " (tr)");
        }
    }
}

TEST(ReportFormatting, TimeIsIsoInUtc) {
    EXPECT_EQ(time(Date::fromUnixSeconds(1'765'008'000.75)), QStringLiteral("2025-12-06T08:00:00Z"));
}

TEST(ReportFormatting, RedactsWhatIdentifiesAndKeepsMeasurements) {
    const QStringList words = {QStringLiteral("ayse"), QStringLiteral("ayse-pc")};
    const struct {
        const char* input;
        const char* output;
    } cases[] = {
        {"Disk /home/ayse/Belgeler dolu.", "Disk [gizli] dolu."},
        {"Yol ~/Masaüstü/x.txt", "Yol [gizli]"},
        {"Adres 192.168.1.23, ağ geçidi 10.0.0.1/24", "Adres [gizli], ağ geçidi [gizli]"},
        {"IPv6 fe80::1c2b:3aff:fe4d:5e6f ve 2001:db8::42", "IPv6 [gizli] ve [gizli]"},
        {"Tam 2001:0db8:85a3:0000:0000:8a2e:0370:7334 adres", "Tam [gizli] adres"},
        {"MAC A4-5E-60-D1-22-9F ile a4:5e:60:d1:22:9f", "MAC [gizli] ile [gizli]"},
        {"Posta ayse@example.org", "Posta [gizli]"},
        {"Kullanıcı AYSE, makine ayse-pc.", "Kullanıcı [gizli], makine [gizli]."},
        // Measurements, times and units stay as they are.
        {"İndirme 2,5 MB/sn, tüketim %8/saat, saat 12:30:45, sürüm 6.1.0",
         "İndirme 2,5 MB/sn, tüketim %8/saat, "
         "saat 12:30:45, sürüm 6.1.0"},
        {"Aysel ve ayseler başka adlar; CPU/bellek", "Aysel ve ayseler başka adlar; CPU/bellek"},
        {"Debian GNU/Linux 12 (bookworm)", "Debian GNU/Linux 12 (bookworm)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(redacted(QString::fromUtf8(c.input), words), QString::fromUtf8(c.output)) << c.input;
    // A one-letter word would erase too much to be a name worth hiding.
    EXPECT_EQ(redacted(QStringLiteral("a b"), {QStringLiteral("a")}), QStringLiteral("a b"));
}
