#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kestrum {

// The short texts every view shows for metric values, in tr_TR notation (en_US_POSIX in an English
// interface: decimal point, no thousands grouping). A missing, non-finite or (where that is meaningless)
// negative value gives "Kullanılamıyor".
namespace MetricFormatting {

enum class ByteCountStyle {
    file,  // decimal units (1 KB = 1000 bytes), as file sizes and rates
    memory // binary units (1 KB = 1024 bytes), as installed memory
};

QString unavailableText(); // "Kullanılamıyor", localised
QString number(double value, int fractionDigits);

QString percentage(std::optional<double> fraction, int fractionDigits = 0);
QString bytes(std::optional<double> byteCount, ByteCountStyle style = ByteCountStyle::file);
QString rate(std::optional<double> bytesPerSecond);
QString temperature(std::optional<double> celsius);
QString voltage(std::optional<double> volts);
QString amperage(std::optional<double> amps);
QString power(std::optional<double> watts);
QString minutes(std::optional<long long> minutes);
QString duration(std::optional<double> seconds);
QString loadAverage(std::optional<double> value);
QString milliseconds(std::optional<double> value);
// Difference of two fractions in percentage points, with a sign: "+1,5 puan".
QString percentagePointDelta(std::optional<double> fractionDelta);
// The platform's battery-health wording in the interface language.
QString batteryCondition(const std::optional<QString>& condition);

} // namespace MetricFormatting

} // namespace kestrum
