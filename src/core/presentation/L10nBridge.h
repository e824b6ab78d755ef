#pragma once

#include <QObject>
#include <QtQmlIntegration/qqmlintegration.h>

namespace kestrum {

// L10n for the views' fixed texts: `L10n.string(turkishText)`, `L10n.fragment(text)` for composite texts.
class L10nBridge : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(L10n)
    QML_SINGLETON
    Q_PROPERTY(bool isEnglish READ isEnglish CONSTANT)
public:
    using QObject::QObject;
    bool isEnglish() const;
    Q_INVOKABLE QString string(const QString& turkish) const;
    Q_INVOKABLE QString fragment(const QString& text) const;
};

} // namespace kestrum
