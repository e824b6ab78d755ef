#include "ForegroundApplication.h"

namespace kestrum {

namespace {

// Control characters and invisible format characters (bidirectional overrides, zero-width joiners) are
// dropped; line breaks and tabs become spaces; runs of white space one space.
QString cleaned(const QString& raw, qsizetype maximumLength) {
    QString out;
    out.reserve(std::min(raw.size(), maximumLength + 1));
    bool pendingSpace = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        char32_t code = raw[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(code)) {
            if (i + 1 >= raw.size() || !QChar::isLowSurrogate(raw[i + 1].unicode()))
                continue; // an unpaired half is no character
            code = QChar::surrogateToUcs4(raw[i].unicode(), raw[i + 1].unicode());
            width = 2;
        } else if (QChar::isLowSurrogate(code)) {
            continue;
        }
        const QChar::Category category = QChar::category(code);
        const bool space = QChar::isSpace(code) || code == u'\t' || code == u'\n' || code == u'\r';
        if (space) {
            pendingSpace = !out.isEmpty();
        } else if (category != QChar::Other_Control && category != QChar::Other_Format &&
                   category != QChar::Other_NotAssigned && category != QChar::Other_Surrogate) {
            if (pendingSpace) {
                out += u' ';
                pendingSpace = false;
            }
            if (out.size() + width > maximumLength) {
                // Cut at a whole character and say that something was cut.
                while (out.size() + 1 > maximumLength)
                    out.chop(QChar::isLowSurrogate(out.back().unicode()) ? 2 : 1);
                out += QChar(0x2026);
                return out;
            }
            out += raw.mid(i, width);
        }
        i += width - 1;
    }
    return out;
}

} // namespace

QString ForegroundApplication::sanitizedName(const QString& raw) {
    QString name = raw;
    // A path is never shown: keep what follows the last separator.
    const qsizetype slash = name.lastIndexOf(u'/');
    if (slash >= 0)
        name = name.mid(slash + 1);
    return cleaned(name, kMaximumNameLength);
}

QString ForegroundApplication::sanitizedIdentifier(const QString& raw) {
    return cleaned(raw, kMaximumIdentifierLength);
}

std::optional<ForegroundApplication>
ForegroundApplication::accepted(const QString& name, const std::optional<QString>& bundleIdentifier,
                                const std::optional<QString>& excludedBundleIdentifier) {
    const QString shown = sanitizedName(name);
    if (shown.isEmpty())
        return std::nullopt;
    std::optional<QString> identifier;
    if (bundleIdentifier) {
        const QString cleanedIdentifier = sanitizedIdentifier(*bundleIdentifier);
        if (!cleanedIdentifier.isEmpty())
            identifier = cleanedIdentifier;
    }
    if (identifier && excludedBundleIdentifier && *identifier == *excludedBundleIdentifier)
        return std::nullopt;
    // The app never reports itself.
    if (shown.compare(QLatin1String("Kestrum"), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    return ForegroundApplication{shown, identifier};
}

} // namespace kestrum
