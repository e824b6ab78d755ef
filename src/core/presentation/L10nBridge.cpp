#include "L10nBridge.h"

#include "localisation/L10n.h"

namespace kestrum {

bool L10nBridge::isEnglish() const {
    return L10n::isEnglish();
}
QString L10nBridge::string(const QString& turkish) const {
    return L10n::string(turkish);
}
QString L10nBridge::fragment(const QString& text) const {
    return L10n::localizedFragment(text);
}

} // namespace kestrum
