#pragma once

#include "foundation/Date.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace kestrum::ReportFormatting {

// The value texts of the exported reports. Every missing or non-finite value prints "Kullanılamıyor".

// ISO 8601 in UTC, whole seconds: "2026-12-06T08:45:00Z".
QString time(Date date);
// The fraction × 100 rounded to a whole number, then "%": 0.424 → "42%".
QString percentage(std::optional<double> fraction);
// Whole milliseconds in the interface's notation, then " ms".
QString milliseconds(std::optional<double> value);
// Bytes per second as a file-style byte count, then "/sn".
QString rate(std::optional<double> bytesPerSecond);
// "%" + the hourly drain × 100 rounded, then "/saat"; missing → "Henüz öğrenilmedi".
QString batteryDrain(std::optional<double> fractionPerHour);
// The dBm value rounded, then " dBm".
QString signal(std::optional<double> dBm);

// Text from the inputs may carry what identifies the user or the machine (a path, an address, a name).
// Replaces file paths, IPv4 and IPv6 addresses, hardware (MAC) addresses, e-mail addresses and every
// word of `privateWords` (a user, host or network name, a serial; matched whole, case-insensitively) by
// "[gizli]".
QString redacted(const QString& text, const QStringList& privateWords);

} // namespace kestrum::ReportFormatting
