#include "LinuxProcessInformation.h"

#include "PowerProfilesClient.h"

#include <algorithm>
#include <cerrno>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace kestrum {

LinuxProcessInformation::LinuxProcessInformation(std::shared_ptr<PowerProfilesClient> powerProfiles)
    : m_powerProfiles(std::move(powerProfiles)) {}

int LinuxProcessInformation::affinityProcessorCount() {
    // Machines with more than 1024 processors need a larger mask than cpu_set_t.
    for (int processors = 1024; processors <= 1 << 16; processors *= 2) {
        const size_t size = CPU_ALLOC_SIZE(processors);
        std::vector<unsigned char> storage(size);
        auto* mask = reinterpret_cast<cpu_set_t*>(storage.data());
        if (::sched_getaffinity(0, size, mask) == 0)
            return std::max(1, CPU_COUNT_S(size, mask));
        if (errno != EINVAL)
            break;
    }
    return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

int LinuxProcessInformation::activeProcessorCount() const {
    return affinityProcessorCount();
}

bool LinuxProcessInformation::isLowPowerModeEnabled() const {
    if (!m_powerProfiles)
        return false;
    return m_powerProfiles->activeProfile() == QStringLiteral("power-saver");
}

} // namespace kestrum
