// The English table's property-list parser on arbitrary bytes, and an engine built from whatever table
// it accepts: every entry looked up, its patterns built and matched.

#include "FuzzSupport.h"
#include "localisation/L10n.h"
#include "localisation/L10nEngine.h"

using namespace kestrum;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto table = parseTranslationPropertyList(fuzz::bytesOf(data, size));
    if (!table)
        return 0;
    const L10nEngine engine(true, std::make_shared<const TranslationTable>(*table));
    int looked = 0;
    for (auto it = table->cbegin(); it != table->cend() && looked < 32; ++it, ++looked) {
        engine.string(it.key());
        engine.string(it.value());
        engine.localizeSentences(it.key() + u'\n' + it.value());
    }
    return 0;
}
