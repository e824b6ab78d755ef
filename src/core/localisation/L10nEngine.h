#pragma once

#include "DynamicLocalizationPattern.h"
#include "L10n.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace kestrum {

// The state behind L10n: the language, the display table, and the pattern list built once, lazily, from
// the table's template keys. Safe to use from several threads.
//
// The table maps the Turkish texts of the code to what is shown: English texts in an English interface;
// in a Turkish one only the texts that must read differently on this machine (an empty table shows
// every text as written and builds no patterns).
class L10nEngine {
public:
    L10nEngine(bool english, std::shared_ptr<const TranslationTable> table);

    bool isEnglish() const { return m_english; }
    QString string(const QString& key) const;
    QString localizedFragment(const QString& text) const;
    QString localizeSentences(const QString& text) const;
    QString report(const QString& text) const;
    QString date(Date date, L10n::DateStyle dateStyle, L10n::TimeStyle timeStyle) const;

    // Numeric normalisation (English only): "%45,6" → "45.6%", "1.234,5 MB" → "1,234.5 MB", "3 dk" → "3 min".
    // Letters, digits and spaces are matched as Unicode knows them: "2 sağlık" has no unit "sa".
    QString normalizeNumbers(const QString& text, bool percent, bool measurement) const;

    // For tests: whether the pattern list has been built.
    bool hasBuiltPatterns() const;
    size_t patternCount() const;

private:
    // Steps 1 and 2 of a lookup; absent when neither the table nor a pattern knows the text.
    std::optional<QString> translated(const QString& key) const;
    const std::vector<DynamicLocalizationPattern>& patterns() const;

    bool m_english;
    std::shared_ptr<const TranslationTable> m_table;
    bool m_identity;                           // nothing to look up: every text is shown as written
    QHash<QString, QString> m_normalizedTable; // table values, already normalised
    mutable std::once_flag m_patternsOnce;
    mutable std::vector<DynamicLocalizationPattern> m_patterns;
    mutable std::atomic<bool> m_patternsBuilt{false};
    // Results of pattern lookups and misses: labels are redrawn with the same texts over and over.
    mutable std::mutex m_cacheMutex;
    mutable QHash<QString, QString> m_cache;
};

} // namespace kestrum
