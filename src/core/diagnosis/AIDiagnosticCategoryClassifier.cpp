#include "AIDiagnosticCategoryClassifier.h"

#include "AIDiagnosticErrors.h"

#include <QRegularExpression>
#include <array>

namespace kestrum::AIDiagnosticCategoryClassifier {

namespace {

struct Pattern {
    DiagnosticCategory category;
    QRegularExpression expression;
};

const std::vector<Pattern>& patterns() {
    static const std::vector<Pattern> all = [] {
        std::vector<Pattern> list;
        for (const auto& [category, raw] : EnumTraits<DiagnosticCategory>::cases) {
            // \b follows Unicode word characters, so "THERMALS" or "ÇTHERMAL" is not the label.
            list.push_back(
                {category, QRegularExpression(QStringLiteral("\\b") + DiagnosticLabels::modelLabel(category) +
                                                  QStringLiteral("\\b"),
                                              QRegularExpression::UseUnicodePropertiesOption)});
        }
        return list;
    }();
    return all;
}

} // namespace

DiagnosticCategory category(const QString& response) {
    const QString text = response.trimmed().toUpper();
    std::optional<DiagnosticCategory> found;
    for (const Pattern& pattern : patterns()) {
        if (!pattern.expression.match(text).hasMatch())
            continue;
        if (found)
            throw makeError(AIDiagnosticServiceError::invalidClassification);
        found = pattern.category;
    }
    if (!found)
        throw makeError(AIDiagnosticServiceError::invalidClassification);
    return *found;
}

} // namespace kestrum::AIDiagnosticCategoryClassifier
