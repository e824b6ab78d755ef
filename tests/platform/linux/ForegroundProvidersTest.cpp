// The three ways a Linux desktop tells which application is in front (X11 properties, the KWin script's
// reports, wlroots' foreign-toplevel events), the choice between them, and how a window becomes a named
// application — over recorded replies and a recorded tree of desktop entries and /proc.

#include "ForegroundWindowResolver.h"
#include "KWinScriptForegroundApplicationProvider.h"
#include "LinuxForegroundApplicationProvider.h"
#include "TestSupport.h"
#include "WlrForeignToplevelForegroundApplicationProvider.h"
#include "X11ForegroundApplicationProvider.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace kestrum {
namespace {

QByteArray word(uint32_t value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

// An X server's answers, as recorded: properties by window and name.
class RecordedX11 : public X11PropertySource {
public:
    std::map<std::pair<uint32_t, X11Property>, QByteArray> properties;
    std::map<X11Property, uint32_t> atoms{
        {X11Property::supported, 300}, {X11Property::activeWindow, 301}, {X11Property::wmPid, 302}};
    QString host = QStringLiteral("laptop");

    std::optional<QByteArray> property(uint32_t window, X11Property which) override {
        const auto found = properties.find({window, which});
        return found == properties.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<uint32_t> atom(X11Property which) override {
        const auto found = atoms.find(which);
        return found == atoms.end() ? std::nullopt : std::optional(found->second);
    }
    QString localHostName() const override { return host; }

    // A window manager that supports _NET_ACTIVE_WINDOW and has window 0x1c00007 in front.
    static RecordedX11 withActive(QByteArray wmClass, std::optional<uint32_t> pid, QByteArray machine) {
        RecordedX11 x;
        x.properties[{0, X11Property::supported}] = word(42) + word(301) + word(302);
        x.properties[{0, X11Property::activeWindow}] = word(0x1c00007);
        x.properties[{0x1c00007, X11Property::wmClass}] = std::move(wmClass);
        if (pid)
            x.properties[{0x1c00007, X11Property::wmPid}] = word(*pid);
        if (!machine.isNull())
            x.properties[{0x1c00007, X11Property::wmClientMachine}] = std::move(machine);
        return x;
    }
};

TEST(X11Foreground, ActiveWindowFromRecordedProperties) {
    struct Case {
        const char* name;
        RecordedX11 server;
        std::optional<ForegroundWindow> window;
        bool unavailable = false;
    };
    RecordedX11 unsupported = RecordedX11::withActive(QByteArray("a\0A\0", 4), 10, {});
    unsupported.properties[{0, X11Property::supported}] = word(42) + word(302);
    RecordedX11 noAtom = RecordedX11::withActive(QByteArray("a\0A\0", 4), 10, {});
    noAtom.atoms.erase(X11Property::activeWindow);
    RecordedX11 nothingFocused = RecordedX11::withActive({}, std::nullopt, {});
    nothingFocused.properties[{0, X11Property::activeWindow}] = word(0);
    RecordedX11 shortReply = RecordedX11::withActive({}, std::nullopt, {});
    shortReply.properties[{0, X11Property::activeWindow}] = QByteArray("\x07\x00", 2);

    const std::vector<Case> cases = {
        {"local window with its pid",
         RecordedX11::withActive(QByteArray("navigator\0firefox-esr\0", 22), 4242, QByteArray("laptop")),
         ForegroundWindow{{}, QStringLiteral("firefox-esr"), QStringLiteral("navigator"), 4242}},
        {"no client machine: the pid is taken",
         RecordedX11::withActive(QByteArray("code\0Code\0", 10), 77, QByteArray()),
         ForegroundWindow{{}, QStringLiteral("Code"), QStringLiteral("code"), 77}},
        {"remote window: its pid means nothing here",
         RecordedX11::withActive(QByteArray("xterm\0XTerm\0", 12), 77, QByteArray("server")),
         ForegroundWindow{{}, QStringLiteral("XTerm"), QStringLiteral("xterm"), std::nullopt}},
        {"pid zero is no pid", RecordedX11::withActive(QByteArray("a\0A\0", 4), 0, QByteArray("laptop")),
         ForegroundWindow{{}, QStringLiteral("A"), QStringLiteral("a"), std::nullopt}},
        {"class without terminators", RecordedX11::withActive(QByteArray("only"), 5, {}),
         ForegroundWindow{{}, {}, QStringLiteral("only"), 5}},
        {"Latin-1 class", RecordedX11::withActive(QByteArray("g\xf6r\0G\xf6r\0", 8), 5, {}),
         ForegroundWindow{{}, QStringLiteral("Gör"), QStringLiteral("gör"), 5}},
        {"UTF-8 class", RecordedX11::withActive(QByteArray("g\xc3\xb6r\0G\xc3\xb6r\0", 10), 5, {}),
         ForegroundWindow{{}, QStringLiteral("Gör"), QStringLiteral("gör"), 5}},
        {"nothing focused", nothingFocused, std::nullopt},
        {"a reply shorter than a window id", shortReply, std::nullopt},
        {"window manager without _NET_ACTIVE_WINDOW", unsupported, std::nullopt, true},
        {"server without the atom", noAtom, std::nullopt, true},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        const X11ActiveWindowReading reading = readX11ActiveWindow(c.server);
        EXPECT_EQ(reading.unavailableReason.has_value(), c.unavailable);
        EXPECT_EQ(reading.window, c.window);
    }
}

TEST(KWinForeground, ReportsAreCutTrimmedAndNeverTrusted) {
    struct Case {
        const char* name;
        QString resourceClass, resourceName, desktopFile, pid;
        std::optional<ForegroundWindow> window;
    };
    const QString huge(100000, u'x');
    const std::vector<Case> cases = {
        {"a Plasma 6 report", QStringLiteral("org.kde.dolphin"), QStringLiteral("dolphin"),
         QStringLiteral("org.kde.dolphin"), QStringLiteral("1234"),
         ForegroundWindow{QStringLiteral("org.kde.dolphin"), QStringLiteral("org.kde.dolphin"),
                          QStringLiteral("dolphin"), 1234}},
        {"no window active", {}, {}, {}, {}, std::nullopt},
        {"only spaces", QStringLiteral("  "), QStringLiteral("\t"), QStringLiteral(" "), QStringLiteral(" "),
         std::nullopt},
        {"pid that is not a number",
         QStringLiteral("a"),
         {},
         {},
         QStringLiteral("12; rm -rf"),
         ForegroundWindow{{}, QStringLiteral("a"), {}, std::nullopt}},
        {"negative pid",
         QStringLiteral("a"),
         {},
         {},
         QStringLiteral("-5"),
         ForegroundWindow{{}, QStringLiteral("a"), {}, std::nullopt}},
        {"pid alone", {}, {}, {}, QStringLiteral(" 99 "), ForegroundWindow{{}, {}, {}, 99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KWinScriptForegroundApplicationProvider::parseReport(c.resourceClass, c.resourceName,
                                                                       c.desktopFile, c.pid),
                  c.window);
    }
    const auto cut = KWinScriptForegroundApplicationProvider::parseReport(huge, huge, huge, {});
    ASSERT_TRUE(cut);
    EXPECT_LE(cut->windowClass.size(), 4096);
    EXPECT_LE(cut->applicationID.size(), 4096);

    // The script reports back to this connection only, and never reads a caption.
    const QString script = KWinScriptForegroundApplicationProvider::scriptText(QStringLiteral(":1.42"));
    EXPECT_TRUE(script.contains(QStringLiteral(":1.42")));
    EXPECT_FALSE(script.contains(QStringLiteral("caption")));
}

TEST(WlrForeground, ActivatedToplevelFollowsCommittedEvents) {
    using T = ForeignToplevelTracker;
    const std::vector<uint32_t> activated{1, T::kActivatedState};
    const std::vector<uint32_t> inactive{1};
    ForeignToplevelTracker t;
    EXPECT_EQ(t.activeAppID(), std::nullopt);

    t.toplevel(1);
    t.appID(1, QStringLiteral("firefox"));
    t.state(1, activated);
    EXPECT_EQ(t.activeAppID(), std::nullopt) << "nothing takes effect before done";
    t.done(1);
    EXPECT_EQ(t.activeAppID(), QStringLiteral("firefox"));

    t.toplevel(2);
    t.appID(2, QStringLiteral("foot"));
    t.state(2, activated);
    t.done(2);
    EXPECT_EQ(t.activeAppID(), QStringLiteral("foot")) << "the last activated wins while the old one lags";
    t.state(1, inactive);
    t.done(1);
    EXPECT_EQ(t.activeAppID(), QStringLiteral("foot"));

    t.appID(2, QStringLiteral("footclient"));
    EXPECT_EQ(t.activeAppID(), QStringLiteral("foot")) << "a renamed app id waits for done";
    t.done(2);
    EXPECT_EQ(t.activeAppID(), QStringLiteral("footclient"));

    t.closed(2);
    EXPECT_EQ(t.activeAppID(), std::nullopt) << "the activated one closed, the other is inactive";

    t.toplevel(3);
    t.state(3, activated);
    t.done(3);
    EXPECT_EQ(t.activeAppID(), QString()) << "activated without an app id";

    // Events for handles never announced, or already closed, change nothing and do not crash.
    t.appID(99, QStringLiteral("ghost"));
    t.state(99, activated);
    t.done(99);
    t.closed(99);
    t.closed(2);
    EXPECT_EQ(t.activeAppID(), QString());
}

TEST(ForegroundBackend, ChosenFromTheSession) {
    using Kind = ForegroundBackendChoice::Kind;
    struct Case {
        const char* name;
        DesktopSession session;
        Kind kind;
        const char* reasonMentions = nullptr;
    };
    const QString w = QStringLiteral("wayland-0"), x = QStringLiteral(":0");
    const std::vector<Case> cases = {
        {"X11 session", {QStringLiteral("x11"), QStringLiteral("XFCE"), {}, {}, x}, Kind::x11},
        {"Plasma on Wayland", {QStringLiteral("wayland"), QStringLiteral("KDE"), {}, w, x}, Kind::kwin},
        {"sway", {QStringLiteral("wayland"), QStringLiteral("sway"), {}, w, {}}, Kind::wlroots},
        {"Hyprland, type unset", {{}, QStringLiteral("Hyprland"), {}, w, {}}, Kind::wlroots},
        {"GNOME on Wayland",
         {QStringLiteral("wayland"), QStringLiteral("ubuntu:GNOME"), {}, w, x},
         Kind::unavailable,
         "GNOME"},
        {"Wayland type without a display",
         {QStringLiteral("wayland"), QStringLiteral("sway"), {}, {}, {}},
         Kind::unavailable},
        {"X11 type without a display", {QStringLiteral("x11"), {}, {}, {}, {}}, Kind::unavailable},
        {"a text console", {QStringLiteral("tty"), {}, {}, {}, {}}, Kind::unavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ForegroundBackendChoice choice = ForegroundBackendChoice::choose(c.session);
        EXPECT_EQ(choice.kind, c.kind);
        EXPECT_EQ(choice.unavailableReason.isEmpty(), c.kind != Kind::unavailable);
        if (c.reasonMentions)
            EXPECT_TRUE(choice.unavailableReason.contains(QLatin1String(c.reasonMentions)))
                << choice.unavailableReason.toStdString();
    }
}

// Installed entries and running processes, as a desktop has them.
class Machine : public ::testing::Test {
protected:
    QTemporaryDir root;
    static constexpr qint64 kOwnPid = 500;

    void SetUp() override {
        const QString apps = root.path() + QStringLiteral("/applications");
        test::writeFile(apps + QStringLiteral("/org.gnome.Nautilus.desktop"),
                        "[Desktop Entry]\nName=Files\nStartupWMClass=org.gnome.Nautilus\n");
        test::writeFile(apps + QStringLiteral("/firefox-esr.desktop"),
                        "[Desktop Entry]\nName=Firefox ESR\nStartupWMClass=Navigator\n"
                        "[Desktop Action new]\nName=New Window\n");
        test::writeFile(apps + QStringLiteral("/code.desktop"), "[Desktop Entry]\nName=Visual Studio Code\n");
        test::writeFile(apps + QStringLiteral("/app.kestrum.Kestrum.desktop"),
                        "[Desktop Entry]\nName=Kestrum\n");
        test::writeFile(root.path() + QStringLiteral("/proc/4242/comm"), "blender\n");
        test::writeFile(root.path() + QStringLiteral("/proc/77/comm"), "/opt/tool/bin/run\x07me\n");
    }

    ForegroundWindowResolver resolver() {
        return ForegroundWindowResolver(
            std::make_shared<DesktopEntryCatalog>(QStringList{root.path() + QStringLiteral("/applications")}),
            root.path() + QStringLiteral("/proc"), QStringLiteral("app.kestrum.Kestrum"), kOwnPid);
    }
};

TEST_F(Machine, WindowsBecomeNamedApplications) {
    struct Case {
        const char* name;
        ForegroundWindow window;
        std::optional<ForegroundApplication> application;
    };
    const auto app = [](const char* name, std::optional<QString> id) {
        return ForegroundApplication{QString::fromUtf8(name), std::move(id)};
    };
    const std::vector<Case> cases = {
        {"Wayland app id with an entry",
         {QStringLiteral("org.gnome.Nautilus"), {}, {}, 9},
         app("Files", QStringLiteral("org.gnome.Nautilus"))},
        {"KWin's desktop file name with its suffix",
         {QStringLiteral("code.desktop"), {}, {}, std::nullopt},
         app("Visual Studio Code", QStringLiteral("code"))},
        {"X11 class named by StartupWMClass, in another case",
         {{}, QStringLiteral("navigator"), QStringLiteral("x"), 4242},
         app("Firefox ESR", QStringLiteral("firefox-esr"))},
        {"X11 instance equal to a desktop id",
         {{}, QStringLiteral("Code"), QStringLiteral("code"), 1},
         app("Visual Studio Code", QStringLiteral("code"))},
        {"no entry: the process's name",
         {{}, QStringLiteral("Blender"), {}, 4242},
         app("blender", std::nullopt)},
        {"no entry, no process: the class",
         {{}, QStringLiteral("Gimp-2.10"), {}, 31337},
         app("Gimp-2.10", std::nullopt)},
        {"unknown app id keeps its id",
         {QStringLiteral("org.example.Tool"), {}, {}, std::nullopt},
         app("org.example.Tool", QStringLiteral("org.example.Tool"))},
        {"a path never shows, control characters go", {{}, {}, {}, 77}, app("runme", std::nullopt)},
        {"Kestrum's own window by pid", {QStringLiteral("firefox-esr"), {}, {}, kOwnPid}, std::nullopt},
        {"Kestrum's own window by id", {QStringLiteral("app.kestrum.Kestrum"), {}, {}, 1}, std::nullopt},
        {"nothing to name it by", {{}, QStringLiteral("\x01\x02"), {}, std::nullopt}, std::nullopt},
    };
    const ForegroundWindowResolver names = resolver();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(names.resolve(c.window), c.application);
    }

    // A hostile class: very long, with control characters — cut, cleaned, never empty of meaning.
    const auto hostile =
        names.resolve({{}, QString(5000, u'A') + QStringLiteral("\n\x1b[31m"), {}, std::nullopt});
    ASSERT_TRUE(hostile);
    EXPECT_LE(hostile->name.size(), ForegroundApplication::kMaximumNameLength);
    EXPECT_FALSE(hostile->name.contains(u'\n'));
    EXPECT_FALSE(hostile->name.contains(QChar(0x1b)));
}

} // namespace
} // namespace kestrum
