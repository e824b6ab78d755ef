#include "Desktop.h"

#include "presentation/ViewModelInstances.h"

namespace kestrum {

Desktop* Desktop::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<Desktop>(engine);
}

} // namespace kestrum
