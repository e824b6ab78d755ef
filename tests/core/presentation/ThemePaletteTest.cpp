// Both palettes keep their text readable (WCAG AA) and their lines visible on every surface.

#include "presentation/ThemePalette.h"

#include "presentation/StorageTreemapViewModel.h"

#include <gtest/gtest.h>

using namespace kestrum;

TEST(ThemePalette, ContrastRatioFollowsTheDefinition) {
    struct Case {
        const char* a;
        const char* b;
        std::optional<double> ratio;
    } cases[] = {
        {"#000000", "#ffffff", 21.0},
        {"#ffffff", "#000000", 21.0},
        {"#777777", "#777777", 1.0},
        {"#767676", "#ffffff", 4.54}, // the lightest grey that passes AA on white
        {"#ff0000", "#ffffff", 4.0},
        {"#ffffff", "white", std::nullopt},
        {"#12345", "#ffffff", std::nullopt},
        {"#gg0000", "#ffffff", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto ratio = contrastRatio(QLatin1String(c.a), QLatin1String(c.b));
        ASSERT_EQ(ratio.has_value(), c.ratio.has_value()) << c.a << " on " << c.b;
        if (ratio) {
            EXPECT_NEAR(*ratio, *c.ratio, 0.01) << c.a << " on " << c.b;
        }
    }
}

TEST(ThemePalette, EveryPairTheViewsDrawPassesInBothSchemes) {
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        const ThemePalette& p = ThemePalette::of(scheme);
        const char* name = scheme == ColorScheme::dark ? "dark" : "light";
        struct Pair {
            const char* what;
            QString foreground, background;
            double minimum; // 4.5 for text, 3 for lines, bars and focus rings
        };
        std::vector<Pair> pairs;
        const auto text = [&](const char* what, const char* fg, const char* bg) {
            pairs.push_back({what, QLatin1String(fg), QLatin1String(bg), 4.5});
        };
        const auto graphic = [&](const char* what, const char* fg, const char* bg) {
            pairs.push_back({what, QLatin1String(fg), QLatin1String(bg), 3.0});
        };
        for (const char* surface : {p.background, p.sidebar, p.card}) {
            text("text", p.text, surface);
            text("secondary text", p.secondaryText, surface);
        }
        text("sidebar error", p.errorText, p.sidebar);
        text("card error", p.errorText, p.card);
        text("chosen section", p.text, p.selection);
        text("hovered section", p.text, p.hover);
        text("button text", p.text, p.control);
        for (const char* fill : {p.levelNormal, p.levelAttention, p.levelCritical, p.levelUnknown})
            text("badge", p.onColor, fill);
        graphic("focus ring on the sidebar", p.focus, p.sidebar);
        graphic("focus ring on a chosen row", p.focus, p.selection);
        graphic("focus ring on a card", p.focus, p.card);
        graphic("monitoring dot", p.monitoringOn, p.sidebar);
        for (const char* series :
             {p.seriesCPU, p.seriesMemory, p.seriesDownload, p.seriesUpload, p.seriesBattery, p.busy})
            graphic("chart line or bar", series, p.card);
        graphic("switch edge", p.controlBorder, p.card);
        graphic("checked switch", p.controlStrong, p.card);
        for (const char* category : {"applications", "video", "images", "audio", "documents", "archives",
                                     "developer", "other", "folder", "others"}) {
            const QByteArray fill = p.tileColor(QLatin1String(category)).toLatin1();
            pairs.push_back({category, QLatin1String(p.onColor), QString::fromLatin1(fill), 4.5});
        }
        for (const Pair& pair : pairs) {
            const auto ratio = contrastRatio(pair.foreground, pair.background);
            ASSERT_TRUE(ratio) << name << ": " << pair.what;
            EXPECT_GE(*ratio, pair.minimum)
                << name << ": " << pair.what << " " << pair.foreground.toStdString() << " on "
                << pair.background.toStdString();
        }
    }
}

TEST(ThemePalette, LevelsTonesAndTilesEachHaveTheirColour) {
    const ThemePalette& light = ThemePalette::of(ColorScheme::light);
    EXPECT_EQ(light.levelColor(QStringLiteral("critical")), QLatin1String(light.levelCritical));
    EXPECT_EQ(light.levelColor(QStringLiteral("no such level")), QLatin1String(light.levelUnknown));
    EXPECT_EQ(light.toneColor(QStringLiteral("observed")), QLatin1String(light.levelNormal));
    // Every tile colour role the treemap can give is its own colour (a legend entry means one colour).
    std::set<QString> fills;
    for (const StorageCategory category : allCases<StorageCategory>())
        fills.insert(light.tileColor(rawValue(category)));
    fills.insert(light.tileColor(StorageTreemapViewModel::kFolderCategory));
    fills.insert(light.tileColor(StorageTreemapViewModel::kOthersCategory));
    EXPECT_EQ(fills.size(), std::size(EnumTraits<StorageCategory>::cases) + 2);
    EXPECT_NE(QLatin1String(ThemePalette::of(ColorScheme::dark).background), QLatin1String(light.background));
}

TEST(ThemePalette, PortalColourSchemeValues) {
    EXPECT_EQ(colorSchemeFromPortal(0), ColorScheme::light) << "no preference";
    EXPECT_EQ(colorSchemeFromPortal(1), ColorScheme::dark);
    EXPECT_EQ(colorSchemeFromPortal(2), ColorScheme::light);
    EXPECT_EQ(colorSchemeFromPortal(3), std::nullopt);
}
