#include "measurement/MetricFormatting.h"

#include "TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kestrum;
namespace F = kestrum::MetricFormatting;

namespace {

struct Case {
    const char* name;
    std::function<QString()> format;
    const char* turkish;
    const char* english;
};

void check(const std::vector<Case>& cases) {
    for (const bool english : {false, true}) {
        test::ScopedLanguage language(english);
        for (const auto& c : cases)
            EXPECT_EQ(c.format(), QString::fromUtf8(english ? c.english : c.turkish))
                << c.name << (english ? " (en)" : " (tr)");
    }
}

} // namespace

TEST(MetricFormatting, NumbersUnitsAndDurations) {
    check({
        {"percentage", [] { return F::percentage(0.456, 1); }, "45,6%", "45.6%"},
        {"percentage rounds half away", [] { return F::percentage(0.0125, 1); }, "1,3%", "1.3%"},
        {"percentage whole", [] { return F::percentage(1.0, 0); }, "100%", "100%"},
        {"temperature", [] { return F::temperature(-3.25); }, "-3,3 °C", "-3.3 °C"},
        {"voltage", [] { return F::voltage(11.875); }, "11,88 V", "11.88 V"},
        {"amperage signed", [] { return F::amperage(-0.733); }, "-0,73 A", "-0.73 A"},
        {"power", [] { return F::power(12.34); }, "12,3 W", "12.3 W"},
        {"load average", [] { return F::loadAverage(1234.5); }, "1.234,50", "1234.50"},
        {"milliseconds", [] { return F::milliseconds(12.5); }, "13 ms", "13 ms"},
        {"milliseconds in thousands", [] { return F::milliseconds(1234); }, "1.234 ms", "1234 ms"},
        {"temperature in thousands", [] { return F::temperature(1000); }, "1.000,0 °C", "1000.0 °C"},
        {"plain number", [] { return F::number(-1234567.891, 2); }, "-1.234.567,89", "-1234567.89"},
        {"minutes under an hour", [] { return F::minutes(59); }, "59 dk", "59 min"},
        {"minutes 125", [] { return F::minutes(125); }, "2 sa 5 dk", "2 hr 5 min"},
        {"minutes 120", [] { return F::minutes(120); }, "2 sa", "2 hr"},
        {"duration 59.4", [] { return F::duration(59.4); }, "59 sn", "59 sec"},
        {"duration 59.6 rounds to a minute", [] { return F::duration(59.6); }, "1 dk", "1 min"},
        {"duration 125", [] { return F::duration(125); }, "2 dk 5 sn", "2 min 5 sec"},
        {"duration 3661", [] { return F::duration(3661); }, "1 sa 1 dk", "1 hr 1 min"},
        {"duration 7200", [] { return F::duration(7200); }, "2 sa", "2 hr"},
        {"delta positive", [] { return F::percentagePointDelta(0.015); }, "+1,5 puan", "+1.5 points"},
        {"delta negative", [] { return F::percentagePointDelta(-0.2); }, "-20,0 puan", "-20.0 points"},
        {"delta too small", [] { return F::percentagePointDelta(-0.0004); }, "0,0 puan", "0.0 points"},
    });
}

TEST(MetricFormatting, ByteCountsWithAdaptivePrecision) {
    using S = F::ByteCountStyle;
    check({
        {"zero", [] { return F::bytes(0); }, "0 KB", "0 KB"},
        {"below a kilobyte", [] { return F::bytes(499); }, "0 KB", "0 KB"},
        {"half a kilobyte rounds up", [] { return F::bytes(500); }, "1 KB", "1 KB"},
        {"kilobytes have no fraction", [] { return F::bytes(1500); }, "2 KB", "2 KB"},
        {"999.96 KB shows as megabytes", [] { return F::bytes(999'960); }, "1 MB", "1 MB"},
        {"megabytes one digit", [] { return F::bytes(1'550'000); }, "1,6 MB", "1.6 MB"},
        {"trailing zero dropped", [] { return F::bytes(2'000'000); }, "2 MB", "2 MB"},
        {"gigabytes two digits", [] { return F::bytes(1'234'567'890); }, "1,23 GB", "1.23 GB"},
        {"terabytes", [] { return F::bytes(4'500'000'000'000.0); }, "4,5 TB", "4.5 TB"},
        {"beyond terabytes stays in terabytes", [] { return F::bytes(2e15); }, "2.000 TB", "2000 TB"},
        {"memory style is binary", [] { return F::bytes(16.0 * 1024 * 1024 * 1024, S::memory); }, "16 GB",
         "16 GB"},
        {"memory megabytes", [] { return F::bytes(1536.0 * 1024, S::memory); }, "1,5 MB", "1.5 MB"},
        {"rate", [] { return F::rate(1'250'000); }, "1,3 MB/sn", "1.3 MB/s"},
        {"rate of a whole number of bytes", [] { return F::rate(0.4); }, "0 KB/sn", "0 KB/s"},
    });
}

TEST(MetricFormatting, MissingNegativeAndNonFiniteValuesAreUnavailable) {
    const double nan = std::nan("");
    check({
        {"percentage missing", [] { return F::percentage(std::nullopt); }, "Kullanılamıyor", "Unavailable"},
        {"percentage negative", [] { return F::percentage(-0.1); }, "Kullanılamıyor", "Unavailable"},
        {"percentage NaN", [nan] { return F::percentage(nan); }, "Kullanılamıyor", "Unavailable"},
        {"rate infinite", [] { return F::rate(INFINITY); }, "Kullanılamıyor", "Unavailable"},
        {"bytes negative", [] { return F::bytes(-1); }, "Kullanılamıyor", "Unavailable"},
        {"minutes negative", [] { return F::minutes(-1); }, "Kullanılamıyor", "Unavailable"},
        {"duration NaN", [nan] { return F::duration(nan); }, "Kullanılamıyor", "Unavailable"},
        {"voltage negative", [] { return F::voltage(-5); }, "Kullanılamıyor", "Unavailable"},
        {"temperature NaN", [nan] { return F::temperature(nan); }, "Kullanılamıyor", "Unavailable"},
        {"delta NaN", [nan] { return F::percentagePointDelta(nan); }, "Kullanılamıyor", "Unavailable"},
    });
}

TEST(MetricFormatting, BatteryCondition) {
    check({
        {"good", [] { return F::batteryCondition(QStringLiteral("Good")); }, "İyi", "Good"},
        {"service", [] { return F::batteryCondition(QStringLiteral("Service Recommended")); },
         "Servis öneriliyor", "Service recommended"},
        {"linux verdict", [] { return F::batteryCondition(QStringLiteral("Overheat")); }, "Aşırı ısınmış",
         "Overheated"},
        {"unknown wording is shown as reported",
         [] { return F::batteryCondition(QStringLiteral(" Weird ")); }, "Weird", "Weird"},
        {"empty", [] { return F::batteryCondition(QStringLiteral("  ")); }, "Kullanılamıyor", "Unavailable"},
        {"absent", [] { return F::batteryCondition(std::nullopt); }, "Kullanılamıyor", "Unavailable"},
    });
}
