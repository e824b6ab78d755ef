#include "ViewModelInstances.h"

namespace kestrum::ViewModelInstances {

namespace {
QByteArray propertyName(const QMetaObject& type) {
    return QByteArrayLiteral("kestrum.viewModel.") + type.className();
}
} // namespace

void provide(QQmlEngine& engine, QObject* instance) {
    engine.setProperty(propertyName(*instance->metaObject()).constData(), QVariant::fromValue(instance));
}

QObject* find(QQmlEngine* engine, const QMetaObject& type) {
    if (!engine)
        return nullptr;
    return engine->property(propertyName(type).constData()).value<QObject*>();
}

} // namespace kestrum::ViewModelInstances
