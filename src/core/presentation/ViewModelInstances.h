#pragma once

#include <QJSEngine>
#include <QQmlEngine>

namespace kestrum {

// The view models are made and owned by the application shell, not by QML. Before loading the window
// the shell hands each one to the engine; a view model's QML singleton factory then answers with the
// instance handed to the engine that asks.
namespace ViewModelInstances {

void provide(QQmlEngine& engine, QObject* instance);
QObject* find(QQmlEngine* engine, const QMetaObject& type);

template <class T> T* create(QQmlEngine* engine) {
    T* instance = qobject_cast<T*>(find(engine, T::staticMetaObject));
    if (instance)
        QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

} // namespace ViewModelInstances

} // namespace kestrum
