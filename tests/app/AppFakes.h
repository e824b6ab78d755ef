#pragma once

// Monitoring services for the application over fakes: an in-memory archive, a sampler that reports a
// thermal level worth an insight, and a loop that hands the thread back after two samples.

#include "KestrumApplication.h"
#include "LinuxServices.h"
#include "core/monitor/MonitorFakes.h"

#include <QFile>
#include <QTemporaryDir>

namespace kestrum::test {

// Points the data, configuration and autostart folders into `dir` for the test's lifetime.
inline void useFolders(const QTemporaryDir& dir) {
    qputenv("KESTRUM_DATA_DIR", QFile::encodeName(dir.path() + QStringLiteral("/data")));
    qputenv("KESTRUM_CONFIG_DIR", QFile::encodeName(dir.path() + QStringLiteral("/config")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/xdg")));
}

inline LinuxServices::MonitorServices fakeMonitorServices(Date* now) {
    LinuxServices::MonitorServices services;
    services.savedPreferences = std::make_unique<InMemoryPreferencesStore>();
    services.preferences = std::make_unique<InMemoryPreferencesStore>();
    auto sampler = std::make_shared<FakeSampler>(now);
    sampler->next = SystemSnapshot::empty();
    sampler->next.thermal = ThermalLevel::fair; // an insight and an observation to show
    SystemMonitorStore::Dependencies d;
    d.sampler = sampler;
    d.preferences = services.preferences.get();
    d.archiveRepository = std::make_shared<FakeRepository>();
    auto sleeper = std::make_shared<InstantSleeper>();
    sleeper->stopAfter = 2; // an instant sleeper would otherwise never hand the thread back
    d.loopSleeper = sleeper;
    services.store = std::make_unique<SystemMonitorStore>(std::move(d));
    return services;
}

// Options that keep the application off the desktop's bus: no tray, no portal, no file manager.
inline KestrumApplication::Options quietOptions() {
    KestrumApplication::Options options;
    options.desktopBus = QDBusConnection(QStringLiteral("kestrum-test-no-bus"));
    options.otherTray = [] { return false; };
    options.openFolder = [](const QString&) {};
    options.presentsSummaryAutomatically = false;
    return options;
}

} // namespace kestrum::test
