#include "Translatable.h"

namespace kestrum {

std::vector<TemplatePart> parseTemplate(const QString& text) {
    std::vector<TemplatePart> parts;
    QString literal;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (text[i] == u'\\' && i + 1 < n && text[i + 1] == u'(') {
            qsizetype j = i + 2;
            int depth = 1;
            bool inQuotes = false;
            qsizetype end = -1;
            while (j < n) {
                const QChar c = text[j];
                if (inQuotes) {
                    if (c == u'\\')
                        j += 1;
                    else if (c == u'"')
                        inQuotes = false;
                } else if (c == u'"') {
                    inQuotes = true;
                } else if (c == u'(') {
                    ++depth;
                } else if (c == u')') {
                    if (--depth == 0) {
                        end = j;
                        break;
                    }
                }
                ++j;
            }
            if (end < 0)
                break; // unterminated: the parse ends here, without this expression
            if (!literal.isEmpty()) {
                parts.push_back({false, literal});
                literal.clear();
            }
            parts.push_back({true, text.mid(i + 2, end - i - 2)});
            i = end + 1;
            continue;
        }
        literal.append(text[i]);
        ++i;
    }
    if (!literal.isEmpty())
        parts.push_back({false, literal});
    return parts;
}

QString fillTemplate(const std::vector<TemplatePart>& parts, const QStringList& values) {
    QString out;
    qsizetype next = 0;
    for (const auto& part : parts) {
        if (!part.isExpression) {
            out += part.text;
        } else {
            if (next < values.size())
                out += values[next];
            ++next;
        }
    }
    return out;
}

QString trTemplate(const char* turkishTemplate, const QStringList& values) {
    return fillTemplate(parseTemplate(QString::fromUtf8(turkishTemplate)), values);
}

} // namespace kestrum
