#include "KestrumApplication.h"

#include "ColorSchemeWatcher.h"
#include "Desktop.h"
#include "FreedesktopNotificationService.h"
#include "LaunchAtLoginStore.h"
#include "LinuxFanControl.h"
#include "LinuxReportContext.h"
#include "MonitorBusService.h"
#include "ScreenshotSupport.h"
#include "SymbolIcons.h"
#include "Theme.h"
#include "TrayHostWatcher.h"
#include "TrayItem.h"
#include "diagnosis/LocalServerAIDiagnosticExplainer.h"
#include "foundation/FireAndForget.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Logging.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "metrics/MetricsHttpServer.h"
#include "metrics/MonitorMetricsSource.h"
#include "presentation/ViewModelInstances.h"
#include "reports/ReportExport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QQuickWindow>
#include <QScreen>
#include <QSysInfo>
#include <QSystemTrayIcon>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace kestrum {

const QString KestrumApplication::kWindowXKey = QStringLiteral("ui.window.x");
const QString KestrumApplication::kWindowYKey = QStringLiteral("ui.window.y");
const QString KestrumApplication::kWindowWidthKey = QStringLiteral("ui.window.width");
const QString KestrumApplication::kWindowHeightKey = QStringLiteral("ui.window.height");

KestrumApplication::KestrumApplication(Options options, LinuxServices::MonitorServices services,
                                       std::shared_ptr<StorageMapScanning> scanner, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_services(std::move(services)) {
    SystemMonitorStore& store = *m_services.store;
    PreferencesStore& saved = *m_services.savedPreferences;
    // Created in this order: the monitoring store (given), the storage map store, the menu-bar choices, the
    // first health summary.
    m_storageMap =
        std::make_unique<StorageMapStore>(scanner ? scanner : std::make_shared<FileSystemStorageMapScanner>(),
                                          std::make_shared<PreferencesStoragePermissionRepository>(saved));
    m_menuBar = std::make_unique<MenuBarPreferences>(saved);
    m_summary = std::make_unique<FirstHealthSummaryStore>(
        &store, &saved, m_services.analytics ? m_services.analytics->recorder() : ProductAnalyticsRecorder{});
    m_launchAtLogin = LaunchAtLoginStore::forThisProcess(this);

    // One Kestrum writes a given archive; a second one still shows the machine, without saving.
    m_lock = std::make_unique<ProcessLock>(KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock"));
    if (!m_lock->tryLock())
        m_archiveBlockedReason =
            L10n::string(trText("Bu geçmiş klasörü başka bir Kestrum süreci tarafından izleniyor."));

    m_shell = std::make_unique<ShellViewModel>(store, saved, availableSections(builtCapabilities()),
                                               m_archiveBlockedReason);
    m_overview = std::make_unique<OverviewViewModel>(store);
    m_healthCenter = std::make_unique<HealthCenterViewModel>(store);
    m_battery = std::make_unique<BatteryViewModel>(store);
    m_network = std::make_unique<NetworkViewModel>(store);
    m_healthTest = std::make_unique<HealthTestViewModel>(store);
    m_hardwareAdvisor = std::make_unique<HardwareAdvisorViewModel>(store);
    m_benchmarkLab = std::make_unique<BenchmarkLabViewModel>(store);
    m_performance = std::make_unique<PerformanceViewModel>(store);
    m_resourceAnalysis = std::make_unique<ResourceAnalysisViewModel>(store);
    m_storageModel = std::make_unique<StorageMapViewModel>(*m_storageMap);
    m_settings = std::make_unique<SettingsViewModel>(store, *m_menuBar);
    m_analyticsConsent = std::make_unique<AnalyticsConsentViewModel>(m_services.analytics.get());
    // A boost's heartbeat reads the heat itself: the monitor's last sample may be old (paused, asleep).
    m_fanControl = LinuxFanControl::makeStore();
    m_advanced = std::make_unique<AdvancedViewModel>(store, *m_fanControl);
    m_fullScan = std::make_unique<FullScanViewModel>(store);
    // An exported scan report never carries the user's or the machine's name.
    QStringList names{QSysInfo::machineHostName()};
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const QString value = qEnvironmentVariable(variable); !value.isEmpty())
            names << value;
    }
    m_fullScan->setPrivateWords(names);
    if (m_services.sleepWake)
        connect(m_services.sleepWake.get(), &SleepWakeNotifying::willSleep, m_fanControl.get(),
                &AdvancedFanControlStore::machineWillSleep);
    m_summaryModel = std::make_unique<FirstHealthSummaryViewModel>(
        *m_summary, [this](NavigationSection section) { m_shell->selectSectionByKey(rawValue(section)); },
        [this] { fireAndForget(m_services.store->refresh(AnalyticsTrigger::manualRefresh), "refreshing"); });
    if (m_options.presentsSummaryAutomatically && m_options.screenshotDirectory.isEmpty())
        connect(&store, &SystemMonitorStore::refreshCompleted, m_summaryModel.get(),
                [this](quint64, bool succeeded, QUuid) {
                    if (succeeded)
                        m_summaryModel->measurementArrived();
                });
    // One loopback-only HTTP client for the local language model; the address is read from the
    // preferences each time the model is checked.
    m_aiHardwareDoctor = std::make_unique<AiHardwareDoctorViewModel>(
        store, saved, [&saved, transport = std::shared_ptr<HTTPTransporting>()]() mutable {
            if (!transport)
                transport = LocalServerAIDiagnosticExplainer::makeDefaultTransport();
            return std::make_shared<LocalServerAIDiagnosticExplainer>(
                LocalLanguageModelServer::fromPreferences(saved), transport, systemHostAddressResolver(),
                LocalLanguageModelLimits{}, L10n::isEnglish());
        });
    m_history = std::make_unique<HistoryViewModel>(store);
    m_reports = std::make_unique<ReportExportViewModel>(
        store, m_services.analytics ? m_services.analytics->recorder() : ProductAnalyticsRecorder(),
        ReportMachineContext{ReportDistribution::advanced, LinuxReportContext::operatingSystemVersion(),
                             LinuxReportContext::machineNames()});
    m_sectionModels = {{NavigationSection::overview, m_overview.get()},
                       {NavigationSection::healthCenter, m_healthCenter.get()},
                       {NavigationSection::battery, m_battery.get()},
                       {NavigationSection::network, m_network.get()},
                       {NavigationSection::performance, m_performance.get()},
                       {NavigationSection::resourceAnalysis, m_resourceAnalysis.get()},
                       {NavigationSection::advanced, m_advanced.get()}};
    // F5 takes a sample now in the live sections and scans the storage map's folder again.
    const auto sample = [this] { fireAndForget(m_services.store->refresh(), "refreshing"); };
    for (const auto& [section, model] : m_sectionModels)
        m_shell->setRefreshAction(section, sample);
    // The test sections have no F5: a sample does not change what they show.
    m_sectionModels.emplace(NavigationSection::healthTest, m_healthTest.get());
    m_sectionModels.emplace(NavigationSection::benchmarkLab, m_benchmarkLab.get());
    m_sectionModels.emplace(NavigationSection::hardwareAdvisor, m_hardwareAdvisor.get());
    m_sectionModels.emplace(NavigationSection::aiHardwareDoctor, m_aiHardwareDoctor.get());
    m_sectionModels.emplace(NavigationSection::history, m_history.get());
    m_sectionModels.emplace(NavigationSection::fullSystemScan, m_fullScan.get());
    m_shell->setRefreshAction(NavigationSection::storageMap, [this] {
        if (m_storageMap->hasAuthorizedFolder() && !m_storageMap->isScanning())
            m_storageMap->startScan();
    });
    m_shell->setRefreshAction(NavigationSection::advanced, [this, sample] {
        sample();
        m_fanControl->refreshNow();
    });
    connect(m_shell.get(), &ShellViewModel::currentSectionChanged, this,
            &KestrumApplication::updateActiveViewModels);
    // The fan helper is asked only when its panel is shown, never in the background.
    connect(m_shell.get(), &ShellViewModel::currentSectionChanged, this, [this] {
        if (m_shell->currentSection() == NavigationSection::advanced && !m_fanControl->isBoosting())
            m_fanControl->refreshNow();
    });
    connect(m_shell.get(), &ShellViewModel::quitRequested, this, &KestrumApplication::quit);

    if (!m_options.openFolder)
        m_options.openFolder = [](const QString& path) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        };
    m_storageModel->treemap()->setOpener(m_options.openFolder);

    m_theme = std::make_unique<Theme>(m_options.colorScheme.value_or(ColorScheme::light));
    m_theme->setBaseFont(QGuiApplication::font());
    if (m_options.colorScheme) {
        m_theme->setScheme(*m_options.colorScheme);
    } else {
        m_colorScheme = std::make_unique<ColorSchemeWatcher>(m_options.desktopBus);
        const auto follow = [this] {
            m_theme->setScheme(m_colorScheme->scheme().value_or(ColorScheme::light));
        };
        connect(m_colorScheme.get(), &ColorSchemeWatcher::schemeChanged, this, follow);
        follow();
    }
    m_desktop = std::make_unique<Desktop>(*m_launchAtLogin);

    m_bus = std::make_unique<MonitorBusService>(store, KestrumPaths::dataDirectory(),
                                                KestrumPaths::configDirectory());
    if (m_options.screenshotDirectory.isEmpty())
        m_bus->registerOnBus();
    m_bus->setShowWindowHandler([this] {
        showWindow();
        return mainWindow() != nullptr;
    });

    // The window decides on closing: into the tray while there is one, else quitting.
    QApplication::setQuitOnLastWindowClosed(false);
    if (m_options.screenshotDirectory.isEmpty()) {
        m_trayHost = std::make_unique<TrayHostWatcher>(
            m_options.desktopBus, m_options.otherTray ? m_options.otherTray : [] {
                return QSystemTrayIcon::isSystemTrayAvailable();
            });
        connect(m_trayHost.get(), &TrayHostWatcher::availabilityChanged, this,
                &KestrumApplication::trayAvailabilityChanged);
        trayAvailabilityChanged();
    }
    m_noTrayTimer.setSingleShot(true);
    m_noTrayTimer.setInterval(m_options.noTrayGraceMs);
    connect(&m_noTrayTimer, &QTimer::timeout, this, &KestrumApplication::showWindowIfUnreachable);
    if (m_options.followsApplicationState)
        connect(qApp, &QGuiApplication::applicationStateChanged, this,
                &KestrumApplication::applicationStateChanged);
    // The weekly report and the full scan's reminder come from the running application; a screenshot run
    // sends neither.
    if (m_options.screenshotDirectory.isEmpty()) {
        m_notifications = std::make_unique<FreedesktopNotificationService>(m_options.desktopBus);
        m_options.desktopBus.connect(QString(), QStringLiteral("/org/freedesktop/Notifications"),
                                     QStringLiteral("org.freedesktop.Notifications"),
                                     QStringLiteral("ActionInvoked"), this,
                                     SLOT(notificationActionInvoked(uint, QString)));
        m_weeklyReportTimer.setInterval(3600 * 1000);
        connect(&m_weeklyReportTimer, &QTimer::timeout, this, &KestrumApplication::offerWeeklyReportIfDue);
        connect(&store, &SystemMonitorStore::isArchivePreparedChanged, this,
                &KestrumApplication::offerWeeklyReportIfDue);
        m_weeklyReportTimer.start();
    }
    updateActiveViewModels();
}

KestrumApplication::~KestrumApplication() {
    // Views go before the objects they show.
    m_engine.reset();
}

SectionViewModel* KestrumApplication::sectionViewModel(NavigationSection section) const {
    const auto it = m_sectionModels.find(section);
    return it == m_sectionModels.end() ? nullptr : it->second;
}

bool KestrumApplication::start() {
    if (m_options.startHidden && m_options.screenshotDirectory.isEmpty()) {
        // Nothing is loaded for a window nobody looks at; no frame will come to start monitoring.
        m_startedUp = true;
        runStartUp();
        // Without a tray to come back through, the window is shown after all (minimised).
        if (!m_tray)
            m_noTrayTimer.start();
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
    m_engine->addImportPath(QStringLiteral("qrc:/kestrum"));
    m_engine->addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    const std::initializer_list<QObject*> instances = {m_shell.get(),
                                                       m_overview.get(),
                                                       m_healthCenter.get(),
                                                       m_battery.get(),
                                                       m_network.get(),
                                                       m_healthTest.get(),
                                                       m_hardwareAdvisor.get(),
                                                       m_benchmarkLab.get(),
                                                       m_storageModel.get(),
                                                       m_performance.get(),
                                                       m_resourceAnalysis.get(),
                                                       m_settings.get(),
                                                       m_analyticsConsent.get(),
                                                       m_advanced.get(),
                                                       m_summaryModel.get(),
                                                       m_aiHardwareDoctor.get(),
                                                       m_history.get(),
                                                       m_reports.get(),
                                                       m_fullScan.get(),
                                                       m_theme.get(),
                                                       m_desktop.get()};
    for (QObject* instance : instances)
        ViewModelInstances::provide(*m_engine, instance);
    m_engine->load(QUrl(QStringLiteral("qrc:/kestrum/Kestrum/Main.qml")));
    QQuickWindow* window = mainWindow();
    if (!window) {
        m_engine.reset();
        qCWarning(lcApp) << "the window could not be loaded";
        return nullptr;
    }
    restoreWindowPlace(*window);
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
    updateActiveViewModels();
    if (anyWindowVisible()) {
        m_noTrayTimer.stop();
        return;
    }
    // Closed to the tray: the views are let go until they are wanted again, so that a day in the tray
    // costs what headless monitoring costs.
    QTimer::singleShot(0, this, &KestrumApplication::releaseWindowIfHidden);
}

bool KestrumApplication::anyWindowVisible() const {
    QQuickWindow* window = mainWindow();
    if (!window)
        return false;
    const QWindow* settings = window->findChild<QWindow*>(QStringLiteral("settingsWindow"));
    return window->isVisible() || (settings && settings->isVisible());
}

void KestrumApplication::updateActiveViewModels() {
    // Only the section on screen follows the store; the others catch up when they are chosen.
    const bool shown = anyWindowVisible();
    for (const auto& [section, model] : m_sectionModels)
        model->setActive(shown && section == m_shell->currentSection());
    m_summaryModel->setWindowShown(shown);
}

void KestrumApplication::releaseWindowIfHidden() {
    QQuickWindow* window = mainWindow();
    if (!window || anyWindowVisible())
        return;
    rememberWindowPlace();
    m_engine.reset(); // the window, its settings window and the compiled views with it
    malloc_trim(0);   // hand the freed pages back to the system, not just to the allocator
    if (!m_tray && m_trayHost)
        m_noTrayTimer.start(); // hidden with no way back: see whether a tray comes
}

void KestrumApplication::rememberWindowPlace() {
    QQuickWindow* window = mainWindow();
    if (!window ||
        window->windowStates() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    PreferencesStore& saved = *m_services.savedPreferences;
    const QRect place = window->geometry();
    saved.setValue(kWindowXKey, double(place.x()));
    saved.setValue(kWindowYKey, double(place.y()));
    saved.setValue(kWindowWidthKey, double(place.width()));
    saved.setValue(kWindowHeightKey, double(place.height()));
}

void KestrumApplication::restoreWindowPlace(QQuickWindow& window) {
    const PreferencesStore& saved = *m_services.savedPreferences;
    const auto width = saved.numberValue(kWindowWidthKey);
    const auto height = saved.numberValue(kWindowHeightKey);
    if (!width || !height || !(*width > 0) || !(*height > 0))
        return;
    const QSize size(std::max(int(*width), window.minimumWidth()),
                     std::max(int(*height), window.minimumHeight()));
    window.resize(size);
    const auto x = saved.numberValue(kWindowXKey);
    const auto y = saved.numberValue(kWindowYKey);
    if (!x || !y)
        return;
    // A place on a screen that is gone is not restored: the window would open out of sight.
    const QRect place(QPoint(int(*x), int(*y)), size);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(place)) {
            window.setPosition(place.topLeft());
            return;
        }
    }
}

void KestrumApplication::trayAvailabilityChanged() {
    const bool available = m_trayHost && m_trayHost->isAvailable();
    if (available && !m_tray) {
        m_tray = std::make_unique<TrayItem>(*m_services.store, *m_menuBar);
        connect(m_tray.get(), &TrayItem::openWindowRequested, this, &KestrumApplication::showWindow);
        connect(m_tray.get(), &TrayItem::settingsRequested, this, &KestrumApplication::showSettings);
        connect(m_tray.get(), &TrayItem::quitRequested, this, &KestrumApplication::quit);
        connect(m_tray.get(), &TrayItem::used, this, [this] {
            if (m_services.analytics)
                m_services.analytics->recordActiveDay(ProductAnalyticsSurface::menuBar);
        });
        m_noTrayTimer.stop();
    } else if (!available && m_tray) {
        m_tray.reset();
        // The panel may only be restarting; if it stays away, the window comes back (minimised).
        if (!anyWindowVisible() && m_startedUp)
            m_noTrayTimer.start();
    }
    m_shell->setHasTray(m_tray != nullptr);
}

void KestrumApplication::showWindowIfUnreachable() {
    if (m_tray || anyWindowVisible())
        return;
    if (QQuickWindow* window = ensureWindow())
        window->showMinimized();
}

namespace {
const QString kWeeklyReportAction = QStringLiteral("kestrum-weekly-report");
} // namespace

void KestrumApplication::offerWeeklyReportIfDue() {
    SystemMonitorStore& store = *m_services.store;
    // Only the archive's writer offers it, once the archive is read.
    if (!store.isArchivePrepared() || !m_archiveBlockedReason.isEmpty() || !m_notifications)
        return;
    const Date now = Date::now();
    const Date weekAgo = now.addingSeconds(-WeeklyReportSchedule::kIntervalSeconds);
    const auto& samples = store.persistentHistory();
    const bool recent = std::any_of(samples.begin(), samples.end(), [&](const HealthSample& sample) {
        return sample.timestamp >= weekAgo && sample.timestamp <= now;
    });
    WeeklyReportSchedule::offerIfDue(*m_services.savedPreferences, now, recent, [this] {
        m_notifications->deliverMessage(
            L10n::string(trText("Haftalık sağlık raporun hazır")),
            L10n::string(trText("Son yedi günün ölçümlerinden yerel bir rapor oluşturup kaydedebilirsin.")),
            kWeeklyReportAction, L10n::string(trText("Raporu kaydet")));
    });
}

void KestrumApplication::notificationActionInvoked(uint, const QString& actionKey) {
    // The signal reaches every listener on the bus, for every application's notifications: only this
    // key is ours.
    if (actionKey != kWeeklyReportAction)
        return;
    m_shell->selectSectionByKey(QStringLiteral("healthCenter"));
    showWindow();
    m_reports->requestExport(QStringLiteral("weekly"));
}

void KestrumApplication::runStartUp() {
    m_storageMap->restorePermissionIfNeeded();
    // A queue no consent covers goes; with consent, what waits is sent.
    if (m_services.analytics)
        m_services.analytics->prepareForLaunch();
    if (m_archiveBlockedReason.isEmpty()) {
        startMetricsListener();
        fireAndForget(m_services.store->startUp(), "start-up");
        startFullScanReminder();
    } else {
        m_services.store->start();
    }
}

void KestrumApplication::startFullScanReminder() {
    // Only the archive's writer reminds, so that two windows do not both ring; a screenshot run never does.
    if (!m_notifications)
        return;
    m_scanReminder = std::make_unique<FullScanReminderNotifier>(*m_services.store, *m_notifications);
    m_scanReminder->start();
}

void KestrumApplication::startMetricsListener() {
    // The same page as `kestrum-cli monitor --metrics-listen`, for a desktop that runs the window instead:
    // the "metrics.listen" preference ("9464", "127.0.0.1:9464", "[::1]:9464"). Only the archive's writer
    // serves it, so the event totals have one writer.
    const auto value = m_services.savedPreferences->value(QStringLiteral("metrics.listen"));
    const QString text =
        value && std::holds_alternative<QString>(*value) ? std::get<QString>(*value).trimmed() : QString();
    if (text.isEmpty() || !m_options.screenshotDirectory.isEmpty())
        return;
    const auto address = parseListenAddress(text);
    if (!address) {
        qCWarning(lcApp) << "metrics.listen is not PORT or ADDRESS:PORT:" << text;
        return;
    }
    m_metrics = std::make_unique<MonitorMetricsSource>(*m_services.store, KestrumPaths::metricsTotalsFile());
    m_metricsServer = std::make_unique<MetricsHttpServer>(
        [source = m_metrics.get()](ExpositionFormat format) { return source->page(format); });
    if (const auto problem = m_metricsServer->listen(address->first, address->second)) {
        qCWarning(lcApp) << "not serving metrics:" << *problem;
        m_metricsServer.reset();
        m_metrics.reset();
    }
}

void KestrumApplication::applicationStateChanged(Qt::ApplicationState state) {
    const bool returning = state == Qt::ApplicationActive && m_applicationState != Qt::ApplicationActive;
    m_applicationState = state;
    if (!returning)
        return;
    // The first activation is the launch, whose task is the start-up.
    if (!m_hasBeenActive) {
        m_hasBeenActive = true;
        return;
    }
    if (m_startedUp && !m_activationInFlight)
        fireAndForget(whenActiveAgain(), "bringing the window up to date");
}

QCoro::Task<void> KestrumApplication::whenActiveAgain() {
    QPointer<KestrumApplication> self(this);
    m_activationInFlight = true;
    ++m_activationTasks;
    // Settings may have changed outside (the autostart entry); the values shown are brought up to date
    // with a sample now instead of at the loop's next turn.
    m_launchAtLogin->refresh();
    co_await m_services.store->refresh(AnalyticsTrigger::automaticMonitoring);
    if (self)
        m_activationInFlight = false;
}

void KestrumApplication::showWindow() {
    if (QQuickWindow* window = ensureWindow()) {
        if (m_services.analytics)
            m_services.analytics->recordActiveDay(ProductAnalyticsSurface::mainWindow);
        window->show();
        if (window->windowStates() & Qt::WindowMinimized)
            window->showNormal();
        window->raise();
        window->requestActivate();
    }
}

void KestrumApplication::showSettings() {
    if (ensureWindow())
        m_shell->showSettings();
}

void KestrumApplication::quit() {
    rememberWindowPlace();
    Q_EMIT quitting();
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
