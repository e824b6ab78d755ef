#include "Theme.h"

#include "presentation/ViewModelInstances.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace kestrum {

Theme::Theme(ColorScheme scheme, QObject* parent) : QObject(parent), m_scheme(scheme) {}

Theme* Theme::create(QQmlEngine* engine, QJSEngine*) {
    if (Theme* provided = ViewModelInstances::create<Theme>(engine))
        return provided;
    return new Theme(ColorScheme::light); // a view loaded on its own, owned by its engine
}

void Theme::setScheme(ColorScheme scheme) {
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT paletteChanged();
}

void Theme::setBaseFont(const QFont& font) {
    double pixels = font.pixelSize();
    if (pixels <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        pixels = font.pointSizeF() * dpi / 72.0;
    }
    if (!(pixels > 0))
        pixels = kDesignBodySize;
    if (font == m_font && pixels == m_bodyPixels)
        return;
    m_font = font;
    m_bodyPixels = pixels;
    Q_EMIT fontChanged();
}

QString Theme::symbolSuffix() const {
    // The drawings' own ink suits the light scheme; on dark surfaces they take the secondary text's.
    return isDark() ? QStringLiteral("?ink=") + QLatin1String(palette().secondaryText).mid(1) : QString();
}

int Theme::scaled(double designSize) const {
    return static_cast<int>(std::lround(designSize * m_bodyPixels / kDesignBodySize));
}

QColor Theme::levelColor(const QString& level) const {
    return QColor::fromString(palette().levelColor(level));
}

QColor Theme::toneColor(const QString& tone) const {
    return QColor::fromString(palette().toneColor(tone));
}

QColor Theme::tileColor(const QString& category) const {
    return QColor::fromString(palette().tileColor(category));
}

} // namespace kestrum
