// The localisation layer on arbitrary text with the real English table: lookups, pattern matching,
// sentence and report localisation, number normalisation, and the template parser itself.

#include "FuzzSupport.h"
#include "foundation/Translatable.h"
#include "localisation/DynamicLocalizationPattern.h"
#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const L10nEngine english(true, bundledEnglishTable());
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    english.string(text);
    english.localizedFragment(text);
    english.localizeSentences(text);
    english.report(text);
    english.normalizeNumbers(text, true, true);

    const std::vector<TemplatePart> parts = parseTemplate(text);
    QStringList values;
    for (const TemplatePart& part : parts) {
        if (part.isExpression)
            values << part.text.left(8);
    }
    const QString filled = fillTemplate(parts, values);
    // A template as its own translation matches what it fills in.
    if (const auto pattern = DynamicLocalizationPattern::make(text, text))
        pattern->localizedValue(filled, [](const QString& capture) { return capture; });
    return 0;
}
