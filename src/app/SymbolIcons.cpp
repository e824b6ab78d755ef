#include "SymbolIcons.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageReader>
#include <map>

namespace kestrum {

namespace {

// The ink of the bundled drawings' lines; status colours in them are left alone.
const QByteArray kNeutralInk = QByteArrayLiteral("#4a5160");

// Freedesktop icon names that say the same thing, best first.
const std::map<QString, QStringList>& themeNames() {
    static const std::map<QString, QStringList> names = {
        {QStringLiteral("cpu"), {QStringLiteral("cpu"), QStringLiteral("computer")}},
        {QStringLiteral("memorychip"),
         {QStringLiteral("media-flash"), QStringLiteral("drive-removable-media")}},
        {QStringLiteral("battery.75percent"), {QStringLiteral("battery-good"), QStringLiteral("battery")}},
        {QStringLiteral("arrow.down.circle"), {QStringLiteral("network-receive"), QStringLiteral("go-down")}},
        {QStringLiteral("wifi"), {QStringLiteral("network-wireless")}},
        {QStringLiteral("checkmark.circle"), {QStringLiteral("object-select"), QStringLiteral("emblem-ok")}},
        {QStringLiteral("checkmark.circle.fill"),
         {QStringLiteral("emblem-ok"), QStringLiteral("object-select")}},
        {QStringLiteral("questionmark.circle"),
         {QStringLiteral("dialog-question"), QStringLiteral("help-about")}},
        {QStringLiteral("exclamationmark.triangle.fill"), {QStringLiteral("dialog-warning")}},
        {QStringLiteral("exclamationmark.octagon.fill"), {QStringLiteral("dialog-error")}},
        {QStringLiteral("flame.fill"), {QStringLiteral("temperature-warm"), QStringLiteral("dialog-error")}},
        {QStringLiteral("thermometer.medium"),
         {QStringLiteral("temperature-normal"), QStringLiteral("dialog-information")}},
        {QStringLiteral("gauge.with.dots.needle.67percent"), {QStringLiteral("utilities-system-monitor")}},
        {QStringLiteral("cross.case.fill"), {QStringLiteral("applications-science")}},
        {QStringLiteral("wrench.and.screwdriver.fill"),
         {QStringLiteral("applications-engineering"), QStringLiteral("preferences-other")}},
        {QStringLiteral("speedometer"),
         {QStringLiteral("speedometer"), QStringLiteral("utilities-system-monitor")}},
        {QStringLiteral("checkmark.shield.fill"),
         {QStringLiteral("security-high"), QStringLiteral("emblem-ok")}},
        {QStringLiteral("square.grid.3x3.topleft.filled"), {QStringLiteral("drive-harddisk")}},
        {QStringLiteral("gearshape"),
         {QStringLiteral("preferences-system"), QStringLiteral("emblem-system")}},
        {QStringLiteral("folder"), {QStringLiteral("folder")}},
    };
    return names;
}

QIcon bundled(const QString& symbol) {
    const QString path = QStringLiteral(":/kestrum/icons/symbols/") + symbol + QStringLiteral(".svg");
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon fromTheme(const QString& symbol) {
    const auto it = themeNames().find(symbol);
    if (it == themeNames().end())
        return {};
    for (const QString& name : it->second) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

} // namespace

QIcon SymbolIcons::icon(const QString& symbol) {
    const QIcon themed = fromTheme(symbol);
    return themed.isNull() ? bundled(symbol) : themed;
}

QPixmap SymbolIcons::inked(const QString& symbol, const QString& ink, const QSize& size) {
    QFile file(QStringLiteral(":/kestrum/icons/symbols/") + symbol + QStringLiteral(".svg"));
    if (!file.open(QIODevice::ReadOnly) || !QColor::isValidColorName(ink))
        return {};
    QByteArray drawing = file.readAll();
    drawing.replace(kNeutralInk, ink.toLatin1());
    QBuffer buffer(&drawing);
    QImageReader reader(&buffer, "svg");
    reader.setScaledSize(size);
    return QPixmap::fromImage(reader.read());
}

QIcon SymbolIcons::bundledFirst(const QString& symbol) {
    const QIcon own = bundled(symbol);
    return own.isNull() ? fromTheme(symbol) : own;
}

QPixmap SymbolImageProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) {
    const QSize wanted = requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(24, 24);
    // "name" or "name?ink=rrggbb": the drawing's neutral ink in another colour (the dark scheme's).
    const QString symbol = id.section(u'?', 0, 0);
    const QString ink = id.section(QStringLiteral("?ink="), 1, 1);
    QPixmap pixmap;
    if (!ink.isEmpty())
        pixmap = SymbolIcons::inked(symbol, QStringLiteral("#") + ink, wanted);
    if (pixmap.isNull())
        pixmap = SymbolIcons::bundledFirst(symbol).pixmap(wanted);
    if (pixmap.isNull()) {
        pixmap = QPixmap(wanted);
        pixmap.fill(Qt::transparent);
    }
    if (size)
        *size = pixmap.size();
    return pixmap;
}

} // namespace kestrum
