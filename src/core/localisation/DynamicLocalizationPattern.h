#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace kestrum {

// A count-dependent word in a translation template: `\(plural(count, "file", "files"))` shows the first
// form when the value bound to `count` is exactly 1, the second otherwise.
struct PluralChoice {
    QString countExpression;
    QString one;
    QString other;
    bool operator==(const PluralChoice&) const = default;

    // Absent when `expression` is not a well-formed plural(name, "one", "other").
    static std::optional<PluralChoice> parse(const QString& expression);
    const QString& formFor(const QString& count) const;
};

// One translation-table entry whose Turkish key contains interpolations (`\(expression)`): matches any
// text built from that template and rebuilds the English template with the captured values.
class DynamicLocalizationPattern {
public:
    // Absent when the source has no interpolation or its regular expression does not compile.
    static std::optional<DynamicLocalizationPattern> make(const QString& source, const QString& translation);

    // The translated text for `key`, each captured value first passed through `localizeCapture`
    // (the layer's fragment localisation). Absent when the key does not match or cannot be rebuilt.
    // An expression of the translation is either one the key bound or a plural choice over one.
    std::optional<QString>
    localizedValue(const QString& key, const std::function<QString(const QString&)>& localizeCapture) const;

    const QRegularExpression& regex() const { return m_regex; }
    const QStringList& sourceExpressions() const { return m_sourceExpressions; }
    const QString& translation() const { return m_translation; }
    int literalCharacterCount() const { return m_literalCharacterCount; }
    bool normalizesPercentPresentation() const { return m_normalizesPercent; }
    bool normalizesMeasurementPresentation() const { return m_normalizesMeasurement; }

private:
    QRegularExpression m_regex;
    QStringList m_sourceExpressions;
    QString m_translation;
    int m_literalCharacterCount = 0;
    bool m_normalizesPercent = false;
    bool m_normalizesMeasurement = false;
};

} // namespace kestrum
