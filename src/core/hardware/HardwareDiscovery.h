#pragma once

#include "HardwareProfileDiscovering.h"
#include "HardwareRecommendation.h"
#include "history/HealthSample.h"
#include "measurement/SystemSnapshot.h"

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

// What the monitoring store needs for the hardware profile. The default discoverer has no readers: on
// a platform it does not know it reports the profile with every system value missing.
struct HardwareDependencies {
    std::shared_ptr<HardwareProfileDiscovering> discoverer = makeDefaultDiscoverer();

    static std::shared_ptr<HardwareProfileDiscovering> makeDefaultDiscoverer();
};

// The store's hardware profile: discovered once, shared by every caller that asks while it runs.
// Lives on the main thread.
class HardwareDiscovery : public QObject {
    Q_OBJECT
public:
    explicit HardwareDiscovery(HardwareDependencies dependencies, QObject* parent = nullptr);

    // Absent until the first discovery has finished.
    const std::optional<HardwareProfile>& profile() const { return m_profile; }
    bool isDiscovering() const { return m_discovering; }

    // Discovers the profile unless it is known; a call made while a discovery runs waits for that one.
    QCoro::Task<void> discoverIfNeeded();

    // The advice for the profile (or the unavailable one before discovery), a sample and the history.
    std::vector<HardwareRecommendation>
    recommendations(const SystemSnapshot& snapshot, const std::vector<HealthSample>& history, Date now) const;

Q_SIGNALS:
    void profileChanged();
    void isDiscoveringChanged();
    void discoveryFinished();

private:
    HardwareDependencies m_dependencies;
    std::optional<HardwareProfile> m_profile;
    bool m_discovering = false;
};

} // namespace kestrum
