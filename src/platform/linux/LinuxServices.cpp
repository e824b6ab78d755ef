#include "LinuxServices.h"

#include "BusDnsServerReader.h"
#include "CgroupApplicationUsageReader.h"
#include "DrmGPUStatsProvider.h"
#include "DrmGraphicsDeviceIdentityReader.h"
#include "FreedesktopNotificationService.h"
#include "LinuxConnectionDetailsProvider.h"
#include "LinuxForegroundApplicationProvider.h"
#include "LinuxNetworkPathProvider.h"
#include "LinuxProcessInformation.h"
#include "LinuxThermalSignal.h"
#include "LinuxThermalStatsProvider.h"
#include "LogindSleepWatcher.h"
#include "NetworkManagerAccessPointReader.h"
#include "Nl80211LinkMetricsProvider.h"
#include "NvmlLibrary.h"
#include "OpenCLGPUComputeWorkload.h"
#include "PowerProfilesClient.h"
#include "ProcMeminfoMemorySnapshotReader.h"
#include "ProcStatCPUTickReader.h"
#include "StartupDiskIdentityReader.h"
#include "StatvfsDiskCapacityReader.h"
#include "SysfsBatteryServiceReader.h"
#include "SysfsHwmonReading.h"
#include "SysfsNetworkByteCounterReader.h"
#include "SysfsPowerSupplyBatteryStatsProvider.h"
#include "SystemHardwareReader.h"
#include "UDisks2StorageHealthReader.h"
#include "advanced/AdvancedReadOnlyTelemetryProviders.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/OverridingPreferencesStore.h"
#include "hardware/DefaultHardwareProfileDiscoverer.h"
#include "history/FileHealthArchiveRepository.h"
#include "measurement/MetricStatsProviders.h"

#include <unistd.h>

namespace kestrum::LinuxServices {

Roots Roots::recordedTree(const QString& root) {
    Roots roots;
    roots.proc = root + QStringLiteral("/proc");
    roots.sys = root + QStringLiteral("/sys");
    roots.run = root + QStringLiteral("/run");
    roots.etc = root + QStringLiteral("/etc");
    roots.useSystemBus = false;
    roots.useKernelWiFi = false;
    roots.addresses = [] { return std::map<QString, std::pair<bool, bool>>{}; };
    return roots;
}

namespace {

// A recorded tree has no kernel behind it: without nl80211 every interface it lists reads as not
// associated.
class NoKernelNl80211 : public Nl80211Querying {
public:
    std::optional<Nl80211Replies> query(const QString& interfaceName) override {
        Nl80211Replies replies;
        replies.interfaceName = interfaceName;
        return replies;
    }
};

} // namespace

std::unique_ptr<Nl80211LinkMetricsProvider> makeWiFiLinkProvider(const Roots& roots) {
    return std::make_unique<Nl80211LinkMetricsProvider>(
        roots.sys,
        roots.useKernelWiFi ? std::unique_ptr<Nl80211Querying>(std::make_unique<LibnlNl80211Client>())
                            : std::make_unique<NoKernelNl80211>(),
        roots.useSystemBus ? std::make_unique<NetworkManagerAccessPointReader>() : nullptr);
}

std::unique_ptr<LinuxConnectionDetailsProvider> makeConnectionDetailsProvider(const Roots& roots) {
    LinuxConnectionDetailsProvider::AddressLister addresses;
    if (roots.addresses)
        addresses = [] { return std::vector<LinuxConnectionDetailsProvider::InterfaceAddress>{}; };
    return std::make_unique<LinuxConnectionDetailsProvider>(
        LinuxConnectionDetailsProvider::Roots{roots.proc, roots.run, roots.etc}, addresses,
        roots.useSystemBus ? std::make_unique<BusDnsServerReader>() : nullptr);
}

std::unique_ptr<DefaultSystemMetricsSampler>
makeSampler(const Roots& roots, std::shared_ptr<LinuxNetworkPathProvider>* pathProvider) {
    SamplerProviders providers;
    providers.cpu = std::make_unique<CPUStatsProvider>(std::make_unique<ProcStatCPUTickReader>(roots.proc));
    providers.memory = std::make_unique<MachMemoryStatsProvider>(
        std::make_unique<ProcMeminfoMemorySnapshotReader>(roots.proc, roots.sys));
    providers.battery = std::make_unique<SysfsPowerSupplyBatteryStatsProvider>(roots.sys);
    providers.disk = std::make_unique<URLResourceDiskStatsProvider>(
        std::make_unique<StatvfsDiskCapacityReader>(roots.rootVolume));

    LinuxThermalStatsProvider::DegradationReader degradation;
    if (roots.useSystemBus) {
        auto powerProfiles = std::make_shared<PowerProfilesClient>();
        degradation = [powerProfiles] { return powerProfiles->performanceDegraded(); };
    }
    providers.thermal = std::make_unique<LinuxThermalStatsProvider>(roots.sys, std::move(degradation));

    LinuxNetworkPathProvider::AddressLister addresses;
    if (roots.addresses) {
        addresses = [lister = roots.addresses] {
            std::map<QString, LinuxNetworkPathProvider::AddressFamilies> out;
            for (const auto& [name, families] : lister())
                out[name] = {families.first, families.second};
            return out;
        };
    }
    auto path = std::make_shared<LinuxNetworkPathProvider>(
        LinuxNetworkPathProvider::Roots{roots.proc, roots.sys, roots.run, roots.etc},
        roots.useSystemBus ? std::make_unique<NetworkManagerClient>() : nullptr, addresses);
    if (pathProvider)
        *pathProvider = path;
    providers.network = std::make_unique<NetworkStatsProvider>(
        path, std::make_unique<SysfsNetworkByteCounterReader>(roots.sys), makeWiFiLinkProvider(roots),
        makeConnectionDetailsProvider(roots), systemMonotonicClock());

    providers.gpu = std::make_unique<DrmGPUStatsProvider>(
        roots.sys,
        QStringList{QStringLiteral("/usr/share/hwdata/pci.ids"), QStringLiteral("/usr/share/misc/pci.ids")},
        NvmlLibrary::load());
    // Sensors: only what a compatibility record verifies for this kernel and these drivers is ever read.
    const auto identity = readAdvancedTelemetryIdentity(roots.proc, roots.sys);
    const QString sys = roots.sys;
    const AdvancedHwmonConnector hwmon = [sys] { return std::make_shared<SysfsHwmonReading>(sys); };
    providers.advancedBatteryTelemetry =
        std::make_unique<AdvancedBatteryTelemetryHwmonProvider>(identity, hwmon);
    providers.advancedGPUUtilization = std::make_unique<AdvancedGPUUtilizationHwmonProvider>(identity, hwmon);
    providers.advancedFanStats = std::make_unique<AdvancedReadOnlyFanStatsProvider>(identity, hwmon);
    providers.advancedComponentTemperature =
        std::make_unique<AdvancedReadOnlyComponentTemperatureProvider>(identity, hwmon);
    return std::make_unique<DefaultSystemMetricsSampler>(std::move(providers));
}

ResourceAnalysisDependencies makeResourceAnalysis(const Roots& roots) {
    ResourceAnalysisDependencies resources;
    auto resolver = ForegroundWindowResolver::forThisProcess();
    // A recorded tree has no desktop in front of it.
    if (roots.useSystemBus)
        resources.foregroundApplicationProvider =
            std::make_shared<LinuxForegroundApplicationProvider>(resolver);
    resources.applicationUsageReader = std::make_shared<CgroupApplicationUsageReader>(
        CgroupApplicationUsageReader::Roots{roots.sys + QStringLiteral("/fs/cgroup"), roots.proc}, ::getuid(),
        std::shared_ptr<DesktopEntryCatalog>(resolver, &resolver->catalog()));
    return resources;
}

HardwareDependencies makeHardwareDependencies(const Roots& roots) {
    DefaultHardwareProfileDiscoverer::Readers readers;
    readers.system = std::make_shared<SystemHardwareReader>(roots.proc, roots.sys);
    readers.storage = std::make_shared<StartupDiskIdentityReader>(roots.proc, roots.sys, roots.rootVolume);
    readers.storageHealth = std::make_shared<UDisks2StorageHealthReader>(
        roots.useSystemBus ? std::optional<QDBusConnection>(QDBusConnection::systemBus()) : std::nullopt,
        roots.sys);
    readers.graphics = std::make_shared<DrmGraphicsDeviceIdentityReader>(
        roots.sys,
        QStringList{QStringLiteral("/usr/share/hwdata/pci.ids"), QStringLiteral("/usr/share/misc/pci.ids")});
    readers.battery = std::make_shared<SysfsPowerSupplyBatteryStatsProvider>(roots.sys);
    readers.batteryService = std::make_shared<SysfsBatteryServiceReader>(roots.sys);
    HardwareDependencies dependencies;
    dependencies.discoverer = std::make_shared<DefaultHardwareProfileDiscoverer>(std::move(readers));
    return dependencies;
}

MonitorServices makeMonitorServices(const Roots& roots,
                                    std::map<QString, PreferenceValue> preferenceOverrides,
                                    std::shared_ptr<LinuxNetworkPathProvider>* pathProvider) {
    MonitorServices services;
    services.savedPreferences = std::make_unique<JsonFilePreferencesStore>(KestrumPaths::preferencesFile());
    services.preferences = std::make_unique<OverridingPreferencesStore>(*services.savedPreferences,
                                                                        std::move(preferenceOverrides));
    services.sleepWake = std::make_unique<LogindSleepWatcher>();
    services.analytics =
        std::make_unique<ProductAnalyticsRuntime>(ProductAnalyticsRuntime::standardConfiguration(
            *services.savedPreferences, KestrumPaths::preferencesFile()));
    SystemMonitorStore::Dependencies dependencies;
    dependencies.sampler = std::shared_ptr<SystemMetricsSampling>(makeSampler(roots, pathProvider).release());
    dependencies.preferences = services.preferences.get();
    services.repository = std::make_shared<FileHealthArchiveRepository>(KestrumPaths::archiveFile());
    dependencies.archiveRepository = services.repository;
    const bool offersThermalSignal = LinuxThermalSignal::machineOffersThermalSignal(roots.proc, roots.sys);
    dependencies.machineOffersThermalSignal = [offersThermalSignal] { return offersThermalSignal; };
    dependencies.healthTests =
        HealthTestDependencies(std::make_shared<OpenCLGPUComputeWorkload>(),
                               std::make_shared<LinuxProcessInformation>(
                                   roots.useSystemBus ? std::make_shared<PowerProfilesClient>() : nullptr));
    dependencies.notificationService = std::make_shared<FreedesktopNotificationService>();
    dependencies.sleepWake = services.sleepWake.get();
    dependencies.networkTests =
        NetworkTestDependencies(NetworkTestConfiguration::fromPreferences(*services.preferences));
    dependencies.analyticsRecorder = services.analytics->recorder();
    dependencies.resourceAnalysis = makeResourceAnalysis(roots);
    dependencies.hardware = makeHardwareDependencies(roots);
    services.store = std::make_unique<SystemMonitorStore>(std::move(dependencies));
    return services;
}

} // namespace kestrum::LinuxServices
