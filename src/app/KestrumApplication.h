#pragma once

#include "LinuxServices.h"
#include "foundation/ProcessLock.h"
#include "measurement/MenuBarPreferences.h"
#include "presentation/MonitorViewModel.h"
#include "presentation/StorageMapViewModel.h"
#include "storage/StorageMapStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QVariant>
#include <memory>

class QQuickWindow;

namespace kestrum {

class L10nBridge;
class LaunchAtLoginStore;
class MonitorBusService;
class TrayItem;

// The application shell: creates the long-lived stores once (the monitoring store, the storage map
// store, the menu-bar choices), opens the main window with its sidebar, shows the tray item when the
// desktop has a tray, and runs the store's start-up as the window's first task.
class KestrumApplication : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList sections READ sections CONSTANT)
    Q_PROPERTY(bool hasTray READ hasTray CONSTANT)
    Q_PROPERTY(QString archiveBlockedReason READ archiveBlockedReason CONSTANT)

public:
    struct Options {
        bool startHidden = false;
        bool measureStartup = false; // print the time from launch to the first frame, then quit
        QElapsedTimer sinceLaunch;   // started first thing in main; else the window's creation counts
        QString screenshotDirectory; // render every section to PNG files there, then quit
        QString fixtureRoot;         // recorded machine tree for screenshots
    };

    // `services` may be prepared by the caller (tests, screenshots); by default the real machine's.
    KestrumApplication(Options options, LinuxServices::MonitorServices services,
                       std::shared_ptr<StorageMapScanning> scanner = {}, QObject* parent = nullptr);
    ~KestrumApplication() override;

    // Loads and shows the window (unless starting hidden, when the window is loaded once it is first
    // wanted); answers false when QML failed to load.
    bool start();

    QVariantList sections() const;
    bool hasTray() const { return m_tray != nullptr; }
    QString archiveBlockedReason() const { return m_archiveBlockedReason; }
    QQuickWindow* mainWindow() const;
    SystemMonitorStore& store() { return *m_services.store; }
    StorageMapStore& storageMap() { return *m_storageMap; }
    MonitorViewModel& monitorViewModel() { return *m_monitorModel; }

    Q_INVOKABLE void showWindow();
    Q_INVOKABLE void showSettings();
    Q_INVOKABLE void quit();

Q_SIGNALS:
    void settingsRequested();

private:
    void runStartUp();
    QQuickWindow* ensureWindow();
    void windowVisibilityChanged();
    bool anyWindowVisible() const;
    void releaseWindowIfHidden();
    void takeScreenshots();

    Options m_options;
    LinuxServices::MonitorServices m_services;
    std::unique_ptr<StorageMapStore> m_storageMap;
    std::unique_ptr<MenuBarPreferences> m_menuBar;
    std::unique_ptr<MonitorViewModel> m_monitorModel;
    std::unique_ptr<StorageMapViewModel> m_storageModel;
    std::unique_ptr<L10nBridge> m_l10n;
    LaunchAtLoginStore* m_launchAtLogin = nullptr;
    std::unique_ptr<MonitorBusService> m_bus;
    std::unique_ptr<TrayItem> m_tray;
    std::unique_ptr<ProcessLock> m_lock;
    QString m_archiveBlockedReason;
    std::unique_ptr<QQmlApplicationEngine> m_engine; // only while there is a window
    bool m_startedUp = false;
    int m_lastSection = 0; // kept while the window is let go
};

} // namespace kestrum
