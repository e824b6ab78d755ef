#pragma once

#include <QString>
#include <mutex>
#include <optional>

namespace kestrum {

// power-profiles-daemon on the system bus. Answers are cached for 30 seconds so that a sample never
// waits on the bus; absent when the daemon is not running.
class PowerProfilesClient {
public:
    std::optional<QString> performanceDegraded();
    std::optional<QString> activeProfile();

private:
    struct Cached {
        double readAt = -1;
        std::optional<QString> degraded;
        std::optional<QString> profile;
    };
    void refreshIfStale();

    std::mutex m_mutex;
    Cached m_cache;
};

} // namespace kestrum
