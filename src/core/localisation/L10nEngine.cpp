#include "L10nEngine.h"

#include "foundation/Logging.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace kestrum {

namespace {

constexpr qsizetype kCacheLimit = 8192;

// Every expression matches letters, digits, word boundaries and white space the Unicode way: without it
// "ğ" is not a letter, so "2 sağlık" would end a unit word "sa" and "1,5 MB" after a no-break space
// would not be a measurement.
constexpr auto kUnicode = QRegularExpression::UseUnicodePropertiesOption;

struct Normalisation {
    QRegularExpression percent{
        QStringLiteral(
            "(^|[\\s(:])(?<!\\]\\()%([0-9]+(?:[.,][0-9]+)?)(?=[/\\s,;:!?)]|\\.(?![\\p{L}\\p{N}])|$)"),
        kUnicode};
    QRegularExpression groupedThousands{QStringLiteral("\\b([0-9]{1,3}(?:\\.[0-9]{3})+)(?=\\s*(?:Mbps|Gbps|"
                                                       "Kbps|ms|GB|MB|KB|TB|GHz|MHz|°C|W|Wh|mAh|dBm)\\b)"),
                                        kUnicode};
    QRegularExpression decimalComma{QStringLiteral("\\b([0-9]{1,3}(?:\\.[0-9]{3})*|[0-9]+),([0-9]{1,2})(?="
                                                   "\\s*(?:Mbps|Gbps|Kbps|ms|GB|MB|KB|TB|GHz|MHz|°C|W|"
                                                   "Wh|mAh|dBm)\\b)"),
                                    kUnicode};
    // Unit words after a number: the white space is captured so that a no-break space stays one.
    // Each with the word it needs, so that texts without it skip the expression.
    struct Rewrite {
        QLatin1String word;
        QRegularExpression regex;
        QString replacement;
    };
    Rewrite unitWords[3] = {
        {QLatin1String("sa"), QRegularExpression(QStringLiteral("(?<=\\d)(\\s+)sa\\b"), kUnicode),
         QStringLiteral("hr")},
        {QLatin1String("dk"), QRegularExpression(QStringLiteral("(?<=\\d)(\\s+)dk\\b"), kUnicode),
         QStringLiteral("min")},
        {QLatin1String("sn"), QRegularExpression(QStringLiteral("(?<=\\d)(\\s+)sn\\b"), kUnicode),
         QStringLiteral("s")},
    };
    Rewrite perUnit[2] = {
        {QLatin1String("/sn"), QRegularExpression(QStringLiteral("/sn\\b"), kUnicode), QStringLiteral("/s")},
        {QLatin1String("/saat"), QRegularExpression(QStringLiteral("/saat\\b"), kUnicode),
         QStringLiteral("/h")},
    };

    Normalisation() {
        // A failure here is a programming error, not a run-time condition.
        Q_ASSERT(percent.isValid() && groupedThousands.isValid() && decimalComma.isValid());
    }
};

bool isNoBreakSpace(QChar c) {
    return c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2007);
}

const Normalisation& normalisation() {
    static const Normalisation instance;
    return instance;
}

// Replaces every match with what `rebuild` makes of it.
template <class F> QString replaceMatches(const QString& text, const QRegularExpression& regex, F&& rebuild) {
    QString out;
    qsizetype last = 0;
    auto it = regex.globalMatch(text);
    if (!it.hasNext())
        return text;
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(last, match.capturedStart() - last);
        out += rebuild(match);
        last = match.capturedEnd();
    }
    out += QStringView(text).mid(last);
    return out;
}

bool isTerminator(QChar c) {
    return c == u'.' || c == u'!' || c == u'?';
}

} // namespace

L10nEngine::L10nEngine(bool english, std::shared_ptr<const TranslationTable> table)
    : m_english(english), m_table(table ? std::move(table) : std::make_shared<TranslationTable>()),
      m_identity(m_table->isEmpty()) {
    for (auto it = m_table->cbegin(); it != m_table->cend(); ++it) {
        if (it.value() != it.key())
            m_normalizedTable.insert(it.key(), normalizeNumbers(it.value(), true, true));
    }
}

QString L10nEngine::normalizeNumbers(const QString& text, bool percent, bool measurement) const {
    if (!m_english)
        return text;
    const Normalisation& n = normalisation();
    QString out = text;
    if (percent && out.contains(u'%')) {
        out = replaceMatches(out, n.percent, [](const QRegularExpressionMatch& m) {
            QString number = m.captured(2);
            number.replace(u',', u'.');
            return m.captured(1) + number + u'%';
        });
    }
    if (measurement) {
        // Unicode matching is slower; most texts lack what an expression needs and skip it.
        if (out.contains(u'.')) {
            out = replaceMatches(out, n.groupedThousands, [](const QRegularExpressionMatch& m) {
                QString number = m.captured(1);
                number.replace(u'.', u',');
                return number;
            });
        }
        if (out.contains(u',')) {
            out = replaceMatches(out, n.decimalComma, [](const QRegularExpressionMatch& m) {
                QString whole = m.captured(1);
                whole.replace(u'.', u',');
                return whole + u'.' + m.captured(2);
            });
        }
        for (const auto& [word, regex, unit] : n.unitWords) {
            if (!out.contains(word))
                continue;
            out = replaceMatches(out, regex, [&unit](const QRegularExpressionMatch& m) {
                const QString space = m.captured(1);
                const auto kept = std::find_if(space.begin(), space.end(), isNoBreakSpace);
                return (kept != space.end() ? QString(*kept) : QStringLiteral(" ")) + unit;
            });
        }
        for (const auto& [word, regex, replacement] : n.perUnit) {
            if (out.contains(word))
                out.replace(regex, replacement);
        }
    }
    return out;
}

const std::vector<DynamicLocalizationPattern>& L10nEngine::patterns() const {
    std::call_once(m_patternsOnce, [this] {
        for (auto it = m_table->cbegin(); it != m_table->cend(); ++it) {
            if (auto pattern = DynamicLocalizationPattern::make(it.key(), it.value()))
                m_patterns.push_back(std::move(*pattern));
            else if (it.key().contains(QStringLiteral("\\(")))
                qCDebug(lcLocalisation) << "skipping table entry whose pattern does not compile:" << it.key();
        }
        // More specific patterns (more literal text) answer first; ties in key order for stability.
        std::stable_sort(m_patterns.begin(), m_patterns.end(), [](const auto& a, const auto& b) {
            if (a.literalCharacterCount() != b.literalCharacterCount())
                return a.literalCharacterCount() > b.literalCharacterCount();
            return a.regex().pattern() < b.regex().pattern();
        });
        m_patternsBuilt = true;
    });
    return m_patterns;
}

bool L10nEngine::hasBuiltPatterns() const {
    return m_patternsBuilt;
}
size_t L10nEngine::patternCount() const {
    return patterns().size();
}

std::optional<QString> L10nEngine::translated(const QString& key) const {
    if (const auto it = m_normalizedTable.constFind(key); it != m_normalizedTable.cend())
        return it.value();
    for (const DynamicLocalizationPattern& pattern : patterns()) {
        if (const auto value =
                pattern.localizedValue(key, [this](const QString& t) { return localizedFragment(t); }))
            return normalizeNumbers(*value, pattern.normalizesPercentPresentation(),
                                    pattern.normalizesMeasurementPresentation());
    }
    return std::nullopt;
}

QString L10nEngine::string(const QString& key) const {
    if (m_identity || key.isEmpty())
        return key;
    if (const auto it = m_normalizedTable.constFind(key); it != m_normalizedTable.cend())
        return it.value();
    {
        std::lock_guard lock(m_cacheMutex);
        if (const auto it = m_cache.constFind(key); it != m_cache.cend())
            return it.value();
    }
    const QString result = translated(key).value_or(key);
    std::lock_guard lock(m_cacheMutex);
    if (m_cache.size() >= kCacheLimit)
        m_cache.clear();
    m_cache.insert(key, result);
    return result;
}

QString L10nEngine::localizedFragment(const QString& text) const {
    if (m_identity)
        return text;
    const QString whole = string(text);
    if (whole != text)
        return whole;
    for (const QString& separator : {QStringLiteral(" | "), QStringLiteral(" · "), QStringLiteral(", ")}) {
        if (!text.contains(separator))
            continue;
        QStringList components = text.split(separator);
        bool changed = false;
        for (QString& component : components) {
            const QString localized = localizedFragment(component);
            changed = changed || localized != component;
            component = localized;
        }
        if (changed)
            return components.join(separator);
    }
    return localizeSentences(text);
}

QString L10nEngine::localizeSentences(const QString& text) const {
    if (m_identity)
        return text;
    QString result;
    QString sentence;
    bool changed = false;
    const auto flush = [&] {
        const QString trimmed = sentence.trimmed();
        const QString shown = string(trimmed);
        changed = changed || shown != trimmed;
        result += shown;
        sentence.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        sentence.append(c);
        if (isTerminator(c) && i + 1 < text.size() && text[i + 1].isSpace()) {
            flush();
            result += u' ';
        }
    }
    flush();
    // A text none of whose sentences is known keeps its own spacing and line breaks.
    return changed ? result : text;
}

QString L10nEngine::report(const QString& text) const {
    if (m_identity)
        return text;
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (const auto value = translated(line))
            line = *value;
        else
            line = localizeSentences(line);
    }
    return normalizeNumbers(lines.join(u'\n'), true, true);
}

QString L10nEngine::date(Date date, L10n::DateStyle dateStyle, L10n::TimeStyle timeStyle) const {
    const QLocale locale = m_english ? QLocale(QLocale::English, QLocale::UnitedStates)
                                     : QLocale(QLocale::Turkish, QLocale::Turkey);
    const QDateTime local = date.toDateTime().toLocalTime();
    QString datePart;
    switch (dateStyle) {
    case L10n::DateStyle::none:
        break;
    case L10n::DateStyle::numeric:
        datePart = locale.toString(local.date(),
                                   m_english ? QStringLiteral("M/d/yyyy") : QStringLiteral("dd.MM.yyyy"));
        break;
    case L10n::DateStyle::abbreviated:
        datePart = locale.toString(local.date(),
                                   m_english ? QStringLiteral("MMM d, yyyy") : QStringLiteral("d MMM yyyy"));
        break;
    case L10n::DateStyle::full:
        datePart = locale.toString(local.date(), m_english ? QStringLiteral("dddd, MMMM d, yyyy")
                                                           : QStringLiteral("d MMMM yyyy dddd"));
        break;
    }
    QString timePart;
    switch (timeStyle) {
    case L10n::TimeStyle::none:
        break;
    case L10n::TimeStyle::shortened:
        timePart =
            locale.toString(local.time(), m_english ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm"));
        break;
    case L10n::TimeStyle::standard:
        timePart = locale.toString(local.time(),
                                   m_english ? QStringLiteral("h:mm:ss AP") : QStringLiteral("HH:mm:ss"));
        break;
    }
    if (datePart.isEmpty())
        return timePart;
    if (timePart.isEmpty())
        return datePart;
    return datePart + (m_english ? QStringLiteral(" at ") : QStringLiteral(" ")) + timePart;
}

} // namespace kestrum
