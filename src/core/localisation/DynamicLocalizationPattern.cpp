#include "DynamicLocalizationPattern.h"

#include "foundation/Translatable.h"

namespace kestrum {

namespace {
const char* const kMeasurementMarkers[] = {"milliseconds(",    "rate(",         "bytes(",
                                           "duration(",        "batteryDrain(", "speed(",
                                           "percent(",         "percentage(",   "MetricFormatting.bytes(",
                                           "formatted(.number"};
// A double-quoted text starting at `i` (backslash escapes the next character); `i` ends after it.
std::optional<QString> quoted(const QString& text, qsizetype& i) {
    if (i >= text.size() || text[i] != u'"')
        return std::nullopt;
    QString out;
    for (++i; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (text[i] == u'"') {
            ++i;
            return out;
        } else {
            out += text[i];
        }
    }
    return std::nullopt;
}

void skipSpaces(const QString& text, qsizetype& i) {
    while (i < text.size() && text[i].isSpace())
        ++i;
}

} // namespace

std::optional<PluralChoice> PluralChoice::parse(const QString& expression) {
    const QString text = expression.trimmed();
    static const QString opening = QStringLiteral("plural(");
    if (!text.startsWith(opening) || !text.endsWith(u')'))
        return std::nullopt;
    const qsizetype comma = text.indexOf(u',', opening.size());
    if (comma < 0)
        return std::nullopt;
    PluralChoice choice;
    choice.countExpression = text.mid(opening.size(), comma - opening.size()).trimmed();
    if (choice.countExpression.isEmpty() || choice.countExpression.contains(u'"'))
        return std::nullopt;
    qsizetype i = comma + 1;
    skipSpaces(text, i);
    auto one = quoted(text, i);
    skipSpaces(text, i);
    if (!one || i >= text.size() || text[i] != u',')
        return std::nullopt;
    ++i;
    skipSpaces(text, i);
    auto other = quoted(text, i);
    skipSpaces(text, i);
    if (!other || i != text.size() - 1)
        return std::nullopt;
    choice.one = std::move(*one);
    choice.other = std::move(*other);
    return choice;
}

const QString& PluralChoice::formFor(const QString& count) const {
    // English and Turkish both use the singular for exactly one and nothing else ("1.0 files").
    return count.trimmed() == u"1" ? one : other;
}

std::optional<DynamicLocalizationPattern> DynamicLocalizationPattern::make(const QString& source,
                                                                           const QString& translation) {
    const std::vector<TemplatePart> parts = parseTemplate(source);
    DynamicLocalizationPattern pattern;
    QString expression = QStringLiteral("^");
    for (const TemplatePart& part : parts) {
        if (part.isExpression) {
            pattern.m_sourceExpressions.append(part.text);
            expression += QStringLiteral("(.*?)");
            const QString trimmed = part.text.trimmed();
            if (part.text.contains(u"batteryDrain("))
                pattern.m_normalizesPercent = true;
            if (trimmed == u"swap")
                pattern.m_normalizesMeasurement = true;
            for (const char* marker : kMeasurementMarkers) {
                if (part.text.contains(QLatin1String(marker)))
                    pattern.m_normalizesMeasurement = true;
            }
        } else {
            expression += QRegularExpression::escape(part.text);
            pattern.m_literalCharacterCount += static_cast<int>(part.text.size());
            if (part.text.trimmed().endsWith(u'%'))
                pattern.m_normalizesPercent = true;
        }
    }
    if (pattern.m_sourceExpressions.isEmpty())
        return std::nullopt;
    expression += u'$';
    pattern.m_regex = QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption);
    if (!pattern.m_regex.isValid())
        return std::nullopt;
    pattern.m_regex.optimize();
    pattern.m_translation = translation;
    return pattern;
}

std::optional<QString> DynamicLocalizationPattern::localizedValue(
    const QString& key, const std::function<QString(const QString&)>& localizeCapture) const {
    const QRegularExpressionMatch match = m_regex.match(key);
    if (!match.hasMatch())
        return std::nullopt;
    QStringList boundExpressions;
    QStringList boundValues;
    for (qsizetype i = 0; i < m_sourceExpressions.size(); ++i) {
        const QString captured = match.captured(static_cast<int>(i + 1));
        const qsizetype earlier = boundExpressions.indexOf(m_sourceExpressions[i]);
        if (earlier >= 0) {
            // The same expression twice must have captured the same text.
            if (boundValues[earlier] != localizeCapture(captured))
                return std::nullopt;
            continue;
        }
        boundExpressions.append(m_sourceExpressions[i]);
        boundValues.append(localizeCapture(captured));
    }
    QString out;
    for (const TemplatePart& part : parseTemplate(m_translation)) {
        if (!part.isExpression) {
            out += part.text;
            continue;
        }
        const qsizetype index = boundExpressions.indexOf(part.text);
        if (index >= 0) {
            out += boundValues[index];
            continue;
        }
        const auto plural = PluralChoice::parse(part.text);
        const qsizetype countIndex = plural ? boundExpressions.indexOf(plural->countExpression) : -1;
        if (countIndex < 0)
            return std::nullopt;
        out += plural->formFor(boundValues[countIndex]);
    }
    return out;
}

} // namespace kestrum
