#pragma once

#include <QIcon>
#include <QQuickImageProvider>
#include <QString>

namespace kestrum {

// Kestrum's symbol names ("cpu", "exclamationmark.triangle.fill", …) as icons: the desktop theme's
// icon when it has one, else the bundled drawing. Missing everything, an empty icon (never a crash).
namespace SymbolIcons {
QIcon icon(const QString& symbol);
// Prefer the bundled drawing (consistent inside the window); the theme is the fallback.
QIcon bundledFirst(const QString& symbol);
// The bundled drawing with its neutral ink in `ink` ("#rrggbb"), for dark backgrounds; null when there
// is no bundled drawing.
QPixmap inked(const QString& symbol, const QString& ink, const QSize& size);
} // namespace SymbolIcons

// "image://symbol/<name>" for QML, or "image://symbol/<name>?ink=rrggbb" with the neutral ink recoloured.
class SymbolImageProvider : public QQuickImageProvider {
public:
    SymbolImageProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace kestrum
