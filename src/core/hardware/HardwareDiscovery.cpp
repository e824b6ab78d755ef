#include "HardwareDiscovery.h"

#include "DefaultHardwareProfileDiscoverer.h"
#include "HardwareRecommendationEngine.h"
#include "foundation/Logging.h"

#include <QPointer>
#include <qcoro/qcorosignal.h>

namespace kestrum {

std::shared_ptr<HardwareProfileDiscovering> HardwareDependencies::makeDefaultDiscoverer() {
    return std::make_shared<DefaultHardwareProfileDiscoverer>();
}

HardwareDiscovery::HardwareDiscovery(HardwareDependencies dependencies, QObject* parent)
    : QObject(parent), m_dependencies(std::move(dependencies)) {
    if (!m_dependencies.discoverer)
        m_dependencies.discoverer = HardwareDependencies::makeDefaultDiscoverer();
}

QCoro::Task<void> HardwareDiscovery::discoverIfNeeded() {
    if (m_profile)
        co_return;
    if (m_discovering) {
        co_await qCoro(this, &HardwareDiscovery::discoveryFinished);
        co_return;
    }
    m_discovering = true;
    Q_EMIT isDiscoveringChanged();
    QPointer<HardwareDiscovery> self(this);
    const std::shared_ptr<HardwareProfileDiscovering> discoverer = m_dependencies.discoverer;
    std::optional<HardwareProfile> discovered;
    try {
        discovered = co_await discoverer->discover();
    } catch (const std::exception& error) {
        // Discovery is not supposed to fail; should it, the profile stays unknown and a later call retries.
        qCWarning(lcMonitor) << "hardware discovery failed:" << error.what();
    }
    if (!self)
        co_return;
    m_discovering = false;
    if (discovered) {
        m_profile = std::move(discovered);
        Q_EMIT profileChanged();
    }
    Q_EMIT isDiscoveringChanged();
    Q_EMIT discoveryFinished();
}

std::vector<HardwareRecommendation>
HardwareDiscovery::recommendations(const SystemSnapshot& snapshot, const std::vector<HealthSample>& history,
                                   Date now) const {
    return HardwareRecommendationEngine::recommendations(m_profile.value_or(HardwareProfile::unavailable()),
                                                         snapshot, history, now);
}

} // namespace kestrum
