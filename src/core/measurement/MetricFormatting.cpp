#include "MetricFormatting.h"

#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QLocale>
#include <cmath>

namespace kestrum::MetricFormatting {

namespace {

// tr_TR groups thousands ("1.234,5"); the English interface writes numbers as en_US_POSIX does, with a
// decimal point and no grouping ("1234.5").
const QLocale& locale() {
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    static const QLocale english = [] {
        QLocale l(QLocale::English, QLocale::UnitedStates);
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return L10n::isEnglish() ? english : turkish;
}

bool usable(const std::optional<double>& value, bool negativeAllowed) {
    return value && std::isfinite(*value) && (negativeAllowed || *value >= 0);
}

QString withUnit(const std::optional<double>& value, int digits, const char* unit,
                 bool negativeAllowed = false) {
    if (!usable(value, negativeAllowed))
        return unavailableText();
    return number(*value, digits) + QString::fromUtf8(unit);
}

// Trailing fraction zeros are dropped: "1 MB", "1,5 MB", "1,52 GB".
QString trimmedNumber(double value, int digits) {
    QString text = locale().toString(value, 'f', digits);
    const QChar decimal = locale().decimalPoint().at(0);
    if (text.contains(decimal)) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(decimal))
            text.chop(1);
    }
    return text;
}

} // namespace

QString unavailableText() {
    return L10n::string(trText("Kullanılamıyor"));
}

QString number(double value, int fractionDigits) {
    // Half away from zero at the printed precision, whatever the platform's printf does with halves.
    const double scale = std::pow(10.0, fractionDigits);
    double rounded = roundHalfAwayFromZero(value * scale) / scale;
    if (rounded == 0)
        rounded = 0; // no "-0"
    return locale().toString(rounded, 'f', fractionDigits);
}

QString percentage(std::optional<double> fraction, int fractionDigits) {
    if (!usable(fraction, false))
        return unavailableText();
    return number(*fraction * 100.0, fractionDigits) + u'%';
}

QString bytes(std::optional<double> byteCount, ByteCountStyle style) {
    if (!usable(byteCount, false))
        return unavailableText();
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    static const int digits[] = {0, 1, 2, 2}; // adaptive precision
    const double base = style == ByteCountStyle::memory ? 1024.0 : 1000.0;
    const double whole = std::round(*byteCount);
    int unit = 0;
    double value = whole / base;
    while (unit < 3 && value >= base) {
        value /= base;
        ++unit;
    }
    // 999.96 KB rounds to "1000 KB": show it as the next unit instead.
    const double scale = std::pow(10.0, digits[unit]);
    if (unit < 3 && roundHalfAwayFromZero(value * scale) / scale >= base) {
        value /= base;
        ++unit;
    }
    const double rounded =
        roundHalfAwayFromZero(value * std::pow(10.0, digits[unit])) / std::pow(10.0, digits[unit]);
    return trimmedNumber(rounded, digits[unit]) + u' ' + QLatin1String(units[unit]);
}

QString rate(std::optional<double> bytesPerSecond) {
    if (!usable(bytesPerSecond, false))
        return unavailableText();
    return bytes(bytesPerSecond, ByteCountStyle::file) +
           (L10n::isEnglish() ? QStringLiteral("/s") : QStringLiteral("/sn"));
}

QString temperature(std::optional<double> celsius) {
    return withUnit(celsius, 1, " °C", true);
}
QString voltage(std::optional<double> volts) {
    return withUnit(volts, 2, " V");
}
QString amperage(std::optional<double> amps) {
    return withUnit(amps, 2, " A", true);
}
QString power(std::optional<double> watts) {
    return withUnit(watts, 1, " W", true);
}
QString loadAverage(std::optional<double> value) {
    return withUnit(value, 2, "");
}
QString milliseconds(std::optional<double> value) {
    return withUnit(value, 0, " ms");
}

QString minutes(std::optional<long long> minutes) {
    if (!minutes || *minutes < 0)
        return unavailableText();
    const bool english = L10n::isEnglish();
    const QString minuteUnit = english ? QStringLiteral(" min") : QStringLiteral(" dk");
    const QString hourUnit = english ? QStringLiteral(" hr") : QStringLiteral(" sa");
    if (*minutes < 60)
        return QString::number(*minutes) + minuteUnit;
    QString text = QString::number(*minutes / 60) + hourUnit;
    if (*minutes % 60 != 0)
        text += u' ' + QString::number(*minutes % 60) + minuteUnit;
    return text;
}

QString duration(std::optional<double> seconds) {
    if (!usable(seconds, false))
        return unavailableText();
    const bool english = L10n::isEnglish();
    const QString secondUnit = english ? QStringLiteral(" sec") : QStringLiteral(" sn");
    const QString minuteUnit = english ? QStringLiteral(" min") : QStringLiteral(" dk");
    const QString hourUnit = english ? QStringLiteral(" hr") : QStringLiteral(" sa");
    const long long total = roundedInteger(*seconds);
    if (total < 60)
        return QString::number(total) + secondUnit;
    if (total < 3600) {
        QString text = QString::number(total / 60) + minuteUnit;
        if (total % 60 != 0)
            text += u' ' + QString::number(total % 60) + secondUnit;
        return text;
    }
    QString text = QString::number(total / 3600) + hourUnit;
    if ((total % 3600) / 60 != 0)
        text += u' ' + QString::number((total % 3600) / 60) + minuteUnit;
    return text;
}

QString percentagePointDelta(std::optional<double> fractionDelta) {
    if (!usable(fractionDelta, true))
        return unavailableText();
    const QString unit = L10n::isEnglish() ? QStringLiteral(" points") : QStringLiteral(" puan");
    const double points = *fractionDelta * 100.0;
    if (std::abs(points) < 0.05)
        return number(0, 1) + unit;
    return (points > 0 ? QStringLiteral("+") : QString()) + number(points, 1) + unit;
}

QString batteryCondition(const std::optional<QString>& condition) {
    const QString text = condition ? condition->trimmed() : QString();
    if (text.isEmpty())
        return unavailableText();
    const QString lower = text.toLower();
    static const std::pair<const char*, const char*> table[] = {
        {"good", TR_MARK("İyi")},
        {"normal", TR_MARK("Normal")},
        {"fair", TR_MARK("Orta")},
        {"poor", TR_MARK("Zayıf")},
        {"service recommended", TR_MARK("Servis öneriliyor")},
        {"servicerecommended", TR_MARK("Servis öneriliyor")},
        {"check battery", TR_MARK("Servis öneriliyor")},
        {"replace soon", TR_MARK("Servis öneriliyor")},
        {"replace now", TR_MARK("Servis öneriliyor")},
        {"dead", TR_MARK("Kullanılamaz durumda")},
        {"overheat", TR_MARK("Aşırı ısınmış")},
        {"hot", TR_MARK("Sıcak")},
        {"warm", TR_MARK("Ilık")},
        {"cool", TR_MARK("Serin")},
        {"cold", TR_MARK("Soğuk")},
        {"over voltage", TR_MARK("Aşırı gerilim")},
        {"unspecified failure", TR_MARK("Arıza bildirildi")},
        {"watchdog timer expire", TR_MARK("Şarj zamanlayıcısı doldu")},
        {"safety timer expire", TR_MARK("Şarj zamanlayıcısı doldu")},
        {"over current", TR_MARK("Aşırı akım")},
        {"calibration required", TR_MARK("Kalibrasyon gerekiyor")},
    };
    for (const auto& [platform, turkish] : table) {
        if (lower == QLatin1String(platform))
            return L10n::string(QString::fromUtf8(turkish));
    }
    return text;
}

} // namespace kestrum::MetricFormatting
