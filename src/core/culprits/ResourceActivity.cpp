#include "ResourceActivity.h"

#include "foundation/FireAndForget.h"
#include "foundation/PreferencesStore.h"
#include "foundation/Translatable.h"

#include <QPointer>
#include <QtConcurrent>
#include <qcoro/qcorofuture.h>

namespace kestrum {

const QString ResourceActivity::kConsentVersionKey = QStringLiteral("privacy.resourceAnalysisConsentVersion");
const QString ResourceActivity::kEnabledKey = QStringLiteral("privacy.resourceAnalysisEnabled");

ResourceAnalysisDependencies::ResourceAnalysisDependencies()
    : foregroundApplicationProvider(std::make_shared<UnavailableForegroundApplicationProvider>(
          trText("Bu sistemde ön plandaki uygulamayı bildiren bir kaynak yok."))),
      applicationUsageReader(std::make_shared<UnavailableApplicationUsageReader>(
          trText("Bu sistemde uygulama başına kullanım ölçülemiyor."))) {}

ResourceActivity::ResourceActivity(ResourceAnalysisDependencies dependencies, PreferencesStore& preferences,
                                   QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)), m_preferences(preferences) {
    if (!m_deps.foregroundApplicationProvider)
        m_deps.foregroundApplicationProvider = ResourceAnalysisDependencies().foregroundApplicationProvider;
    if (!m_deps.applicationUsageReader)
        m_deps.applicationUsageReader = ResourceAnalysisDependencies().applicationUsageReader;
    m_readers.setMaxThreadCount(1);
    // A consent given under another version of the explanation does not count.
    if (m_preferences.numberValue(kConsentVersionKey) == static_cast<double>(kConsentVersion))
        m_enabled = m_preferences.boolValue(kEnabledKey).value_or(false);
    m_usage.availability = MetricAvailability::unavailable({});
}

ResourceActivity::~ResourceActivity() {
    m_readers.waitForDone();
}

void ResourceActivity::setEnabled(bool enabled) {
    m_enabled = enabled;
    m_preferences.setValue(kConsentVersionKey, static_cast<double>(kConsentVersion));
    m_preferences.setValue(kEnabledKey, enabled);
    if (!enabled) {
        ++m_generation;
        m_accounting.reset();
        m_usage = ApplicationUsageReport{};
        Q_EMIT applicationUsageChanged();
        clearObservations();
    }
    Q_EMIT enabledChanged();
}

void ResourceActivity::clearObservations() {
    if (m_observations.empty())
        return;
    std::vector<AppResourceObservation>().swap(m_observations); // gives the memory back as well
    Q_EMIT observationsChanged();
}

void ResourceActivity::record(const SystemSnapshot& snapshot) {
    if (!m_enabled)
        return;
    if (!m_reading)
        fireAndForget(refreshApplicationUsage(), "application usage reading");
    const auto observation = ResourceCulpritAnalyzer::observation(
        snapshot, m_deps.foregroundApplicationProvider->currentApplication());
    if (!observation)
        return;
    if (m_analyzer.appendCompacting(m_observations, *observation, snapshot.timestamp))
        Q_EMIT observationsChanged();
}

ResourceCulpritAnalysis ResourceActivity::analysis(double sampleInterval) const {
    return ResourceCulpritAnalyzer::analyze(m_observations, sampleInterval);
}

BatteryImpactAnalysis ResourceActivity::batteryImpact(double sampleInterval) const {
    return BatteryImpactAnalyzer::analyze(m_observations, sampleInterval);
}

MetricAvailability ResourceActivity::foregroundAvailability() const {
    return m_deps.foregroundApplicationProvider->availability();
}

QCoro::Task<void> ResourceActivity::refreshApplicationUsage() {
    QPointer<ResourceActivity> self(this);
    if (!m_enabled || m_reading)
        co_return;
    m_reading = true;
    const quint64 generation = m_generation;
    std::shared_ptr<ApplicationUsageReading> reader = m_deps.applicationUsageReader;
    // Named, not temporaries inside the co_await expression: this compiler destroys such temporaries
    // twice (here the lambda's copy of the reader, freeing it under the next reading).
    const auto readNow = [reader] { return reader->read(); };
    QFuture<AppSliceReading> pending = QtConcurrent::run(&m_readers, readNow);
    const AppSliceReading reading = co_await pending;
    if (!self)
        co_return;
    m_reading = false;
    if (generation != m_generation || !m_enabled)
        co_return;
    m_usage = m_accounting.update(reading);
    Q_EMIT applicationUsageChanged();
}

} // namespace kestrum
