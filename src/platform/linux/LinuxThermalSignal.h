#pragma once

#include <QString>

namespace kestrum {

// Whether this machine offers a thermal signal at all. A virtual machine does not: its guest cannot see
// the host's thermal state (a hypervisor CPU flag, or the DMI vendor or product of a hypervisor). Nor
// does hardware whose kernel exposes no thermal source (no thermal zone with a temperature, no cooling
// device that can engage, no CPU throttle counter, no hwmon temperature). On such machines heavy tests
// run with a warning instead of being refused; where a signal exists but cannot be read now, they refuse.
namespace LinuxThermalSignal {

bool isVirtualMachine(const QString& procRoot, const QString& sysRoot);
bool kernelExposesThermalSource(const QString& sysRoot);
bool machineOffersThermalSignal(const QString& procRoot = QStringLiteral("/proc"),
                                const QString& sysRoot = QStringLiteral("/sys"));

} // namespace LinuxThermalSignal

} // namespace kestrum
