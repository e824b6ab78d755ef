#include "ThemePalette.h"

#include <algorithm>
#include <cmath>

namespace kestrum {

namespace {

constexpr ThemePalette kLight = {
    .background = "#f5f6f8",
    .sidebar = "#eceef2",
    .card = "#ffffff",
    .border = "#e2e5eb",
    .text = "#1d2129",
    .secondaryText = "#5f6673",
    .accent = "#2f6fdb",
    .selection = "#dbe6fb",
    .hover = "#e2e6ee",
    .focus = "#2f6fdb",
    .control = "#e0e0e0",
    .controlBorder = "#8a8d91",
    .controlStrong = "#353637",
    .track = "#eef1f6",
    .errorText = "#b3261e",
    .monitoringOn = "#1f7a43",
    .monitoringOff = "#8a909a",
    .onColor = "#ffffff",
    .levelNormal = "#1f7a43",
    .levelAttention = "#a35a00",
    .levelCritical = "#d63a2f",
    .levelUnknown = "#6b717c",
    .toneObserving = "#2f6fdb",
    .seriesCPU = "#2f6fdb",
    .seriesMemory = "#7d4fd6",
    .seriesDownload = "#1f9d8b",
    .seriesUpload = "#c2571a",
    .seriesBattery = "#2e9d57",
    .busy = "#d63a2f",
    .tileApplications = "#5856d6",
    .tileVideo = "#1f5fcc",
    .tileImages = "#0b7285",
    .tileAudio = "#a8326e",
    .tileDocuments = "#2b7a3d",
    .tileArchives = "#a35400",
    .tileDeveloper = "#8e44c9",
    .tileOther = "#6b6f76",
    .tileFolder = "#8a6a43",
    .tileOthers = "#5c6068",
    .hatch = "#ffffff",
};

constexpr ThemePalette kDark = {
    .background = "#1a1c21",
    .sidebar = "#22252c",
    .card = "#2a2d35",
    .border = "#3b3f49",
    .text = "#eceef2",
    .secondaryText = "#b2b8c4",
    .accent = "#77a6ff",
    .selection = "#2f4a78",
    .hover = "#343842",
    .focus = "#8fb6ff",
    .control = "#3a3e48",
    .controlBorder = "#858b99",
    .controlStrong = "#c9d3e6",
    .track = "#3a3e48",
    .errorText = "#ff9a8f",
    .monitoringOn = "#4cc47a",
    .monitoringOff = "#9299a5",
    .onColor = "#ffffff",
    .levelNormal = "#1f7a43",
    .levelAttention = "#a35a00",
    .levelCritical = "#b8322a",
    .levelUnknown = "#5d636e",
    .toneObserving = "#77a6ff",
    .seriesCPU = "#77a6ff",
    .seriesMemory = "#b394f0",
    .seriesDownload = "#3fc2ad",
    .seriesUpload = "#f0935a",
    .seriesBattery = "#4cc47a",
    .busy = "#ff6f61",
    .tileApplications = "#4f4cc0",
    .tileVideo = "#1d5fc2",
    .tileImages = "#1c6f8f",
    .tileAudio = "#8f2d5f",
    .tileDocuments = "#22733f",
    .tileArchives = "#975400",
    .tileDeveloper = "#7a3aa3",
    .tileOther = "#5b5f68",
    .tileFolder = "#6d5538",
    .tileOthers = "#4a4e57",
    .hatch = "#ffffff",
};

double channel(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::optional<double> luminance(const QString& hex) {
    if (hex.size() != 7 || !hex.startsWith(u'#'))
        return std::nullopt;
    bool ok = false;
    const uint rgb = hex.mid(1).toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    const auto part = [rgb](int shift) { return channel(double((rgb >> shift) & 0xff) / 255.0); };
    return 0.2126 * part(16) + 0.7152 * part(8) + 0.0722 * part(0);
}

} // namespace

const ThemePalette& ThemePalette::of(ColorScheme scheme) {
    return scheme == ColorScheme::dark ? kDark : kLight;
}

QString ThemePalette::levelColor(const QString& level) const {
    if (level == u"normal")
        return QLatin1String(levelNormal);
    if (level == u"attention")
        return QLatin1String(levelAttention);
    if (level == u"critical")
        return QLatin1String(levelCritical);
    return QLatin1String(levelUnknown);
}

QString ThemePalette::toneColor(const QString& tone) const {
    if (tone == u"critical")
        return QLatin1String(levelCritical);
    if (tone == u"attention")
        return QLatin1String(levelAttention);
    if (tone == u"observing")
        return QLatin1String(toneObserving);
    if (tone == u"observed")
        return QLatin1String(levelNormal);
    return QLatin1String(levelUnknown);
}

QString ThemePalette::tileColor(const QString& category) const {
    const std::pair<const char*, const char*> tiles[] = {{"applications", tileApplications},
                                                         {"video", tileVideo},
                                                         {"images", tileImages},
                                                         {"audio", tileAudio},
                                                         {"documents", tileDocuments},
                                                         {"archives", tileArchives},
                                                         {"developer", tileDeveloper},
                                                         {"other", tileOther},
                                                         {"folder", tileFolder},
                                                         {"others", tileOthers}};
    for (const auto& [name, color] : tiles) {
        if (category == QLatin1String(name))
            return QLatin1String(color);
    }
    return QLatin1String(tileOther);
}

std::optional<double> contrastRatio(const QString& a, const QString& b) {
    const auto la = luminance(a);
    const auto lb = luminance(b);
    if (!la || !lb)
        return std::nullopt;
    const auto [dark, light] = std::minmax(*la, *lb);
    return (light + 0.05) / (dark + 0.05);
}

std::optional<ColorScheme> colorSchemeFromPortal(uint value) {
    switch (value) {
    case 0:
    case 2:
        return ColorScheme::light;
    case 1:
        return ColorScheme::dark;
    default:
        return std::nullopt;
    }
}

} // namespace kestrum
