#include "DynamicLocalizationPattern.h"

#include "foundation/Translatable.h"

namespace kestrum {

namespace {
const char* const kMeasurementMarkers[] = {"milliseconds(",    "rate(",         "bytes(",
                                           "duration(",        "batteryDrain(", "speed(",
                                           "percent(",         "percentage(",   "MetricFormatting.bytes(",
                                           "formatted(.number"};
} // namespace

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
        if (index < 0)
            return std::nullopt;
        out += boundValues[index];
    }
    return out;
}

} // namespace kestrum
