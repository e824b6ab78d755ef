#pragma once

#include "advanced/AdvancedFanControlStore.h"

#include <QString>
#include <memory>

namespace kestrum::LinuxFanControl {

// notIncluded: the helper program is not installed; notRegistered: it is, but its socket unit is not
// listening (not enabled); enabled: the socket is there.
AdvancedFanHelperRegistrationStatus registrationStatus(const QString& helperPath, const QString& socketPath);

// The machine as the fan panel sees it: the fan interface a release record could cover (the first
// hwmon driver present that a record names), the kernel, the thermal level and the monotonic clock.
AdvancedFanControlMachine machine(const QString& procRoot = QStringLiteral("/proc"),
                                  const QString& sysRoot = QStringLiteral("/sys"),
                                  std::function<ThermalLevel()> thermalLevel = {});

// The store over the installed helper's socket. Without a thermal source of the caller's, it reads the
// machine's thermal level itself.
std::unique_ptr<AdvancedFanControlStore> makeStore(std::function<ThermalLevel()> thermalLevel = {},
                                                   QObject* parent = nullptr);

} // namespace kestrum::LinuxFanControl
