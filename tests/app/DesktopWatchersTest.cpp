// The desktop services the application follows, over a private session bus with fake services: the
// tray host coming and going, and the light/dark preference of the settings portal.

#include "AppFakes.h"
#include "ColorSchemeWatcher.h"
#include "KestrumApplication.h"
#include "TestSupport.h"
#include "Theme.h"
#include "TrayHostWatcher.h"
#include "platform/linux/PrivateBus.h"

#include <QDBusContext>
#include <QDBusError>
#include <QDBusVariant>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

using namespace kestrum;

// A StatusNotifier watcher as panels provide it.
class FakeStatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
public:
    bool host = false;
    bool isHostRegistered() const { return host; }
    void setHost(bool present) {
        host = present;
        if (present)
            Q_EMIT StatusNotifierHostRegistered();
        else
            Q_EMIT StatusNotifierHostUnregistered();
    }
Q_SIGNALS:
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();
};

// The settings portal; it may lack ReadOne, as portals before version 2 do. It lives on a thread of
// its own, because the watcher reads it blocking (before the first frame).
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    std::atomic<uint> scheme{0};
    std::atomic<bool> hasReadOne{true};
public Q_SLOTS:
    QDBusVariant ReadOne(const QString& group, const QString& key) {
        if (!hasReadOne) {
            sendErrorReply(QDBusError::UnknownMethod, QStringLiteral("no ReadOne"));
            return {};
        }
        return answer(group, key);
    }
    QDBusVariant Read(const QString& group, const QString& key) {
        return QDBusVariant(QVariant::fromValue(answer(group, key)));
    }
Q_SIGNALS:
    void SettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QDBusVariant answer(const QString& group, const QString& key) {
        if (group != u"org.freedesktop.appearance" || key != u"color-scheme") {
            sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                           QStringLiteral("no such key"));
            return {};
        }
        return QDBusVariant(QVariant::fromValue(scheme.load()));
    }
};

namespace {

struct FakeDesktop {
    test::PrivateBus bus;
    QDBusConnection owner = bus.connect(QStringLiteral("desktop-services"));
    FakeStatusNotifierWatcher watcher;
    QThread portalThread;
    FakePortal* portal = nullptr;

    FakeDesktop() { portalThread.start(); }
    ~FakeDesktop() {
        // Deleted in its own thread before that thread stops: a deleteLater posted just before quit()
        // may never run, and the portal would outlive the test.
        if (portal)
            QMetaObject::invokeMethod(
                portal, [p = portal] { delete p; }, Qt::BlockingQueuedConnection);
        portalThread.quit();
        portalThread.wait();
    }
    void startTrayWatcher(bool host) {
        watcher.host = host;
        owner.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                             QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSignals);
        owner.registerService(TrayHostWatcher::kWatcherService);
    }
    void stopTrayWatcher() {
        owner.unregisterService(TrayHostWatcher::kWatcherService);
        owner.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    }
    void startPortal(uint scheme, bool hasReadOne) {
        portal = new FakePortal;
        portal->scheme = scheme;
        portal->hasReadOne = hasReadOne;
        // Registered first: the bus gives the object a helper child, which must move along with it.
        owner.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), portal,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
        portal->moveToThread(&portalThread);
        owner.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    void changeSetting(const QString& group, const QString& key, uint value) {
        if (group == u"org.freedesktop.appearance" && key == u"color-scheme")
            portal->scheme = value;
        QMetaObject::invokeMethod(portal, [p = portal, group, key, value] {
            Q_EMIT p->SettingChanged(group, key, QDBusVariant(QVariant::fromValue(value)));
        });
    }
};

} // namespace

TEST(TrayHostWatcher, FollowsTheHostAsItComesAndGoes) {
    FakeDesktop desktop;
    if (!desktop.bus.isRunning())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TrayHostWatcher tray(desktop.bus.connect(QStringLiteral("app")), [] { return false; });
    QSignalSpy changes(&tray, &TrayHostWatcher::availabilityChanged);
    EXPECT_FALSE(tray.isAvailable()) << "no watcher on the bus";

    struct Step {
        const char* what;
        std::function<void()> act;
        bool available;
    } steps[] = {
        {"a watcher without a host (a panel still starting)", [&] { desktop.startTrayWatcher(false); },
         false},
        {"the panel's host registers", [&] { desktop.watcher.setHost(true); }, true},
        {"the host goes (the panel crashed)", [&] { desktop.watcher.setHost(false); }, false},
        {"it is back", [&] { desktop.watcher.setHost(true); }, true},
        {"the watcher leaves the bus", [&] { desktop.stopTrayWatcher(); }, false},
        {"a new watcher with its host", [&] { desktop.startTrayWatcher(true); }, true},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_TRUE(test::spinUntil([&] { return tray.isAvailable() == step.available; }, 3000)) << step.what;
    }
    EXPECT_EQ(changes.count(), 5);

    // An older tray (XEmbed) counts without any watcher.
    TrayHostWatcher older(QDBusConnection(QStringLiteral("no-bus")), [] { return true; });
    EXPECT_TRUE(older.isAvailable());
}

TEST(ColorSchemeWatcher, ReadsThePortalAndFollowsIt) {
    struct Case {
        const char* what;
        bool portal;
        uint scheme;
        bool hasReadOne;
        std::optional<ColorScheme> expected;
    } cases[] = {
        {"dark", true, 1, true, ColorScheme::dark},
        {"light", true, 2, true, ColorScheme::light},
        {"no preference reads as light", true, 0, true, ColorScheme::light},
        {"an older portal without ReadOne", true, 1, false, ColorScheme::dark},
        {"a value this version does not know", true, 7, true, std::nullopt},
        {"no portal at all", false, 0, true, std::nullopt},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        if (!desktop.bus.isRunning())
            GTEST_SKIP() << "dbus-daemon is not installed";
        if (c.portal)
            desktop.startPortal(c.scheme, c.hasReadOne);
        ColorSchemeWatcher watcher(desktop.bus.connect(QStringLiteral("app")));
        EXPECT_EQ(watcher.scheme(), c.expected) << c.what;
    }

    FakeDesktop desktop;
    desktop.startPortal(2, true);
    ColorSchemeWatcher watcher(desktop.bus.connect(QStringLiteral("app")));
    ASSERT_EQ(watcher.scheme(), ColorScheme::light);
    const QString appearance = QStringLiteral("org.freedesktop.appearance");
    desktop.changeSetting(appearance, QStringLiteral("accent-color"), 1);
    desktop.changeSetting(appearance, QStringLiteral("color-scheme"), 1);
    EXPECT_TRUE(test::spinUntil([&] { return watcher.scheme() == ColorScheme::dark; })) << "followed live";
    desktop.changeSetting(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme"), 2);
    test::spinUntil([] { return false; }, 100);
    EXPECT_EQ(watcher.scheme(), ColorScheme::dark) << "another group's key is not the appearance setting";

    // The application's theme follows the portal too.
    QTemporaryDir folders;
    test::useFolders(folders);
    Date now = Date::now();
    KestrumApplication::Options options = test::quietOptions();
    options.desktopBus = desktop.bus.connect(QStringLiteral("application"));
    KestrumApplication application(options, test::fakeMonitorServices(&now));
    EXPECT_TRUE(application.theme().isDark());
    desktop.changeSetting(appearance, QStringLiteral("color-scheme"), 2);
    EXPECT_TRUE(test::spinUntil([&] { return !application.theme().isDark(); }));
}

TEST(KestrumApplication, AHiddenStartWithoutATrayShowsTheWindowMinimised) {
    struct Case {
        const char* what;
        bool trayAtStart;
        bool trayArrives; // within the grace period
        bool windowShown;
    } cases[] = {
        {"a tray at start: stays in the tray", true, false, false},
        {"the panel starts late: stays in the tray", false, true, false},
        {"no tray ever: the window, minimised", false, false, true},
    };
    for (const auto& c : cases) {
        FakeDesktop desktop;
        if (!desktop.bus.isRunning())
            GTEST_SKIP() << "dbus-daemon is not installed";
        if (c.trayAtStart)
            desktop.startTrayWatcher(true);
        QTemporaryDir folders;
        test::useFolders(folders);
        Date now = Date::now();
        KestrumApplication::Options options = test::quietOptions();
        options.desktopBus = desktop.bus.connect(QStringLiteral("application"));
        options.startHidden = true;
        options.noTrayGraceMs = 400;
        KestrumApplication application(options, test::fakeMonitorServices(&now));
        ASSERT_TRUE(application.start());
        if (c.trayArrives)
            desktop.startTrayWatcher(true);
        test::spinUntil([] { return false; }, 900);
        EXPECT_EQ(application.hasTray(), c.trayAtStart || c.trayArrives) << c.what;
        EXPECT_EQ(application.shell().hasTray(), application.hasTray()) << c.what;
        QQuickWindow* window = application.mainWindow();
        EXPECT_EQ(window != nullptr && window->isVisible(), c.windowShown) << c.what;
        if (c.windowShown) {
            EXPECT_TRUE(window->windowStates() & Qt::WindowMinimized) << c.what;
        }
        if (c.trayAtStart) {
            // The panel goes away for good: the window comes back rather than leave nothing to click.
            desktop.watcher.setHost(false);
            EXPECT_TRUE(test::spinUntil([&] { return !application.hasTray(); })) << c.what;
            EXPECT_TRUE(test::spinUntil([&] {
                return application.mainWindow() && application.mainWindow()->isVisible();
            })) << c.what;
        }
    }
}

#include "DesktopWatchersTest.moc"
