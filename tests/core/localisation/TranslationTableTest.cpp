// Keeps the English table complete: every Turkish text the code hands to the localisation layer
// (trText, trTemplate, TR_MARK, a local tr helper, or L10n.string in QML) must be a key of the table.

#include "foundation/Translatable.h"
#include "localisation/DynamicLocalizationPattern.h"
#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"

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
    static const QRegularExpression call(QStringLiteral(
        "(?<![A-Za-z0-9_.])(trText|trTemplate|TR_MARK|tr|l10n\\.string|L10n\\.string)\\(\\s*((?:\"(?:[^"
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

namespace {

// Every table the product shows texts from: the English table and the four overlays.
std::vector<std::pair<QString, std::shared_ptr<const TranslationTable>>> shownTables() {
    return {{QStringLiteral("English table"), bundledEnglishTable()},
            {QStringLiteral("overlay-tr-linux"), bundledOverlay(false, OverlayScope::linux)},
            {QStringLiteral("overlay-tr-nonmac"), bundledOverlay(false, OverlayScope::nonMac)},
            {QStringLiteral("overlay-en-linux"), bundledOverlay(true, OverlayScope::linux)},
            {QStringLiteral("overlay-en-nonmac"), bundledOverlay(true, OverlayScope::nonMac)}};
}

// The key with every expression replaced by `value`: what the code builds from the template.
QString filled(const QString& key, const QString& value) {
    const auto parts = parseTemplate(key);
    return fillTemplate(parts, QStringList(parts.size(), value));
}

} // namespace

TEST(EnglishTable, EveryTemplateEntryBecomesAPatternAndKeepsItsExpressions) {
    for (const auto& [name, table] : shownTables()) {
        for (auto it = table->cbegin(); it != table->cend(); ++it) {
            if (!it.key().contains(QStringLiteral("\\(")))
                continue;
            const auto pattern = DynamicLocalizationPattern::make(it.key(), it.value());
            ASSERT_TRUE(pattern) << name.toStdString() << ": " << it.key().toStdString();
            // Every expression of the shown template is bound by the key, directly or as a plural's count.
            for (const TemplatePart& part : parseTemplate(it.value())) {
                if (!part.isExpression)
                    continue;
                const auto plural = PluralChoice::parse(part.text);
                EXPECT_TRUE(
                    pattern->sourceExpressions().contains(plural ? plural->countExpression : part.text))
                    << name.toStdString() << ": " << it.key().toStdString() << " → "
                    << part.text.toStdString();
            }
        }
    }
}

TEST(EnglishTable, CountsAgreeWithTheirNouns) {
    // "1 files", "Observed 1 times", "1 different days observed": a count of one before a plural noun
    // (at most one word between) means the entry needs a plural() choice. Counts are the expressions
    // named as counts or time spans; the others get a word.
    static const QRegularExpression countName(QStringLiteral("(count|minutes|hours|days|seconds)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pluralAfterOne(
        QStringLiteral("(?<![\\d.,/])1 (?:(?!(?:is|was|has|as|this|its|plus|minus|less)\\b)[a-z]+ )?"
                       "(?!(?:is|was|has|as|this|its|plus|minus|less|hrs)\\b)[a-z]+s\\b"));
    for (const bool mac : {false, true}) {
        const L10nEngine english(true, bundledDisplayTable(true, mac));
        const auto table = bundledDisplayTable(true, mac);
        for (auto it = table->cbegin(); it != table->cend(); ++it) {
            if (!it.key().contains(QStringLiteral("\\(")))
                continue;
            QStringList values;
            for (const TemplatePart& part : parseTemplate(it.key())) {
                if (part.isExpression)
                    values.append(part.text.contains(countName) ? QStringLiteral("1") : QStringLiteral("x"));
            }
            const QString shown = english.string(fillTemplate(parseTemplate(it.key()), values));
            EXPECT_FALSE(pluralAfterOne.match(shown).hasMatch())
                << it.key().toStdString() << " → " << shown.toStdString();
        }
    }
}

TEST(Overlays, EveryTextNamingMacOSOrTheMacHasADecision) {
    // "macOS" is untrue on every Linux machine; "Mac" is true only on a Mac. A text may still say either
    // when an overlay keeps it as written on purpose (its value equals its key).
    static const QRegularExpression macOS(QStringLiteral("macOS"));
    static const QRegularExpression mac(QStringLiteral("(?<!\\p{L})Macs?(?!\\p{L})"),
                                        QRegularExpression::UseUnicodePropertiesOption);
    const auto keptAsWritten = [](const QString& key, bool english, OverlayScope scope) {
        const auto overlay = bundledOverlay(english, scope);
        return overlay->contains(key) && overlay->value(key) == key;
    };
    // Texts of the code and every key the English table knows (texts built at run time included).
    QSet<QString> texts;
    for (const auto& literal : userFacingLiterals())
        texts.insert(literal.first);
    const auto english = bundledEnglishTable();
    for (auto it = english->cbegin(); it != english->cend(); ++it)
        texts.insert(it.key());

    int checked = 0;
    for (const QString& key : texts) {
        const bool mentions = key.contains(macOS) || key.contains(mac) ||
                              english->value(key).contains(macOS) || english->value(key).contains(mac);
        if (!mentions)
            continue;
        ++checked;
        const QString text = filled(key, QStringLiteral("7"));
        for (const bool inEnglish : {false, true}) {
            for (const bool onAMac : {false, true}) {
                const L10nEngine engine(inEnglish, bundledDisplayTable(inEnglish, onAMac));
                const QString shown = engine.localizedFragment(text);
                const std::string where = key.toStdString() + (inEnglish ? " (en" : " (tr") +
                                          (onAMac ? ", Mac) → " : ", not a Mac) → ") + shown.toStdString();
                if (!keptAsWritten(key, inEnglish, OverlayScope::linux))
                    EXPECT_FALSE(shown.contains(macOS)) << where;
                if (!onAMac && !keptAsWritten(key, inEnglish, OverlayScope::linux) &&
                    !keptAsWritten(key, inEnglish, OverlayScope::nonMac))
                    EXPECT_FALSE(shown.contains(mac)) << where;
                if (inEnglish)
                    EXPECT_NE(shown, text) << where << " is not translated";
            }
        }
    }
    EXPECT_GE(checked, 10) << "the scan found too few texts naming macOS or the Mac to be trusted";
}

TEST(Overlays, DecideTheSameTextsInBothLanguagesAndOnlyTextsOfTheCode) {
    const auto english = bundledEnglishTable();
    for (const OverlayScope scope : {OverlayScope::linux, OverlayScope::nonMac}) {
        const auto turkish = bundledOverlay(false, scope);
        const auto englishOverlay = bundledOverlay(true, scope);
        EXPECT_FALSE(turkish->isEmpty());
        EXPECT_EQ(QSet<QString>(turkish->keyBegin(), turkish->keyEnd()),
                  QSet<QString>(englishOverlay->keyBegin(), englishOverlay->keyEnd()));
        for (auto it = turkish->cbegin(); it != turkish->cend(); ++it) {
            // A key that is no text of the code (a typo, a text changed since) would replace nothing.
            EXPECT_TRUE(english->contains(it.key())) << it.key().toStdString();
            // Turkish stays Turkish: the overlay changes words, not the template's expressions.
            EXPECT_EQ(parseTemplate(it.value()).size() > 1 || it.value().contains(QStringLiteral("\\(")),
                      it.key().contains(QStringLiteral("\\(")))
                << it.key().toStdString();
        }
    }
}
