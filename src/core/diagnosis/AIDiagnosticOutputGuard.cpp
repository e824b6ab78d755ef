#include "AIDiagnosticOutputGuard.h"

#include "AIDiagnosticErrors.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"

#include <QLocale>
#include <QRegularExpression>
#include <array>

namespace kestrum::AIDiagnosticOutputGuard {

namespace {

constexpr auto kOptions =
    QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;

const std::array<QRegularExpression, 6>& certaintyPatterns() {
    static const std::array<QRegularExpression, 6> patterns{
        QRegularExpression(QStringLiteral("cihaz(?:ın|in)? genel durum(?:u|unun) (?:iyi|normal)"), kOptions),
        QRegularExpression(QStringLiteral("cihaz arızalı değildir"), kOptions),
        QRegularExpression(QStringLiteral("arıza olmad[ıi]ğ[ıi]na dair kanıt"), kOptions),
        QRegularExpression(QStringLiteral("arızalı olmad[ıi]ğ[ıi]na dair kanıt"), kOptions),
        QRegularExpression(QStringLiteral("kesinlikle (?:sağlıklı|arızasız)"), kOptions),
        QRegularExpression(QStringLiteral("donanım arızası yoktur"), kOptions),
    };
    return patterns;
}

const QRegularExpression& partNumberPattern() {
    static const QRegularExpression pattern(QStringLiteral("\\b\\d{3}-\\d{5}\\b"));
    return pattern;
}

} // namespace

QString sanitize(const QString& text) {
    QString result = text.trimmed();
    if (result.isEmpty())
        throw makeError(AIDiagnosticServiceError::emptyResponse);
    // Matching ignores case; Turkish capitals need Turkish lower case ("ARIZASI" is "arızası"), which
    // the expression's own folding does not know.
    static const QLocale turkish(QStringLiteral("tr_TR"));
    const QString lowered = turkish.toLower(result);
    for (const QRegularExpression& pattern : certaintyPatterns()) {
        if (pattern.match(result).hasMatch() || pattern.match(lowered).hasMatch())
            throw makeError(AIDiagnosticServiceError::unsupportedCertainty);
    }
    result.replace(partNumberPattern(), L10n::string(trText("[doğrulanmış parça referansı]")));
    if (result.size() > kMaximumCharacters) {
        qsizetype end = kMaximumCharacters;
        if (result.at(end - 1).isHighSurrogate())
            --end; // never leave half a character behind
        result.truncate(end);
    }
    return result;
}

} // namespace kestrum::AIDiagnosticOutputGuard
