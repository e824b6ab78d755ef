#pragma once

#include <QObject>

namespace kestrum {

// L10n for QML: `l10n.string(turkishText)`, `l10n.fragment(text)` for composite texts.
class L10nBridge : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnglish READ isEnglish CONSTANT)
public:
    using QObject::QObject;
    bool isEnglish() const;
    Q_INVOKABLE QString string(const QString& turkish) const;
    Q_INVOKABLE QString fragment(const QString& text) const;
};

} // namespace kestrum
