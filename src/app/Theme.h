#pragma once

#include "presentation/ThemePalette.h"

#include <QColor>
#include <QFont>
#include <QJSEngine>
#include <QObject>
#include <QQmlEngine>

namespace kestrum {

// The views' colours and fonts: the palette of the desktop's light or dark scheme, and sizes scaled
// from the desktop's own font. Views take every colour from here.
class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool isDark READ isDark NOTIFY paletteChanged)
    // Appended to "image://symbol/<name>": the symbols' lines in the scheme's ink.
    Q_PROPERTY(QString symbolSuffix READ symbolSuffix NOTIFY paletteChanged)
#define KESTRUM_THEME_COLOR(name) Q_PROPERTY(QColor name READ name NOTIFY paletteChanged)
    KESTRUM_THEME_COLOR(background)
    KESTRUM_THEME_COLOR(sidebar)
    KESTRUM_THEME_COLOR(card)
    KESTRUM_THEME_COLOR(border)
    KESTRUM_THEME_COLOR(text)
    KESTRUM_THEME_COLOR(secondaryText)
    KESTRUM_THEME_COLOR(accent)
    KESTRUM_THEME_COLOR(selection)
    KESTRUM_THEME_COLOR(hover)
    KESTRUM_THEME_COLOR(focus)
    KESTRUM_THEME_COLOR(control)
    KESTRUM_THEME_COLOR(controlBorder)
    KESTRUM_THEME_COLOR(controlStrong)
    KESTRUM_THEME_COLOR(track)
    KESTRUM_THEME_COLOR(errorText)
    KESTRUM_THEME_COLOR(monitoringOn)
    KESTRUM_THEME_COLOR(monitoringOff)
    KESTRUM_THEME_COLOR(onColor)
    KESTRUM_THEME_COLOR(seriesCPU)
    KESTRUM_THEME_COLOR(seriesMemory)
    KESTRUM_THEME_COLOR(seriesDownload)
    KESTRUM_THEME_COLOR(seriesUpload)
    KESTRUM_THEME_COLOR(seriesBattery)
    KESTRUM_THEME_COLOR(busy)
    KESTRUM_THEME_COLOR(hatch)
#undef KESTRUM_THEME_COLOR
    Q_PROPERTY(int titleSize READ titleSize NOTIFY fontChanged)
    Q_PROPERTY(int headingSize READ headingSize NOTIFY fontChanged)
    Q_PROPERTY(int bodySize READ bodySize NOTIFY fontChanged)
    Q_PROPERTY(int smallSize READ smallSize NOTIFY fontChanged)
    Q_PROPERTY(int figureSize READ figureSize NOTIFY fontChanged)

public:
    // The sizes the views were drawn for; they scale with the desktop font's size against this body size.
    static constexpr double kDesignBodySize = 13;

    explicit Theme(ColorScheme scheme, QObject* parent = nullptr);
    static Theme* create(QQmlEngine* engine, QJSEngine*);

    ColorScheme scheme() const {
        return m_scheme;
    }
    void setScheme(ColorScheme scheme);
    QString symbolSuffix() const;
    bool isDark() const {
        return m_scheme == ColorScheme::dark;
    }
    // The font whose size the views follow; by default the application's (the desktop's) font.
    void setBaseFont(const QFont& font);

#define KESTRUM_THEME_GETTER(name)                                                                           \
    QColor name() const {                                                                                    \
        return QColor::fromString(QLatin1String(palette().name));                                            \
    }
    KESTRUM_THEME_GETTER(background)
    KESTRUM_THEME_GETTER(sidebar)
    KESTRUM_THEME_GETTER(card)
    KESTRUM_THEME_GETTER(border)
    KESTRUM_THEME_GETTER(text)
    KESTRUM_THEME_GETTER(secondaryText)
    KESTRUM_THEME_GETTER(accent)
    KESTRUM_THEME_GETTER(selection)
    KESTRUM_THEME_GETTER(hover)
    KESTRUM_THEME_GETTER(focus)
    KESTRUM_THEME_GETTER(control)
    KESTRUM_THEME_GETTER(controlBorder)
    KESTRUM_THEME_GETTER(controlStrong)
    KESTRUM_THEME_GETTER(track)
    KESTRUM_THEME_GETTER(errorText)
    KESTRUM_THEME_GETTER(monitoringOn)
    KESTRUM_THEME_GETTER(monitoringOff)
    KESTRUM_THEME_GETTER(onColor)
    KESTRUM_THEME_GETTER(seriesCPU)
    KESTRUM_THEME_GETTER(seriesMemory)
    KESTRUM_THEME_GETTER(seriesDownload)
    KESTRUM_THEME_GETTER(seriesUpload)
    KESTRUM_THEME_GETTER(seriesBattery)
    KESTRUM_THEME_GETTER(busy)
    KESTRUM_THEME_GETTER(hatch)
#undef KESTRUM_THEME_GETTER

    int titleSize() const {
        return scaled(22);
    }
    int headingSize() const {
        return scaled(15);
    }
    int bodySize() const {
        return scaled(13);
    }
    int smallSize() const {
        return scaled(11);
    }
    int figureSize() const {
        return scaled(24);
    }

    Q_INVOKABLE QColor levelColor(const QString& level) const;
    Q_INVOKABLE QColor toneColor(const QString& tone) const;
    Q_INVOKABLE QColor tileColor(const QString& category) const;

Q_SIGNALS:
    void paletteChanged();
    void fontChanged();

private:
    const ThemePalette& palette() const {
        return ThemePalette::of(m_scheme);
    }
    int scaled(double designSize) const;

    ColorScheme m_scheme = ColorScheme::light;
    QFont m_font;
    double m_bodyPixels = kDesignBodySize;
};

} // namespace kestrum
