#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kestrum {

// The desktop's light or dark preference, as the freedesktop appearance setting gives it.
enum class ColorScheme { light, dark };

// Every colour the views use, for one scheme, as "#rrggbb". Text colours keep WCAG AA contrast (4.5:1)
// on every surface they are drawn on, and lines, bars and focus rings 3:1 (tested); the views take
// their colours from here only.
struct ThemePalette {
    const char* background;
    const char* sidebar;
    const char* card;
    const char* border;
    const char* text;
    const char* secondaryText;
    const char* accent;
    const char* selection; // the chosen sidebar row
    const char* hover;
    const char* focus;         // the keyboard focus ring
    const char* control;       // buttons, fields
    const char* controlBorder; // their edges, an unchecked switch
    const char* controlStrong; // a checked switch or box
    const char* track;         // the empty part of bars
    const char* errorText;
    const char* monitoringOn;
    const char* monitoringOff;
    const char* onColor; // text on the level, tone and tile fills
    const char* levelNormal;
    const char* levelAttention;
    const char* levelCritical;
    const char* levelUnknown;
    const char* toneObserving;
    const char* seriesCPU;
    const char* seriesMemory;
    const char* seriesDownload;
    const char* seriesUpload;
    const char* seriesBattery;
    const char* busy; // a busy core, a low battery
    // Treemap tiles by content category (in category order), then folders and the merged tile.
    const char* tileApplications;
    const char* tileVideo;
    const char* tileImages;
    const char* tileAudio;
    const char* tileDocuments;
    const char* tileArchives;
    const char* tileDeveloper;
    const char* tileOther;
    const char* tileFolder;
    const char* tileOthers;
    const char* hatch; // the lines across the merged tile

    static const ThemePalette& of(ColorScheme scheme);

    // The colour of a health level ("normal", "attention", "critical", anything else: unknown).
    QString levelColor(const QString& level) const;
    // The colour of an observation tone.
    QString toneColor(const QString& tone) const;
    // The fill of a treemap tile of this colour role (a category's raw name, "folder" or "others").
    QString tileColor(const QString& category) const;
};

// WCAG 2 contrast ratio of two "#rrggbb" colours (1…21); absent when either is not such a colour.
std::optional<double> contrastRatio(const QString& a, const QString& b);

// The freedesktop "color-scheme" value: 1 prefers dark, 2 prefers light, 0 (no preference) reads as
// light; absent for anything else.
std::optional<ColorScheme> colorSchemeFromPortal(uint value);

} // namespace kestrum
