#pragma once

#include "ApplicationUsage.h"
#include "ResourceCulpritAnalyzer.h"

#include <QObject>
#include <QThreadPool>
#include <memory>
#include <qcoro/qcorotask.h>

namespace kestrum {

class PreferencesStore;

// What the resource analysis needs from the platform; by default nothing can be known, which the
// screens then say. The Linux composition root gives the real providers.
struct ResourceAnalysisDependencies {
    std::shared_ptr<ForegroundApplicationProviding> foregroundApplicationProvider;
    std::shared_ptr<ApplicationUsageReading> applicationUsageReader;

    ResourceAnalysisDependencies();
};

// The consented resource analysis of the running process: the observations pairing each live sample
// with the application in front, and the measured per-application use. Everything lives in this
// process's memory only; withdrawing consent drops it at once. Main thread.
class ResourceActivity : public QObject {
    Q_OBJECT
public:
    static const QString kConsentVersionKey;
    static const QString kEnabledKey;
    static constexpr int kConsentVersion = 1;

    ResourceActivity(ResourceAnalysisDependencies dependencies, PreferencesStore& preferences,
                     QObject* parent = nullptr);
    ~ResourceActivity() override;

    bool isEnabled() const { return m_enabled; }
    // The consent switch: saved with its version; switching off empties every observation and the
    // measured use.
    void setEnabled(bool enabled);
    // Empties what was gathered since launch; the consent stays.
    void clearObservations();
    // Once per live sample: pairs it with the application in front (while consent is on) and starts a
    // reading of the per-application use when none is in flight.
    void record(const SystemSnapshot& snapshot);

    const std::vector<AppResourceObservation>& observations() const { return m_observations; }
    ResourceCulpritAnalysis analysis(double sampleInterval) const;
    BatteryImpactAnalysis batteryImpact(double sampleInterval) const;
    MetricAvailability foregroundAvailability() const;
    const ApplicationUsageReport& applicationUsage() const { return m_usage; }
    // Reads the per-application use now (on a worker thread) and folds it into the table.
    QCoro::Task<void> refreshApplicationUsage();

Q_SIGNALS:
    void enabledChanged();
    void observationsChanged();
    void applicationUsageChanged();

private:
    ResourceAnalysisDependencies m_deps;
    PreferencesStore& m_preferences;
    ResourceCulpritAnalyzer m_analyzer;
    bool m_enabled = false;
    std::vector<AppResourceObservation> m_observations;
    ApplicationUsageAccounting m_accounting;
    ApplicationUsageReport m_usage;
    // Readings made before a consent change are dropped when they arrive.
    quint64 m_generation = 0;
    bool m_reading = false;
    QThreadPool m_readers;
};

} // namespace kestrum
