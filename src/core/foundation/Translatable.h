#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace kestrum {

// User-facing text is written in Turkish and is its own localisation key. These two helpers mark such
// texts in the code (the localisation completeness test finds them) without translating: translation
// happens where the text is displayed, through L10n.

// A fixed Turkish text.
inline QString trText(const char* turkish) {
    return QString::fromUtf8(turkish);
}

// A Turkish template whose interpolations are written `\(expression)`; they are filled in order with
// `values`. The template itself is the localisation key, so English patterns can match the result.
QString trTemplate(const char* turkishTemplate, const QStringList& values);

// One piece of a parsed template: literal text or the source of an interpolation.
struct TemplatePart {
    bool isExpression = false;
    QString text;
    bool operator==(const TemplatePart&) const = default;
};

// Scans `\(`…`)` interpolations: nested parentheses are counted, quoted text is skipped (a backslash
// escapes the next character). An unterminated expression ends the parse without that expression.
std::vector<TemplatePart> parseTemplate(const QString& text);

// Rebuilds a template with each expression replaced by the value at the same position.
QString fillTemplate(const std::vector<TemplatePart>& parts, const QStringList& values);

} // namespace kestrum

// Marks a Turkish literal inside a table (where neither helper above fits) as a user-facing text.
#define TR_MARK(text) text
