// Keeps the English table complete: every Turkish text the code hands to the localisation layer
// (trText, trTemplate, TR_MARK, a local tr helper, or L10n.string in QML) must be a key of the table.

#include "foundation/Translatable.h"
#include "localisation/DynamicLocalizationPattern.h"
#include "localisation/L10n.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

QString unescapeLiteral(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar next = text[++i];
            out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::pair<QString, QString>> userFacingLiterals() {
    static const QRegularExpression call(
        QStringLiteral("(?<![A-Za-z0-9_.])(trText|trTemplate|TR_MARK|tr|l10n\\.string|L10n\\.string)\\(\\s*((?:\"(?:[^"
                       "\"\\\\]|\\\\.)*\"\\s*)+)"));
    static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    std::vector<std::pair<QString, QString>> found;
    QDirIterator it(QStringLiteral(KESTRUM_SOURCE_DIR "/src"),
                    {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString source = QString::fromUtf8(file.readAll());
        auto calls = call.globalMatch(source);
        while (calls.hasNext()) {
            const auto match = calls.next();
            QString key;
            auto pieces = literal.globalMatch(match.captured(2));
            while (pieces.hasNext())
                key += unescapeLiteral(pieces.next().captured(1));
            found.emplace_back(key, path.section(u'/', -2));
        }
    }
    return found;
}

} // namespace

TEST(EnglishTable, CoversEveryTurkishTextInTheSources) {
    const auto table = bundledEnglishTable();
    ASSERT_GT(table->size(), 100) << "the bundled table did not load";
    const auto literals = userFacingLiterals();
    ASSERT_GT(literals.size(), 100u) << "the source scan found too little to be trusted";
    int missing = 0;
    for (const auto& [key, where] : literals) {
        if (!table->contains(key)) {
            ++missing;
            ADD_FAILURE() << "missing English for \"" << key.toStdString() << "\" (" << where.toStdString()
                          << ")";
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST(EnglishTable, EveryTemplateEntryBecomesAPatternAndKeepsItsExpressions) {
    const auto table = bundledEnglishTable();
    for (auto it = table->cbegin(); it != table->cend(); ++it) {
        if (!it.key().contains(QStringLiteral("\\(")))
            continue;
        const auto pattern = DynamicLocalizationPattern::make(it.key(), it.value());
        ASSERT_TRUE(pattern) << it.key().toStdString();
        // Every expression of the English template must be bound by the Turkish key.
        for (const TemplatePart& part : parseTemplate(it.value())) {
            if (part.isExpression) {
                EXPECT_TRUE(pattern->sourceExpressions().contains(part.text))
                    << it.key().toStdString() << " → " << part.text.toStdString();
            }
        }
    }
}
