#pragma once

#include "measurement/DefaultSystemMetricsSampler.h"

#include <QString>
#include <memory>

namespace kestrum {

class LinuxNetworkPathProvider;

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
};

// `pathProvider`, when given, receives the network path provider so that a one-shot caller can wait for
// its first reading.
std::unique_ptr<DefaultSystemMetricsSampler>
makeSampler(const Roots& roots = {}, std::shared_ptr<LinuxNetworkPathProvider>* pathProvider = nullptr);

} // namespace LinuxServices

} // namespace kestrum
