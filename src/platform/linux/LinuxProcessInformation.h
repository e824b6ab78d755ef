#pragma once

#include "healthtests/HealthTestWorkloadRunning.h"

#include <memory>

namespace kestrum {

class PowerProfilesClient;

// Processors this process may run on (its affinity mask), and low-power mode as power-profiles-daemon's
// "power-saver" profile (false when the daemon is absent).
class LinuxProcessInformation : public ProcessInformationProviding {
public:
    // Without a client, low-power mode is never reported.
    explicit LinuxProcessInformation(std::shared_ptr<PowerProfilesClient> powerProfiles);

    int activeProcessorCount() const override;
    bool isLowPowerModeEnabled() const override;

    // The count of set bits in the affinity mask, else the online processors; at least 1.
    static int affinityProcessorCount();

private:
    std::shared_ptr<PowerProfilesClient> m_powerProfiles;
};

} // namespace kestrum
