#include "UserText.h"

namespace kestrum {

QString boundedUserText(const QString& text, qsizetype maximumCharacters) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != u'\t' && c != u'\n')
            continue;
        kept.append(c);
    }
    kept = kept.trimmed();
    qsizetype characters = 0;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i].isLowSurrogate() && i > 0 && kept[i - 1].isHighSurrogate())
            continue; // the second half of a character already counted
        if (characters == maximumCharacters) {
            kept.truncate(i);
            break;
        }
        ++characters;
    }
    return kept;
}

} // namespace kestrum
