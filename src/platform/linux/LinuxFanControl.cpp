#include "LinuxFanControl.h"

#include "LinuxThermalStatsProvider.h"
#include "SysfsHwmonReading.h"
#include "UnixSocketFanHelperTransport.h"
#include "advanced/AdvancedFanHelperInstallation.h"

#include <QFileInfo>
#include <ctime>

namespace kestrum::LinuxFanControl {

AdvancedFanHelperRegistrationStatus registrationStatus(const QString& helperPath, const QString& socketPath) {
    if (!QFileInfo(helperPath).isExecutable())
        return AdvancedFanHelperRegistrationStatus::notIncluded;
    if (!QFileInfo::exists(socketPath))
        return AdvancedFanHelperRegistrationStatus::notRegistered;
    return AdvancedFanHelperRegistrationStatus::enabled;
}

AdvancedFanControlMachine machine(const QString& procRoot, const QString& sysRoot,
                                  std::function<ThermalLevel()> thermalLevel) {
    AdvancedFanControlMachine machine;
    machine.registrationStatus = [] {
        return registrationStatus(UnixSocketFanHelperTransport::installedHelperPath(),
                                  QString::fromLatin1(AdvancedFanHelperInstallation::socketPath));
    };
    if (const auto identity = readAdvancedTelemetryIdentity(procRoot, sysRoot)) {
        machine.kernelMajorVersion = identity->kernelMajorVersion;
        machine.kernelSeries = identity->kernelSeries;
        for (const AdvancedFanCompatibilityRecord& record :
             AdvancedFanCompatibilityCatalog::releaseRecords()) {
            if (identity->modelIdentifiers.contains(record.key.modelIdentifier)) {
                machine.fanInterface = record.key.modelIdentifier;
                break;
            }
        }
    }
    if (!thermalLevel) {
        auto provider = std::make_shared<LinuxThermalStatsProvider>(sysRoot);
        thermalLevel = [provider] { return provider->sample(); };
    }
    machine.thermalLevel = std::move(thermalLevel);
    // The boot clock goes on during suspend, as the helper's does: a boost's deadline is real time.
    machine.now = [] {
        timespec now{};
        ::clock_gettime(CLOCK_BOOTTIME, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    };
    return machine;
}

std::unique_ptr<AdvancedFanControlStore> makeStore(std::function<ThermalLevel()> thermalLevel,
                                                   QObject* parent) {
    return std::make_unique<AdvancedFanControlStore>(
        std::make_shared<UnixSocketFanHelperTransport>(), AdvancedFanCompatibilityCatalog::releaseRecords(),
        machine(QStringLiteral("/proc"), QStringLiteral("/sys"), std::move(thermalLevel)), parent);
}

} // namespace kestrum::LinuxFanControl
