// The window as a keyboard, screen-reader and mouse user meets it: sections by arrow keys and
// shortcuts, settings and quitting from the keyboard, visible focus, a name on every control and map
// tile, delegates that stay from sample to sample, the place and section remembered, and the task that
// runs when the application becomes active again.

#include "../core/analytics/AnalyticsTestSupport.h"
#include "AppFakes.h"
#include "KestrumApplication.h"
#include "TestSupport.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "presentation/AiHardwareDoctorViewModel.h"
#include "presentation/StorageTreemapViewModel.h"

#include <QDir>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace kestrum;

namespace {

void allItems(QQuickItem* item, std::vector<QQuickItem*>& out) {
    out.push_back(item);
    for (QQuickItem* child : item->childItems())
        allItems(child, out);
}

std::vector<QQuickItem*> itemsOf(QQuickWindow& window) {
    std::vector<QQuickItem*> out;
    allItems(window.contentItem(), out);
    return out;
}

QQuickItem* findItem(QQuickWindow& window, const char* objectName) {
    return window.findChild<QQuickItem*>(QLatin1String(objectName));
}

// What a screen reader hears for an item: its Accessible.name, or for a control without one its text,
// which Qt Quick Controls give as the name.
QString accessibleName(QQuickItem* item) {
    if (QQmlContext* context = qmlContext(item)) {
        QQmlExpression expression(context, item, QStringLiteral("Accessible.name"));
        const QString name = expression.evaluate().toString();
        if (!name.trimmed().isEmpty())
            return name;
    }
    return item->property("text").toString();
}

void settle(int ms = 60) {
    test::spinUntil([] { return false; }, ms);
}

// Children of a folder: a few large ones and many small ones, some of each kind of name.
class FolderScanner : public StorageMapScanning {
public:
    StorageScanResult scan(const QString& root, std::stop_token) override {
        StorageScanResult r;
        r.rootPath = root;
        r.rootName = QStringLiteral("ev");
        const auto add = [&](const QString& name, uint64_t bytes, int64_t files) {
            r.items.push_back({name, name, bytes, files});
            r.allocatedBytes += bytes;
            r.fileCount += files;
        };
        add(QStringLiteral("Videolar"), 6'000'000'000, 40);
        add(QStringLiteral("yedek.zip"), 2'000'000'000, 1);
        add(QStringLiteral("Belgeler"), 1'000'000'000, 300);
        for (int i = 0; i < 3000; ++i)
            add(QStringLiteral("not-%1.md").arg(i), 4096, 1);
        r.categories = {{StorageCategory::video, 6'000'000'000, 40}};
        return r;
    }
};

struct Window {
    QTemporaryDir ownFolders;
    QTemporaryDir& folders;
    Date now = Date::now();
    std::unique_ptr<KestrumApplication> application;
    QQuickWindow* window = nullptr;
    QStringList opened;

    // `shared`: data and settings folders that outlive this window (for a second run).
    explicit Window(KestrumApplication::Options options = test::quietOptions(),
                    QTemporaryDir* shared = nullptr)
        : folders(shared ? *shared : ownFolders) {
        test::useFolders(folders);
        start(std::move(options), shared != nullptr);
    }
    void start(KestrumApplication::Options options, bool filePreferences) {
        options.openFolder = [this](const QString& path) { opened.append(path); };
        LinuxServices::MonitorServices services = test::fakeMonitorServices(&now);
        if (filePreferences)
            services.savedPreferences =
                std::make_unique<JsonFilePreferencesStore>(KestrumPaths::preferencesFile());
        application = std::make_unique<KestrumApplication>(std::move(options), std::move(services),
                                                           std::make_shared<FolderScanner>());
        EXPECT_TRUE(application->start());
        window = application->mainWindow();
        ASSERT_NE(window, nullptr);
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QGuiApplication::focusWindow() ? QGuiApplication::focusWindow() : window,
                        static_cast<Qt::Key>(key), modifiers);
        settle(30);
    }
};

} // namespace

TEST(Window, SectionsFromTheKeyboard) {
    Window w;
    ShellViewModel& shell = w.application->shell();
    QQuickItem* sidebar = findItem(*w.window, "sidebar");
    ASSERT_NE(sidebar, nullptr);
    EXPECT_TRUE(sidebar->hasActiveFocus()) << "the sidebar has the focus when the window opens";

    const int last = static_cast<int>(shell.sectionList().size()) - 1;
    struct Step {
        const char* what;
        int key;
        Qt::KeyboardModifiers modifiers;
        int section;
    } steps[] = {
        {"down", Qt::Key_Down, Qt::NoModifier, 1},
        {"down again", Qt::Key_Down, Qt::NoModifier, 2},
        {"up", Qt::Key_Up, Qt::NoModifier, 1},
        {"up past the first stays", Qt::Key_Up, Qt::NoModifier, 0},
        {"up at the top", Qt::Key_Up, Qt::NoModifier, 0},
        {"end", Qt::Key_End, Qt::NoModifier, last},
        {"down at the bottom", Qt::Key_Down, Qt::NoModifier, last},
        {"home", Qt::Key_Home, Qt::NoModifier, 0},
        {"Ctrl+4", Qt::Key_4, Qt::ControlModifier, 3},
        {"Ctrl+2", Qt::Key_2, Qt::ControlModifier, 1},
        {"Ctrl+9", Qt::Key_9, Qt::ControlModifier, 8},
        {"Ctrl+5", Qt::Key_5, Qt::ControlModifier, 4},
    };
    for (const Step& step : steps) {
        w.key(step.key, step.modifiers);
        EXPECT_EQ(shell.currentIndex(), step.section) << step.what;
        QQuickItem* content = findItem(*w.window, "sectionContent");
        ASSERT_NE(content, nullptr);
        EXPECT_TRUE(content->property("source").toUrl().toString().endsWith(shell.currentView()))
            << step.what;
    }
}

TEST(Window, SettingsQuitAndRefreshFromTheKeyboard) {
    Window w;
    auto* settings = w.window->findChild<QQuickWindow*>(QStringLiteral("settingsWindow"));
    ASSERT_NE(settings, nullptr);
    w.key(Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_TRUE(test::spinUntil([&] { return settings->isVisible(); })) << "Ctrl+, opens the settings";
    settings->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings));
    QTest::keyClick(settings, Qt::Key_Escape);
    EXPECT_TRUE(test::spinUntil([&] { return !settings->isVisible(); })) << "Esc closes them";

    // F5 takes a sample in a live section.
    w.window->requestActivate();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window));
    test::spinUntil([&] { return w.application->store().hasMeasurement(); });
    const size_t before = w.application->store().history().size();
    w.key(Qt::Key_F5);
    EXPECT_TRUE(test::spinUntil([&] { return w.application->store().history().size() > before; }));

    QSignalSpy quitting(w.application.get(), &KestrumApplication::quitting);
    w.key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitting.count(), 1) << "Ctrl+Q quits";
}

TEST(Window, FocusIsVisibleAndEveryControlHasAName) {
    Window w;
    w.application->storageMap().authorizeAndScan(w.folders.path());
    ASSERT_TRUE(test::spinUntil([&] { return w.application->storageMap().hasResult(); }));
    for (int section = 0; section < static_cast<int>(w.application->shell().sectionList().size());
         ++section) {
        w.application->shell().selectSection(section);
        settle(150);
        for (QQuickItem* item : itemsOf(*w.window)) {
            if (!item->isVisible() || !item->activeFocusOnTab())
                continue;
            EXPECT_FALSE(accessibleName(item).trimmed().isEmpty())
                << w.application->shell().currentKey().toStdString() << ": a "
                << item->metaObject()->className() << " without a name";
        }
    }

    // Tab goes from the sidebar to the controls; wherever the focus lands, it shows.
    w.application->shell().selectSectionByKey(QStringLiteral("storageMap"));
    settle(150);
    QQuickItem* sidebar = findItem(*w.window, "sidebar");
    sidebar->forceActiveFocus();
    std::set<QQuickItem*> visited;
    int tiles = 0;
    for (int i = 0; i < 40; ++i) {
        QQuickItem* focused = w.window->activeFocusItem();
        ASSERT_NE(focused, nullptr);
        if (!visited.insert(focused).second)
            break; // round the window once
        if (focused == sidebar) {
            QQuickItem* row = sidebar->property("currentItem").value<QQuickItem*>();
            ASSERT_NE(row, nullptr);
            EXPECT_GT(row->property("border").value<QObject*>()->property("width").toDouble(), 0)
                << "the chosen section is ringed while the sidebar has the focus";
        } else if (focused->property("visualFocus").isValid()) {
            EXPECT_TRUE(focused->property("visualFocus").toBool()) << focused->metaObject()->className();
        } else {
            QObject* border = focused->property("border").value<QObject*>();
            ASSERT_NE(border, nullptr) << focused->metaObject()->className() << " shows no focus";
            EXPECT_GT(border->property("width").toDouble(), 0) << "a focused map tile is ringed";
            ++tiles;
        }
        w.key(Qt::Key_Tab);
    }
    EXPECT_GT(visited.size(), 4u);
    EXPECT_GE(tiles, 3) << "the map's tiles are reachable from the keyboard";
}

TEST(Window, TheMapOpensFoldersAndNamesItsTiles) {
    Window w;
    QDir(w.folders.path()).mkdir(QStringLiteral("Belgeler"));
    w.application->shell().selectSectionByKey(QStringLiteral("storageMap"));
    w.application->storageMap().authorizeAndScan(w.folders.path());
    ASSERT_TRUE(test::spinUntil([&] { return w.application->storageMap().hasResult(); }));
    settle(200);
    // The tiles on screen: the three large children and the hatched rest, each with its name.
    std::vector<QQuickItem*> tiles;
    for (QQuickItem* item : itemsOf(*w.window)) {
        if (item->property("tooltip").isValid() && item->property("isOthers").isValid() && item->isVisible())
            tiles.push_back(item);
    }
    ASSERT_EQ(tiles.size(), 4u);
    QQuickItem* folder = nullptr;
    QQuickItem* rest = nullptr;
    for (QQuickItem* tile : tiles) {
        if (tile->property("key").toString() == QStringLiteral("Belgeler"))
            folder = tile;
        if (tile->property("isOthers").toBool())
            rest = tile;
    }
    ASSERT_NE(folder, nullptr);
    ASSERT_NE(rest, nullptr);
    EXPECT_TRUE(rest->property("name").toString().startsWith(QStringLiteral("Diğer 3.000")));
    EXPECT_TRUE(accessibleName(folder).startsWith(QStringLiteral("Belgeler, ")));

    const auto doubleClick = [&](QQuickItem* tile) {
        const QPoint centre = tile->mapToScene(QPointF(tile->width() / 2, tile->height() / 2)).toPoint();
        QTest::mouseDClick(w.window, Qt::LeftButton, Qt::NoModifier, centre);
        settle(30);
    };
    doubleClick(folder);
    doubleClick(rest);
    EXPECT_EQ(w.opened, QStringList{w.folders.path() + QStringLiteral("/Belgeler")})
        << "the folder opens in the file manager; the merged tile opens nothing";
}

TEST(Window, TheOverviewBuildsNothingNewAfterTheFirstSample) {
    Window w;
    w.application->shell().selectSectionByKey(QStringLiteral("overview"));
    QCoro::waitFor(w.application->store().refresh());
    settle(100);
    std::vector<QQuickItem*> first = itemsOf(*w.window);
    const std::set<QQuickItem*> known(first.begin(), first.end());
    for (int sample = 0; sample < 4; ++sample) {
        w.now = w.now.addingSeconds(2);
        QCoro::waitFor(w.application->store().refresh());
        settle(60);
        int created = 0;
        for (QQuickItem* item : itemsOf(*w.window)) {
            if (known.count(item) == 0) {
                ++created;
                ADD_FAILURE() << "new " << item->metaObject()->className() << " under "
                              << (item->parentItem() ? item->parentItem()->metaObject()->className()
                                                     : "nothing");
            }
        }
        EXPECT_EQ(created, 0) << "sample " << sample + 2 << " created items: delegates were rebuilt";
    }
}

TEST(Window, PlaceAndSectionAreRemembered) {
    QTemporaryDir folders;
    QRect place;
    {
        Window w(test::quietOptions(), &folders);
        w.application->shell().selectSectionByKey(QStringLiteral("network"));
        w.window->setGeometry(QRect(80, 60, 990, 700));
        settle();
        place = w.window->geometry();
        // Hidden and shown again (to the tray and back): same place, same section.
        w.window->hide();
        ASSERT_TRUE(test::spinUntil([&] { return w.application->mainWindow() == nullptr; }));
        w.application->showWindow();
        ASSERT_NE(w.application->mainWindow(), nullptr);
        EXPECT_EQ(w.application->mainWindow()->geometry().size(), place.size());
        EXPECT_EQ(w.application->shell().currentKey(), QStringLiteral("network"));
        w.application->quit();
    }
    // The next run opens where the last one was.
    Window again(test::quietOptions(), &folders);
    EXPECT_EQ(again.window->geometry().size(), place.size());
    EXPECT_EQ(again.window->position(), place.topLeft());
    EXPECT_EQ(again.application->shell().currentKey(), QStringLiteral("network"));
}

TEST(Window, BecomingActiveAgainBringsTheWindowUpToDate) {
    KestrumApplication::Options options = test::quietOptions();
    options.followsApplicationState = false; // driven by the test alone
    Window w(options);
    ASSERT_TRUE(test::spinUntil([&] { return w.application->store().hasMeasurement(); }));
    KestrumApplication& app = *w.application;
    struct Step {
        const char* what;
        Qt::ApplicationState state;
        int tasks;
    } steps[] = {
        {"the launch's own activation: its task is the start-up", Qt::ApplicationActive, 0},
        {"going to the background", Qt::ApplicationInactive, 0},
        {"back again", Qt::ApplicationActive, 1},
        {"active while active", Qt::ApplicationActive, 1},
        {"hidden", Qt::ApplicationHidden, 1},
        {"raised from the tray", Qt::ApplicationActive, 2},
    };
    const int samplesBefore = static_cast<int>(app.store().history().size());
    for (const Step& step : steps) {
        app.applicationStateChanged(step.state);
        settle(30);
        EXPECT_EQ(app.activationTaskCount(), step.tasks) << step.what;
    }
    EXPECT_GE(static_cast<int>(app.store().history().size()), samplesBefore + 2)
        << "each return took a sample";
}

namespace {

bool shown(QQuickWindow& window, const char* objectName) {
    QQuickItem* item = findItem(window, objectName);
    return item && item->isVisible();
}

void click(QQuickWindow& window, const char* objectName) {
    QQuickItem* item = findItem(window, objectName);
    ASSERT_NE(item, nullptr) << objectName;
    ASSERT_TRUE(item->isVisible()) << objectName;
    QMetaObject::invokeMethod(item, "clicked");
    settle(60);
}

} // namespace

TEST(Window, TheResourceAnalysisAsksFirstAndTheConsentCanBeWithdrawn) {
    Window w;
    SystemMonitorStore& store = w.application->store();
    w.application->shell().selectSectionByKey(QStringLiteral("resourceAnalysis"));
    settle(150);
    EXPECT_TRUE(shown(*w.window, "consentRequest")) << "asked before anything is observed";
    EXPECT_FALSE(shown(*w.window, "observationControls"));
    EXPECT_FALSE(store.resourceAnalysisEnabled());

    click(*w.window, "giveConsent");
    EXPECT_TRUE(store.resourceAnalysisEnabled());
    EXPECT_FALSE(shown(*w.window, "consentRequest"));
    EXPECT_TRUE(shown(*w.window, "observationControls"));
    EXPECT_TRUE(shown(*w.window, "correlation"));

    QQuickItem* toggle = findItem(*w.window, "observationSwitch");
    ASSERT_NE(toggle, nullptr);
    QMetaObject::invokeMethod(toggle, "toggle");
    QMetaObject::invokeMethod(toggle, "toggled");
    settle(60);
    EXPECT_FALSE(store.resourceAnalysisEnabled()) << "the switch withdraws the consent";
    EXPECT_TRUE(store.resourceActivityObservations().empty());
    EXPECT_TRUE(shown(*w.window, "consentRequest"));
}

TEST(Window, ThePerformanceSectionStartsAndStopsASession) {
    Window w;
    SystemMonitorStore& store = w.application->store();
    ASSERT_TRUE(test::spinUntil([&] { return store.isArchivePrepared() && store.hasMeasurement(); }));
    w.application->shell().selectSectionByKey(QStringLiteral("performance"));
    settle(150);
    EXPECT_TRUE(shown(*w.window, "processorComparison"));
    EXPECT_TRUE(shown(*w.window, "startComparison"));
    EXPECT_FALSE(shown(*w.window, "stopSession"));

    click(*w.window, "startSession");
    ASSERT_TRUE(test::spinUntil([&] { return store.activePerformanceSession().has_value(); }));
    settle(60);
    EXPECT_TRUE(shown(*w.window, "stopSession"));
    click(*w.window, "stopSession");
    ASSERT_TRUE(test::spinUntil([&] { return !store.activePerformanceSession().has_value(); }));
    ASSERT_EQ(store.performanceSessions().size(), 1u);
    EXPECT_EQ(store.performanceSessions().front().name, QStringLiteral("Performans Oturumu"));

    // A second session; choosing both shows them side by side, letting one go hides the comparison.
    click(*w.window, "startSession");
    ASSERT_TRUE(test::spinUntil([&] { return store.activePerformanceSession().has_value(); }));
    settle(60);
    click(*w.window, "stopSession");
    ASSERT_TRUE(test::spinUntil([&] { return store.performanceSessions().size() == 2; }));
    settle(60);
    EXPECT_FALSE(shown(*w.window, "sessionComparison"));
    std::vector<QQuickItem*> picks;
    for (QQuickItem* item : itemsOf(*w.window)) {
        if (item->objectName() == QStringLiteral("sessionPick") && item->isVisible())
            picks.push_back(item);
    }
    ASSERT_EQ(picks.size(), 2u);
    const auto toggle = [](QQuickItem* box) {
        QMetaObject::invokeMethod(box, "toggle");
        QMetaObject::invokeMethod(box, "toggled");
        settle(60);
    };
    toggle(picks[1]);
    EXPECT_FALSE(shown(*w.window, "sessionComparison")) << "one session is nothing to compare";
    toggle(picks[0]);
    EXPECT_TRUE(shown(*w.window, "sessionComparison"));
    toggle(picks[1]);
    EXPECT_FALSE(shown(*w.window, "sessionComparison"));
}

// Where usage data has somewhere to go, the window asks once; the answer shows in the settings and the
// question does not come back.
TEST(Window, TheUsageDataQuestionIsAskedOnce) {
    QTemporaryDir folders;
    test::useFolders(folders);
    Date now = Date::now();
    LinuxServices::MonitorServices services = test::fakeMonitorServices(&now);
    ProductAnalyticsRuntime::Configuration analytics;
    analytics.preferences = services.savedPreferences.get();
    analytics.endpoint.configuredText = QStringLiteral("https://127.0.0.1:9/e");
    analytics.endpoint.endpoint = QUrl(analytics.endpoint.configuredText);
    analytics.queueFile = folders.filePath(QStringLiteral("analytics-queue.json"));
    analytics.metadata = {QStringLiteral("0.1.0"), QStringLiteral("0.1.0"),
                          ProductAnalyticsDistributionCategory::advanced,
                          ProductAnalyticsLanguageCategory::tr};
    analytics.transport = std::make_shared<test::FakeBatchTransport>();
    services.analytics = std::make_unique<ProductAnalyticsRuntime>(std::move(analytics));
    ProductAnalyticsRuntime& runtime = *services.analytics;
    KestrumApplication application(test::quietOptions(), std::move(services),
                                   std::make_shared<FolderScanner>());
    ASSERT_TRUE(application.start());
    QQuickWindow* window = application.mainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    QQuickItem* prompt = findItem(*window, "analyticsConsentPrompt");
    QQuickItem* accept = findItem(*window, "analyticsAccept");
    ASSERT_TRUE(prompt && accept);
    EXPECT_TRUE(prompt->isVisible());
    settle();
    QTest::mouseClick(window, Qt::LeftButton, {},
                      accept->mapToScene(QPointF(accept->width() / 2, accept->height() / 2)).toPoint());
    EXPECT_TRUE(test::spinUntil([&] { return !prompt->isVisible(); })) << "answered: the question goes";
    EXPECT_TRUE(runtime.consent().allowsRemoteAnalytics);
    EXPECT_FALSE(runtime.shouldAskForConsent());

    auto* settings = window->findChild<QQuickWindow*>(QStringLiteral("settingsWindow"));
    ASSERT_NE(settings, nullptr);
    auto* consentSwitch = settings->findChild<QQuickItem*>(QStringLiteral("analyticsConsentSwitch"));
    ASSERT_NE(consentSwitch, nullptr);
    EXPECT_TRUE(consentSwitch->property("checked").toBool());
    EXPECT_TRUE(consentSwitch->isVisible());
}

// A new user's first measurement brings the health summary up over the window by itself; its button
// leads to the step it names, and once seen it stays shut until asked for from the overview.
TEST(Window, TheFirstHealthSummaryOpensByItselfOnce) {
    QTemporaryDir folders;
    test::useFolders(folders);
    test::ScopedLanguage turkish(false);
    Date now = Date::now();
    KestrumApplication::Options options = test::quietOptions();
    options.presentsSummaryAutomatically = true;
    KestrumApplication application(options, test::fakeMonitorServices(&now),
                                   std::make_shared<FolderScanner>());
    ASSERT_TRUE(application.start());
    QQuickWindow* window = application.mainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_FALSE(application.healthSummary().isOpen()) << "nothing measured yet";

    QCoro::waitFor(application.store().refresh());
    ASSERT_TRUE(test::spinUntil([&] { return application.healthSummary().isOpen(); }));
    QQuickItem* action = findItem(*window, "healthSummaryAction");
    QQuickItem* headline = findItem(*window, "healthSummaryHeadline");
    ASSERT_TRUE(action && headline);
    ASSERT_TRUE(test::spinUntil([&] { return action->isVisible(); }));
    EXPECT_FALSE(headline->property("text").toString().isEmpty());
    const auto next = application.healthSummary().nextAction();
    ASSERT_TRUE(next.has_value());
    const FirstHealthSummaryDestination destination = firstHealthSummaryDestination(*next);
    ASSERT_EQ(destination.kind, FirstHealthSummaryDestination::Kind::section);
    EXPECT_EQ(action->property("text").toString(), application.healthSummary().nextActionButton());
    settle(300); // the popup's opening transition
    QTest::mouseClick(window, Qt::LeftButton, {},
                      action->mapToScene(QPointF(action->width() / 2, action->height() / 2)).toPoint());
    EXPECT_TRUE(test::spinUntil([&] { return !application.healthSummary().isOpen(); }));
    EXPECT_EQ(application.shell().currentSection(), destination.section);

    QCoro::waitFor(application.store().refresh());
    settle();
    EXPECT_FALSE(application.healthSummary().isOpen()) << "seen once";
    application.shell().selectSectionByKey(QStringLiteral("battery"));
    application.shell().selectSectionByKey(QStringLiteral("overview"));
    QQuickItem* reopen = nullptr;
    ASSERT_TRUE(
        test::spinUntil([&] { return (reopen = findItem(*window, "openHealthSummary")) != nullptr; }));
    settle();
    QTest::mouseClick(window, Qt::LeftButton, {},
                      reopen->mapToScene(QPointF(reopen->width() / 2, reopen->height() / 2)).toPoint());
    EXPECT_TRUE(test::spinUntil([&] { return application.healthSummary().isOpen(); }));
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_TRUE(test::spinUntil([&] { return !application.healthSummary().isOpen(); }));
}

// The assistant's server card: a foreign address is refused in place, this machine's is kept and asked.
TEST(Window, TheAssistantKeepsOnlyThisMachinesModelServer) {
    Window w;
    w.application->shell().selectSectionByKey(QStringLiteral("aiHardwareDoctor"));
    settle(150);
    QQuickItem* address = findItem(*w.window, "modelAddress");
    ASSERT_NE(address, nullptr);
    EXPECT_TRUE(address->property("text").toString().isEmpty()) << "nothing is set up by default";
    EXPECT_FALSE(shown(*w.window, "modelSettingsError"));

    address->setProperty("text", QStringLiteral("http://192.168.1.5:11434"));
    click(*w.window, "saveModelServer");
    EXPECT_TRUE(shown(*w.window, "modelSettingsError"));
    EXPECT_TRUE(
        findItem(*w.window, "modelSettingsError")->property("text").toString().contains(u"bilgisayar"));

    address->setProperty("text", QStringLiteral("http://127.0.0.1:9"));
    findItem(*w.window, "modelKind")->setProperty("currentIndex", 2);
    click(*w.window, "saveModelServer");
    EXPECT_FALSE(shown(*w.window, "modelSettingsError"));
    auto* doctor = qobject_cast<AiHardwareDoctorViewModel*>(
        w.application->sectionViewModel(NavigationSection::aiHardwareDoctor));
    ASSERT_NE(doctor, nullptr);
    EXPECT_EQ(doctor->modelAddress(), u"http://127.0.0.1:9");
    EXPECT_EQ(doctor->modelKind(), 2);
    // Nothing listens on the discard port: the answer says so and the findings stay.
    ASSERT_TRUE(test::spinUntil([&] { return !doctor->isCheckingModel(); }));
    EXPECT_FALSE(doctor->isModelAvailable());
}
