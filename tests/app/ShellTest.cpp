// The application shell without its views: icons for every symbol the presentation can name, the tray
// icon, the localisation bridge, and starting hidden in the tray.

#include "AppFakes.h"
#include "KestrumApplication.h"
#include "SymbolIcons.h"
#include "TestSupport.h"
#include "TrayItem.h"
#include "interpretation/MenuBarPresentation.h"
#include "presentation/L10nBridge.h"
#include "presentation/NavigationSection.h"
#include "presentation/TrayPresentation.h"

#include <QImage>
#include <QQuickWindow>
#include <gtest/gtest.h>
#include <set>

using namespace kestrum;

namespace {

SystemSnapshot withThermal(ThermalLevel level) {
    SystemSnapshot s = SystemSnapshot::empty();
    s.thermal = level;
    return s;
}

// Every symbol the sidebar and the tray can ask for, over snapshots from empty to critical.
std::set<QString> symbolsInUse() {
    std::set<QString> symbols;
    for (const NavigationSection section : availableSections(builtCapabilities()))
        symbols.insert(navigationSymbol(section));
    for (const ThermalLevel level : allCases<ThermalLevel>()) {
        const SystemSnapshot snapshot = withThermal(level);
        for (const bool measured : {false, true}) {
            const MenuBarHealthPresentation health =
                MenuBarHealthPresentation::resolve(snapshot, {}, measured);
            symbols.insert(health.systemImage);
            for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
                symbols.insert(MenuBarMetricFormatter::systemImage(metric, snapshot, health.systemImage));
        }
    }
    // The views' own.
    symbols.insert(QStringLiteral("folder"));
    symbols.insert(QStringLiteral("gearshape"));
    return symbols;
}

bool hasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

} // namespace

TEST(SymbolIcons, EverySymbolInUseHasABundledDrawing) {
    const std::set<QString> symbols = symbolsInUse();
    EXPECT_GE(symbols.size(), 10u);
    for (const QString& symbol : symbols) {
        const QIcon icon = SymbolIcons::bundledFirst(symbol);
        ASSERT_FALSE(icon.isNull()) << symbol.toStdString()
                                    << " has no drawing: a desktop without an icon theme shows nothing";
        EXPECT_TRUE(hasInk(icon.pixmap(24, 24).toImage())) << symbol.toStdString();
    }
    // An unknown name is an empty icon, and an empty (transparent) picture of the size asked for in QML.
    EXPECT_TRUE(SymbolIcons::icon(QStringLiteral("no.such.symbol")).isNull());
    SymbolImageProvider provider;
    QSize size;
    const QPixmap blank = provider.requestPixmap(QStringLiteral("no.such.symbol"), &size, QSize(18, 18));
    EXPECT_EQ(size, QSize(18, 18));
    EXPECT_FALSE(hasInk(blank.toImage()));
}

TEST(TrayItem, TheIconCarriesTheValueAtEveryTraySize) {
    TrayPresentation plain;
    plain.symbol = QStringLiteral("cpu");
    TrayPresentation valued = plain;
    valued.iconText = QStringLiteral("87");
    const QIcon withText = TrayItem::renderIcon(valued);
    const QIcon symbolOnly = TrayItem::renderIcon(plain);
    for (const int side : {22, 32, 64}) {
        const QImage a = withText.pixmap(side, side).toImage();
        EXPECT_EQ(a.size(), QSize(side, side));
        EXPECT_NE(a, symbolOnly.pixmap(side, side).toImage()) << "the value is drawn at " << side << " px";
    }
    // No drawing for the symbol: the value alone still shows.
    TrayPresentation unknown;
    unknown.symbol = QStringLiteral("no.such.symbol");
    unknown.iconText = QStringLiteral("—");
    EXPECT_TRUE(hasInk(TrayItem::renderIcon(unknown).pixmap(32, 32).toImage()));
}

TEST(L10nBridge, QmlGetsTheSameTextsAsTheRestOfTheApp) {
    L10nBridge bridge;
    {
        test::ScopedLanguage english(true);
        EXPECT_TRUE(bridge.isEnglish());
        EXPECT_EQ(bridge.string(QStringLiteral("Genel Bakış")), QStringLiteral("Overview"));
        EXPECT_EQ(bridge.string(QStringLiteral("bilinmeyen metin")), QStringLiteral("bilinmeyen metin"))
            << "unknown passes through";
    }
    test::ScopedLanguage turkish(false);
    EXPECT_FALSE(bridge.isEnglish());
    EXPECT_EQ(bridge.string(QStringLiteral("Genel Bakış")), QStringLiteral("Genel Bakış"));
}

TEST(KestrumApplication, StartingHiddenMonitorsWithoutLoadingTheWindow) {
    QTemporaryDir folders;
    test::useFolders(folders);
    Date now = Date::now();
    KestrumApplication::Options options = test::quietOptions();
    options.otherTray = [] { return true; }; // a desktop with a tray
    options.startHidden = true;
    KestrumApplication application(options, test::fakeMonitorServices(&now));
    ASSERT_TRUE(application.start());
    EXPECT_EQ(application.mainWindow(), nullptr);
    EXPECT_FALSE(application.overview().isActive());
    EXPECT_TRUE(test::spinUntil([&] { return application.store().hasMeasurement(); }))
        << "monitoring runs without a window";

    // The settings window may be asked for from the tray: the window is loaded but stays hidden.
    application.showSettings();
    QQuickWindow* window = application.mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    auto* settings = window->findChild<QQuickWindow*>(QStringLiteral("settingsWindow"));
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(test::spinUntil([&] { return settings->isVisible(); }));
    // Closing it lets everything go again.
    settings->hide();
    EXPECT_TRUE(test::spinUntil([&] { return application.mainWindow() == nullptr; }));
}
