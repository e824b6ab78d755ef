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
        m_archiveBlockedReason = L10n::string(trText("Bu geçmiş klasörü başka bir Kestrum süreci tarafından izleniyor."));

    m_bus = std::make_unique<MonitorBusService>(*m_services.store);
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
    m_engine.rootContext()->setContextObject(nullptr);
    const auto roots = m_engine.rootObjects();
    for (QObject* root : roots)
        delete root;
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
    QElapsedTimer sinceStart;
    sinceStart.start();
    m_engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    QQmlContext* context = m_engine.rootContext();
    context->setContextProperty(QStringLiteral("app"), this);
    context->setContextProperty(QStringLiteral("monitor"), m_monitorModel.get());
    context->setContextProperty(QStringLiteral("storageMap"), m_storageModel.get());
    context->setContextProperty(QStringLiteral("trayChoices"), m_menuBar.get());
    context->setContextProperty(QStringLiteral("launchAtLogin"), m_launchAtLogin);
    context->setContextProperty(QStringLiteral("l10n"), m_l10n.get());
    m_engine.load(QUrl(QStringLiteral("qrc:/kestrum/Kestrum/Main.qml")));
    QQuickWindow* window = mainWindow();
    if (!window)
        return false;
    // The window's first task is the store's start-up: archive, then the first automatic start.
    connect(window, &QQuickWindow::frameSwapped, this, [this, window, sinceStart]() mutable {
        if (m_startedUp)
            return;
        m_startedUp = true;
        if (m_options.measureStartup)
            std::fprintf(stderr, "kestrum: first frame %lld ms after the window was created\n",
                         static_cast<long long>(sinceStart.elapsed()));
        runStartUp();
        Q_UNUSED(window);
    });
    if (!m_options.screenshotDirectory.isEmpty()) {
        window->show();
        QTimer::singleShot(0, this, &KestrumApplication::takeScreenshots);
    } else if (m_options.startHidden) {
        runStartUp(); // no frame will come while hidden
        m_startedUp = true;
    } else {
        window->show();
    }
    return true;
}

QQuickWindow* KestrumApplication::mainWindow() const {
    const auto roots = m_engine.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

void KestrumApplication::runStartUp() {
    m_storageMap->restorePermissionIfNeeded();
    if (m_archiveBlockedReason.isEmpty()) {
        fireAndForget(m_services.store->startUp(), "start-up");
    } else {
        m_services.store->start();
    }
}

void KestrumApplication::showWindow() {
    if (QQuickWindow* window = mainWindow()) {
        window->show();
        window->raise();
        window->requestActivate();
    }
}

void KestrumApplication::showSettings() { Q_EMIT settingsRequested(); }

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
