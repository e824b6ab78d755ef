#include "KestrumApplication.h"

#include "L10nBridge.h"
#include "LaunchAtLoginStore.h"
#include "MonitorBusService.h"
#include "ScreenshotSupport.h"
#include "SymbolIcons.h"
#include "TrayItem.h"
#include "foundation/FireAndForget.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "presentation/NavigationSection.h"

#include <QApplication>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <malloc.h>

namespace kestrum {

KestrumApplication::KestrumApplication(Options options, LinuxServices::MonitorServices services,
                                       std::shared_ptr<StorageMapScanning> scanner, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_services(std::move(services)) {
    // Created in this order: the monitoring store (given), the storage map store, the menu-bar choices.
    m_storageMap = std::make_unique<StorageMapStore>(
        scanner ? scanner : std::make_shared<FileSystemStorageMapScanner>(),
        std::make_shared<PreferencesStoragePermissionRepository>(*m_services.savedPreferences));
    m_menuBar = std::make_unique<MenuBarPreferences>(*m_services.savedPreferences);
    m_monitorModel = std::make_unique<MonitorViewModel>(*m_services.store);
    m_storageModel = std::make_unique<StorageMapViewModel>(*m_storageMap);
    m_l10n = std::make_unique<L10nBridge>();
    m_launchAtLogin = LaunchAtLoginStore::forThisProcess(this);

    // One Kestrum writes a given archive; a second one still shows the machine, without saving.
    m_lock = std::make_unique<ProcessLock>(KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock"));
    if (!m_lock->tryLock())
        m_archiveBlockedReason =
            L10n::string(trText("Bu geçmiş klasörü başka bir Kestrum süreci tarafından izleniyor."));

    m_bus = std::make_unique<MonitorBusService>(*m_services.store, KestrumPaths::dataDirectory(),
                                                KestrumPaths::configDirectory());
    if (m_options.screenshotDirectory.isEmpty())
        m_bus->registerOnBus();
    m_bus->setShowWindowHandler([this] {
        showWindow();
        return mainWindow() != nullptr;
    });

    if (QSystemTrayIcon::isSystemTrayAvailable() && m_options.screenshotDirectory.isEmpty()) {
        m_tray = std::make_unique<TrayItem>(*m_services.store, *m_menuBar);
        connect(m_tray.get(), &TrayItem::openWindowRequested, this, &KestrumApplication::showWindow);
        connect(m_tray.get(), &TrayItem::settingsRequested, this, &KestrumApplication::showSettings);
        connect(m_tray.get(), &TrayItem::quitRequested, this, &KestrumApplication::quit);
    }
    // Without a tray, closing the window is quitting; with one, monitoring goes on in the tray.
    QApplication::setQuitOnLastWindowClosed(!m_tray && !m_options.startHidden);
}

KestrumApplication::~KestrumApplication() {
    // Views go before the objects they show.
    m_engine.reset();
}

QVariantList KestrumApplication::sections() const {
    QVariantList out;
    for (const NavigationSection section : availableSections(builtCapabilities())) {
        out.append(QVariantMap{{QStringLiteral("key"), rawValue(section)},
                               {QStringLiteral("title"), navigationTitle(section)},
                               {QStringLiteral("symbol"), navigationSymbol(section)}});
    }
    return out;
}

bool KestrumApplication::start() {
    if (m_options.startHidden && m_options.screenshotDirectory.isEmpty()) {
        // Nothing is loaded for a window nobody looks at; no frame will come to start monitoring.
        m_monitorModel->setActive(false);
        m_startedUp = true;
        runStartUp();
        return true;
    }
    QQuickWindow* window = ensureWindow();
    if (!window)
        return false;
    if (m_services.analytics)
        m_services.analytics->recordActiveDay(ProductAnalyticsSurface::mainWindow);
    window->show();
    if (!m_options.screenshotDirectory.isEmpty())
        QTimer::singleShot(0, this, &KestrumApplication::takeScreenshots);
    return true;
}

QQuickWindow* KestrumApplication::mainWindow() const {
    if (!m_engine)
        return nullptr;
    const auto roots = m_engine->rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

QQuickWindow* KestrumApplication::ensureWindow() {
    if (QQuickWindow* window = mainWindow())
        return window;
    QElapsedTimer sinceStart = m_options.sinceLaunch;
    if (!sinceStart.isValid() || m_startedUp)
        sinceStart.start();
    // The engine lives only while there is a window: the tray and the stores do not need it.
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    QQmlContext* context = m_engine->rootContext();
    context->setContextProperty(QStringLiteral("app"), this);
    context->setContextProperty(QStringLiteral("monitor"), m_monitorModel.get());
    context->setContextProperty(QStringLiteral("storageMap"), m_storageModel.get());
    context->setContextProperty(QStringLiteral("trayChoices"), m_menuBar.get());
    context->setContextProperty(QStringLiteral("launchAtLogin"), m_launchAtLogin);
    context->setContextProperty(QStringLiteral("l10n"), m_l10n.get());
    m_engine->load(QUrl(QStringLiteral("qrc:/kestrum/Kestrum/Main.qml")));
    QQuickWindow* window = mainWindow();
    if (!window) {
        m_engine.reset();
        qCWarning(lcApp) << "the window could not be loaded";
        return nullptr;
    }
    window->setProperty("currentIndex", m_lastSection);
    m_monitorModel->setActive(true);
    // The window's first task is the store's start-up: archive, then the first automatic start.
    connect(window, &QQuickWindow::frameSwapped, this, [this, sinceStart] {
        if (m_startedUp)
            return;
        m_startedUp = true;
        if (m_options.measureStartup) {
            std::fprintf(stderr, "kestrum: first frame %lld ms after launch\n",
                         static_cast<long long>(sinceStart.elapsed()));
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            return;
        }
        runStartUp();
    });
    connect(window, &QWindow::visibleChanged, this, &KestrumApplication::windowVisibilityChanged);
    if (QWindow* settings = window->findChild<QWindow*>(QStringLiteral("settingsWindow")))
        connect(settings, &QWindow::visibleChanged, this, &KestrumApplication::windowVisibilityChanged);
    return window;
}

void KestrumApplication::windowVisibilityChanged() {
    if (anyWindowVisible())
        return;
    // Closed to the tray: the views are let go until they are wanted again, so that a day in the tray
    // costs what headless monitoring costs.
    m_monitorModel->setActive(false);
    QTimer::singleShot(0, this, &KestrumApplication::releaseWindowIfHidden);
}

bool KestrumApplication::anyWindowVisible() const {
    QQuickWindow* window = mainWindow();
    if (!window)
        return false;
    const QWindow* settings = window->findChild<QWindow*>(QStringLiteral("settingsWindow"));
    return window->isVisible() || (settings && settings->isVisible());
}

void KestrumApplication::releaseWindowIfHidden() {
    QQuickWindow* window = mainWindow();
    if (!window || anyWindowVisible())
        return;
    m_lastSection = window->property("currentIndex").toInt();
    m_engine.reset(); // the window, its settings window and the compiled views with it
    malloc_trim(0);   // hand the freed pages back to the system, not just to the allocator
}

void KestrumApplication::runStartUp() {
    m_storageMap->restorePermissionIfNeeded();
    // A queue no consent covers goes; with consent, what waits is sent.
    if (m_services.analytics)
        m_services.analytics->prepareForLaunch();
    if (m_archiveBlockedReason.isEmpty()) {
        fireAndForget(m_services.store->startUp(), "start-up");
    } else {
        m_services.store->start();
    }
}

void KestrumApplication::showWindow() {
    if (QQuickWindow* window = ensureWindow()) {
        if (m_services.analytics)
            m_services.analytics->recordActiveDay(ProductAnalyticsSurface::mainWindow);
        window->show();
        window->raise();
        window->requestActivate();
    }
}

void KestrumApplication::showSettings() {
    if (ensureWindow())
        Q_EMIT settingsRequested();
}

void KestrumApplication::quit() {
    // The last minute's sample and the state are saved before leaving.
    m_services.store->stop();
    [](QPointer<KestrumApplication> self) -> QCoro::Task<void> {
        if (self)
            co_await self->m_services.store->persistArchive();
        QApplication::quit();
    }(QPointer<KestrumApplication>(this));
}

void KestrumApplication::takeScreenshots() {
    ScreenshotSupport::run(*this, m_options.screenshotDirectory);
}

} // namespace kestrum
