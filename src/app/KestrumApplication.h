#pragma once

#include "FreedesktopNotificationService.h"
#include "FullScanReminderNotifier.h"
#include "LinuxServices.h"
#include "foundation/ProcessLock.h"
#include "measurement/MenuBarPreferences.h"
#include "presentation/AdvancedViewModel.h"
#include "presentation/AiHardwareDoctorViewModel.h"
#include "presentation/AnalyticsConsentViewModel.h"
#include "presentation/BatteryViewModel.h"
#include "presentation/BenchmarkLabViewModel.h"
#include "presentation/FirstHealthSummaryViewModel.h"
#include "presentation/FullScanViewModel.h"
#include "presentation/HardwareAdvisorViewModel.h"
#include "presentation/HealthCenterViewModel.h"
#include "presentation/HealthTestViewModel.h"
#include "presentation/HistoryViewModel.h"
#include "presentation/NetworkViewModel.h"
#include "presentation/OverviewViewModel.h"
#include "presentation/PerformanceViewModel.h"
#include "presentation/ReportExportViewModel.h"
#include "presentation/ResourceAnalysisViewModel.h"
#include "presentation/SettingsViewModel.h"
#include "presentation/ShellViewModel.h"
#include "presentation/StorageMapViewModel.h"
#include "presentation/ThemePalette.h"
#include "storage/StorageMapStore.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QRect>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QQuickWindow;

namespace kestrum {

class FreedesktopNotificationService;

class MonitorMetricsSource;
class MetricsHttpServer;

class ColorSchemeWatcher;
class Desktop;
class LaunchAtLoginStore;
class MonitorBusService;
class Theme;
class TrayHostWatcher;
class TrayItem;

// The application shell: creates the long-lived stores and the view models once, opens the main window
// with its sidebar, keeps a tray item while the desktop has a tray, and runs the store's start-up as the
// window's first task and a further task each time the application becomes active again.
class KestrumApplication : public QObject {
    Q_OBJECT

public:
    struct Options {
        bool startHidden = false;
        bool measureStartup = false; // print the time from launch to the first frame, then quit
        QElapsedTimer sinceLaunch;   // started first thing in main; else the window's creation counts
        QString screenshotDirectory; // render every section to PNG files there, then quit
        QString fixtureRoot;         // recorded machine tree for screenshots
        // Where the tray host and the settings portal are watched; tests give a private bus.
        QDBusConnection desktopBus = QDBusConnection::sessionBus();
        // An older (XEmbed) tray, asked when no StatusNotifier host answers.
        std::function<bool()> otherTray;
        // Opens a folder in the file manager; by default through the desktop's URL handler.
        std::function<void(const QString& path)> openFolder;
        // A fixed colour scheme instead of the desktop's (screenshots).
        std::optional<ColorScheme> colorScheme;
        // Whether the application's active state drives the task that runs on becoming active again;
        // tests drive it themselves.
        bool followsApplicationState = true;
        // Started hidden, how long to wait for a tray before showing the window minimised instead.
        int noTrayGraceMs = 4000;
        // Whether the first health summary opens by itself over the first measurement a new user sees;
        // tests of other parts of the window keep it shut.
        bool presentsSummaryAutomatically = true;
    };

    // Where the window's place is remembered.
    static const QString kWindowXKey, kWindowYKey, kWindowWidthKey, kWindowHeightKey;

    // `services` may be prepared by the caller (tests, screenshots); by default the real machine's.
    KestrumApplication(Options options, LinuxServices::MonitorServices services,
                       std::shared_ptr<StorageMapScanning> scanner = {}, QObject* parent = nullptr);
    ~KestrumApplication() override;

    // Loads and shows the window (unless starting hidden, when the window is loaded once it is first
    // wanted); answers false when QML failed to load.
    bool start();

    bool hasTray() const { return m_tray != nullptr; }
    QQuickWindow* mainWindow() const;
    QQmlApplicationEngine* engine() const { return m_engine.get(); }
    SystemMonitorStore& store() { return *m_services.store; }
    StorageMapStore& storageMap() { return *m_storageMap; }
    StorageMapViewModel& storageMapViewModel() { return *m_storageModel; }
    ShellViewModel& shell() { return *m_shell; }
    OverviewViewModel& overview() { return *m_overview; }
    FirstHealthSummaryViewModel& healthSummary() { return *m_summaryModel; }
    Theme& theme() { return *m_theme; }
    SectionViewModel* sectionViewModel(NavigationSection section) const;
    LaunchAtLoginStore& launchAtLogin() { return *m_launchAtLogin; }

    void showWindow();
    void showSettings();
    void quit();
    // The application became active (or stopped being so): each return to active after the first
    // starts the task that brings the window's state up to date.
    void applicationStateChanged(Qt::ApplicationState state);
    int activationTaskCount() const { return m_activationTasks; }

Q_SIGNALS:
    void quitting();

private:
    void runStartUp();
    void startMetricsListener();
    void startFullScanReminder();
    QCoro::Task<void> whenActiveAgain();
    QQuickWindow* ensureWindow();
    void windowVisibilityChanged();
    bool anyWindowVisible() const;
    void releaseWindowIfHidden();
    void updateActiveViewModels();
    void trayAvailabilityChanged();
    void showWindowIfUnreachable();
    void rememberWindowPlace();
    void restoreWindowPlace(QQuickWindow& window);
    void takeScreenshots();
    void offerWeeklyReportIfDue();

private Q_SLOTS:
    void notificationActionInvoked(uint id, const QString& actionKey);

private:
    Options m_options;
    // Declared before the services so that it outlives them: the archive's last write (the journal folded
    // in) happens while this process still holds the data folder.
    std::unique_ptr<ProcessLock> m_lock;
    LinuxServices::MonitorServices m_services;
    std::unique_ptr<StorageMapStore> m_storageMap;
    std::unique_ptr<MenuBarPreferences> m_menuBar;
    std::unique_ptr<FirstHealthSummaryStore> m_summary;
    LaunchAtLoginStore* m_launchAtLogin = nullptr;
    std::unique_ptr<ShellViewModel> m_shell;
    std::unique_ptr<OverviewViewModel> m_overview;
    std::unique_ptr<HealthCenterViewModel> m_healthCenter;
    std::unique_ptr<BatteryViewModel> m_battery;
    std::unique_ptr<NetworkViewModel> m_network;
    std::unique_ptr<HealthTestViewModel> m_healthTest;
    std::unique_ptr<HardwareAdvisorViewModel> m_hardwareAdvisor;
    std::unique_ptr<PerformanceViewModel> m_performance;
    std::unique_ptr<ResourceAnalysisViewModel> m_resourceAnalysis;
    std::unique_ptr<BenchmarkLabViewModel> m_benchmarkLab;
    std::unique_ptr<StorageMapViewModel> m_storageModel;
    std::unique_ptr<SettingsViewModel> m_settings;
    std::unique_ptr<AnalyticsConsentViewModel> m_analyticsConsent;
    std::unique_ptr<AdvancedFanControlStore> m_fanControl;
    std::unique_ptr<AdvancedViewModel> m_advanced;
    std::unique_ptr<FirstHealthSummaryViewModel> m_summaryModel;
    std::unique_ptr<AiHardwareDoctorViewModel> m_aiHardwareDoctor;
    std::unique_ptr<HistoryViewModel> m_history;
    std::unique_ptr<ReportExportViewModel> m_reports;
    std::unique_ptr<FreedesktopNotificationService> m_notifications;
    QTimer m_weeklyReportTimer;
    std::unique_ptr<FullScanViewModel> m_fullScan;
    // The full scan reminder: checked every minute and at start, shown through the desktop's notifications.
    std::unique_ptr<FullScanReminderNotifier> m_scanReminder;
    std::map<NavigationSection, SectionViewModel*> m_sectionModels;
    std::unique_ptr<Theme> m_theme;
    std::unique_ptr<Desktop> m_desktop;
    std::unique_ptr<ColorSchemeWatcher> m_colorScheme;
    std::unique_ptr<TrayHostWatcher> m_trayHost;
    std::unique_ptr<MonitorBusService> m_bus;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<MonitorMetricsSource> m_metrics;
    std::unique_ptr<MetricsHttpServer> m_metricsServer;
    QString m_archiveBlockedReason;
    std::unique_ptr<QQmlApplicationEngine> m_engine; // only while there is a window
    QTimer m_noTrayTimer;
    bool m_startedUp = false;
    Qt::ApplicationState m_applicationState = Qt::ApplicationInactive;
    bool m_hasBeenActive = false;
    bool m_activationInFlight = false;
    int m_activationTasks = 0;
};

} // namespace kestrum
