// Loads the whole window offscreen over fake stores and visits every section and the settings window,
// in both languages and both colour schemes; any QML warning or error fails the test.

#include "AppFakes.h"
#include "KestrumApplication.h"
#include "TestSupport.h"
#include "Theme.h"

#include <QApplication>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kestrum;

namespace {

QStringList g_warnings;

// What the offscreen platform itself says about the test machine is not the application's fault.
bool isPlatformNoise(const QString& message) {
    return message.contains(QStringLiteral("XDG_RUNTIME_DIR")) ||
           message.contains(QStringLiteral("does not support raise()"));
}

void collect(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg && !isPlatformNoise(message))
        g_warnings.append(message);
}

class OneFolderScanner : public StorageMapScanning {
public:
    StorageScanResult scan(const QString& root, std::stop_token) override {
        StorageScanResult r;
        r.rootPath = root;
        r.rootName = QStringLiteral("klasör");
        r.fileCount = 3;
        r.allocatedBytes = 3000;
        r.items = {{QStringLiteral("a"), QStringLiteral("a"), 2000, 2},
                   {QStringLiteral("b.zip"), QStringLiteral("b.zip"), 1000, 1}};
        r.categories = {{StorageCategory::documents, 3000, 3}};
        return r;
    }
};

} // namespace

TEST(QmlSmoke, EverySectionLoadsWithoutWarnings) {
    for (const bool english : {false, true}) {
        for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
            const std::string where =
                std::string(english ? "en" : "tr") + (scheme == ColorScheme::dark ? ", dark" : ", light");
            test::ScopedLanguage language(english);
            QTemporaryDir data;
            test::useFolders(data);
            Date now = Date::now();
            g_warnings.clear();
            const QtMessageHandler previous = qInstallMessageHandler(collect);
            {
                KestrumApplication::Options options = test::quietOptions();
                options.colorScheme = scheme;
                KestrumApplication application(options, test::fakeMonitorServices(&now),
                                               std::make_shared<OneFolderScanner>());
                ASSERT_TRUE(application.start()) << where;
                QQuickWindow* window = application.mainWindow();
                ASSERT_NE(window, nullptr);
                EXPECT_EQ(window->title(), QStringLiteral("Kestrum"));
                EXPECT_EQ(window->color(), application.theme().background()) << where;
                for (int i = 0; i < 3; ++i)
                    QCoro::waitFor(application.store().refresh());
                application.storageMap().authorizeAndScan(data.path());
                test::spinUntil([&] { return !application.storageMap().isScanning(); });
                const int sections = static_cast<int>(application.shell().sectionList().size());
                EXPECT_EQ(sections, static_cast<int>(navigationTable().size()))
                    << "every section has its view";
                for (int i = 0; i < sections; ++i) {
                    application.shell().selectSection(i);
                    test::spinUntil([] { return false; }, 150);
                    EXPECT_FALSE(window->grabWindow().isNull());
                }
                application.healthSummary().open(QStringLiteral("overview"));
                test::spinUntil([] { return false; }, 150);
                EXPECT_FALSE(window->grabWindow().isNull());
                application.healthSummary().close();
                auto* settings = window->findChild<QQuickWindow*>(QStringLiteral("settingsWindow"));
                ASSERT_NE(settings, nullptr);
                settings->show();
                test::spinUntil([] { return false; }, 150);
                settings->hide();

                // Closed to the tray, the window is let go and the sections stop following the store;
                // shown again, it comes back on the section it was left on.
                const auto& shown = application.shell().sectionList();
                const int battery =
                    int(std::find(shown.begin(), shown.end(), NavigationSection::battery) - shown.begin());
                application.shell().selectSection(battery);
                window->hide();
                EXPECT_TRUE(test::spinUntil([&] { return application.mainWindow() == nullptr; }));
                EXPECT_FALSE(application.sectionViewModel(NavigationSection::battery)->isActive());
                application.showWindow();
                ASSERT_NE(application.mainWindow(), nullptr);
                EXPECT_EQ(application.shell().currentIndex(), battery);
                EXPECT_TRUE(application.sectionViewModel(NavigationSection::battery)->isActive());
                EXPECT_FALSE(application.sectionViewModel(NavigationSection::overview)->isActive())
                    << "only the section on screen follows the store";
                test::spinUntil([] { return false; }, 150);
            }
            qInstallMessageHandler(previous);
            EXPECT_TRUE(g_warnings.isEmpty()) << where << ": " << g_warnings.join(u'\n').toStdString();
        }
    }
}
