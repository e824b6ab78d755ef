#include "ReportFormatting.h"

#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace kestrum::ReportFormatting {

namespace {

bool finite(const std::optional<double>& value) {
    return value && std::isfinite(*value);
}

QString unavailable() {
    return trText("Kullanılamıyor");
}

long long rounded(double value) {
    const long long whole = std::llround(value);
    return whole == 0 ? 0 : whole; // no "-0"
}

} // namespace

QString time(Date date) {
    return date.toDateTime().toUTC().toString(Qt::ISODate);
}

QString percentage(std::optional<double> fraction) {
    if (!finite(fraction))
        return unavailable();
    return QString::number(rounded(*fraction * 100.0)) + u'%';
}

QString milliseconds(std::optional<double> value) {
    if (!finite(value))
        return unavailable();
    return MetricFormatting::number(*value, 0) + QStringLiteral(" ms");
}

QString rate(std::optional<double> bytesPerSecond) {
    if (!finite(bytesPerSecond) || *bytesPerSecond < 0)
        return unavailable();
    // Turkish unit word: the report's English pass turns "/sn" into "/s".
    return MetricFormatting::bytes(std::round(*bytesPerSecond)) + QStringLiteral("/sn");
}

QString batteryDrain(std::optional<double> fractionPerHour) {
    if (!finite(fractionPerHour))
        return trText("Henüz öğrenilmedi");
    return u'%' + QString::number(rounded(*fractionPerHour * 100.0)) + QStringLiteral("/saat");
}

QString signal(std::optional<double> dBm) {
    if (!finite(dBm))
        return unavailable();
    return QString::number(rounded(*dBm)) + QStringLiteral(" dBm");
}

QString redacted(const QString& text, const QStringList& privateWords) {
    static const QString hidden = trText("[gizli]");
    static const QRegularExpression email(QStringLiteral("[\\w.+-]+@[\\w-]+(?:\\.[\\w-]+)+"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression mac(
        QStringLiteral("(?<![0-9A-Fa-f])[0-9A-Fa-f]{2}(?:[:-][0-9A-Fa-f]{2}){5}(?![0-9A-Fa-f])"));
    // Hex groups with colons; an address only with "::" or seven colons, so "12:30:45" stays a time.
    static const QRegularExpression ipv6(
        QStringLiteral("(?<![\\w:.])(?:[0-9A-Fa-f]{0,4}:){2,7}[0-9A-Fa-f]{0,4}(?:%\\w+)?(?![\\w:])"));
    static const QRegularExpression ipv4(
        QStringLiteral("(?<![\\w.])\\d{1,3}(?:\\.\\d{1,3}){3}(?:/\\d{1,2})?(?![\\w.])"));
    // A path starts at "/" or "~/" that no letter, digit or closing sign precedes ("KB/sn", "%3/saat"
    // are units) and has at least one name after the slash.
    static const QRegularExpression path(
        QStringLiteral("(?<![\\p{L}\\p{N}_.)\\]%/])(?:~/|/)[^\\s/,;:()\"“”]+(?:/[^\\s/,;:()\"“”]*)*"),
        QRegularExpression::UseUnicodePropertiesOption);

    QString out = text;
    out.replace(email, hidden);
    out.replace(mac, hidden);
    {
        QString rebuilt;
        qsizetype last = 0;
        auto it = ipv6.globalMatch(out);
        while (it.hasNext()) {
            const auto match = it.next();
            const QString found = match.captured();
            if (!found.contains(QStringLiteral("::")) && found.count(u':') < 7)
                continue;
            rebuilt += QStringView(out).mid(last, match.capturedStart() - last);
            rebuilt += hidden;
            last = match.capturedEnd();
        }
        rebuilt += QStringView(out).mid(last);
        out = rebuilt;
    }
    out.replace(ipv4, hidden);
    out.replace(path, hidden);
    // Longest first: "ayse-pc" must go whole before "ayse" would leave "-pc" behind.
    QStringList words = privateWords;
    std::stable_sort(words.begin(), words.end(), [](const QString& a, const QString& b) {
        return a.trimmed().size() > b.trimmed().size();
    });
    for (const QString& word : words) {
        const QString trimmed = word.trimmed();
        if (trimmed.size() < 2)
            continue;
        const QRegularExpression whole(
            QStringLiteral("(?<![\\p{L}\\p{N}])") + QRegularExpression::escape(trimmed) +
                QStringLiteral("(?![\\p{L}\\p{N}])"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
        out.replace(whole, hidden);
    }
    return out;
}

} // namespace kestrum::ReportFormatting
