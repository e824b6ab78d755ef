#pragma once

#include "analytics/ProductAnalyticsRuntime.h"
#include "foundation/PreferencesStore.h"
#include "measurement/DefaultSystemMetricsSampler.h"
#include "monitor/SystemMonitorStore.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace kestrum {

class FileHealthArchiveRepository;
class LinuxNetworkPathProvider;
class Nl80211LinkMetricsProvider;
class LinuxConnectionDetailsProvider;

// The composition root: builds Kestrum's collaborators over the real Linux readers.
namespace LinuxServices {

struct Roots {
    QString proc = QStringLiteral("/proc");
    QString sys = QStringLiteral("/sys");
    QString run = QStringLiteral("/run");
    QString etc = QStringLiteral("/etc");
    QString rootVolume = QStringLiteral("/");
    // D-Bus services (NetworkManager, power-profiles-daemon) are asked only for the real machine.
    bool useSystemBus = true;
    // The interfaces' addresses; by default the machine's own (getifaddrs).
    std::function<std::map<QString, std::pair<bool, bool>>()> addresses; // name → (IPv4, global IPv6)
    // The Wi-Fi link is asked of the running kernel (nl80211) only for the real machine.
    bool useKernelWiFi = true;

    // A machine recorded under `root` (root/proc, root/sys, root/run, root/etc), without D-Bus and
    // without addresses unless given.
    static Roots recordedTree(const QString& root);
};

// The Wi-Fi link and connection-details readers of the machine (or of a recorded tree).
std::unique_ptr<Nl80211LinkMetricsProvider> makeWiFiLinkProvider(const Roots& roots = {});
std::unique_ptr<LinuxConnectionDetailsProvider> makeConnectionDetailsProvider(const Roots& roots = {});

// `pathProvider`, when given, receives the network path provider so that a one-shot caller can wait for
// its first reading.
std::unique_ptr<DefaultSystemMetricsSampler>
makeSampler(const Roots& roots = {}, std::shared_ptr<LinuxNetworkPathProvider>* pathProvider = nullptr);

// The consented resource analysis: the session's foreground application (only on the real machine) and
// the per-application use from the user's cgroup v2 app.slice.
ResourceAnalysisDependencies makeResourceAnalysis(const Roots& roots = {});

// The hardware profile's readers over the same roots; udisks2 is asked only when the system bus is used.
HardwareDependencies makeHardwareDependencies(const Roots& roots = {});

// The monitoring store over the real machine: the sampler above, the archive at the data directory,
// desktop notifications and logind's sleep/wake. The objects it needs are owned by the returned bundle.
struct MonitorServices {
    std::unique_ptr<PreferencesStore> savedPreferences;
    std::unique_ptr<PreferencesStore> preferences;
    std::unique_ptr<SleepWakeNotifying> sleepWake;
    // Made before the store, which records its usage events through it, and gone after it.
    std::unique_ptr<ProductAnalyticsRuntime> analytics;
    // The store's repository, for what its last load had to say about the benchmark history.
    std::shared_ptr<FileHealthArchiveRepository> repository;
    std::unique_ptr<SystemMonitorStore> store;
};
// `preferenceOverrides` fix some preference values for this run only (see OverridingPreferencesStore);
// `pathProvider`, when given, receives the network path provider (as for makeSampler).
MonitorServices makeMonitorServices(const Roots& roots = {},
                                    std::map<QString, PreferenceValue> preferenceOverrides = {},
                                    std::shared_ptr<LinuxNetworkPathProvider>* pathProvider = nullptr);

} // namespace LinuxServices

} // namespace kestrum
