#include "MenuBarPresentation.h"

#include "HealthAssessmentEngine.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <algorithm>

namespace kestrum {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

MenuBarHealthPresentation presentation(const char* title, const char* image) {
    return {L10n::string(QString::fromUtf8(title)), QLatin1String(image)};
}

} // namespace

MenuBarHealthPresentation MenuBarHealthPresentation::resolve(const SystemSnapshot& snapshot,
                                                             const std::vector<HealthInsight>& insights,
                                                             bool hasMeasurement) {
    if (!hasMeasurement)
        return presentation(TR_MARK("Bilinmiyor"), "questionmark.circle");
    const HealthAssessment assessment = HealthAssessmentEngine::assess(snapshot);
    const HealthLevel a = assessment.level;
    if (a == HealthLevel::critical)
        return presentation(TR_MARK("Kritik"), "exclamationmark.octagon.fill");
    std::optional<HealthLevel> worst;
    for (const HealthInsight& insight : insights) {
        if (!worst || severityRank(insight.level) > severityRank(*worst))
            worst = insight.level;
    }
    if (worst && severityRank(*worst) > severityRank(a)) {
        switch (*worst) {
        case HealthLevel::critical:
            return presentation(TR_MARK("Kritik"), "exclamationmark.octagon.fill");
        case HealthLevel::attention:
            return presentation(TR_MARK("Dikkat"), "exclamationmark.triangle.fill");
        case HealthLevel::normal:
            return presentation(TR_MARK("Normal"), "checkmark.circle.fill");
        case HealthLevel::unavailable:
            break;
        }
    }
    switch (a) {
    case HealthLevel::attention:
        return presentation(TR_MARK("Dikkat"), "exclamationmark.triangle.fill");
    case HealthLevel::unavailable:
        return presentation(TR_MARK("Bilinmiyor"), "questionmark.circle");
    case HealthLevel::normal:
        if (assessment.coverage.evaluatedSignals.empty() || !assessment.coverage.unavailableSignals.empty())
            return presentation(TR_MARK("Kısmi"), "questionmark.circle");
        return presentation(TR_MARK("Normal"), "checkmark.circle.fill");
    case HealthLevel::critical:
        break;
    }
    return presentation(TR_MARK("Kritik"), "exclamationmark.octagon.fill");
}

namespace MenuBarMetricFormatter {

QString metricName(MenuBarPrimaryMetric metric) {
    switch (metric) {
    case MenuBarPrimaryMetric::cpu:
        return tr("CPU");
    case MenuBarPrimaryMetric::memory:
        return tr("RAM");
    case MenuBarPrimaryMetric::battery:
        return tr("Batarya");
    case MenuBarPrimaryMetric::network:
        return tr("Ağ");
    case MenuBarPrimaryMetric::thermal:
        return tr("Termal");
    case MenuBarPrimaryMetric::health:
        break;
    }
    return tr("Sağlık");
}

QString labelText(MenuBarPrimaryMetric metric, const SystemSnapshot& snapshot, bool hasMeasurement,
                  const QString& healthTitle) {
    const QString placeholder = metricName(metric) + QStringLiteral(" —");
    if (!hasMeasurement)
        return placeholder;
    switch (metric) {
    case MenuBarPrimaryMetric::cpu:
        if (!snapshot.cpu.availability.isAvailable())
            return placeholder;
        return metricName(metric) + u' ' + MetricFormatting::percentage(snapshot.cpu.totalUsage, 0);
    case MenuBarPrimaryMetric::memory: {
        const MemoryStats& memory = snapshot.memory;
        if (!memory.availability.isAvailable() || memory.totalBytes == 0)
            return placeholder;
        const double ratio = std::clamp(double(memory.usedBytes) / double(memory.totalBytes), 0.0, 1.0);
        return metricName(metric) + u' ' + MetricFormatting::percentage(ratio, 0);
    }
    case MenuBarPrimaryMetric::battery: {
        const BatteryStats& battery = snapshot.battery;
        if (!battery.availability.isAvailable() || !battery.isPresent || !battery.chargeFraction)
            return placeholder;
        return metricName(metric) + u' ' + MetricFormatting::percentage(battery.chargeFraction, 0);
    }
    case MenuBarPrimaryMetric::network: {
        const NetworkStats& network = snapshot.network;
        if (!network.pathAvailability.isAvailable())
            return placeholder;
        if (!network.isConnected)
            return tr("Ağ yok");
        if (network.trafficAvailability.isAvailable())
            return QStringLiteral("↓") + MetricFormatting::rate(network.downloadBytesPerSecond);
        return tr("Ağ bağlı");
    }
    case MenuBarPrimaryMetric::thermal: {
        const char* word = TR_MARK("Kullanılamıyor");
        switch (snapshot.thermal) {
        case ThermalLevel::nominal:
            word = TR_MARK("Normal");
            break;
        case ThermalLevel::fair:
            word = TR_MARK("Hafif yüksek");
            break;
        case ThermalLevel::serious:
            word = TR_MARK("Ciddi");
            break;
        case ThermalLevel::critical:
            word = TR_MARK("Kritik");
            break;
        case ThermalLevel::unavailable:
            break;
        }
        return metricName(metric) + u' ' + L10n::string(QString::fromUtf8(word));
    }
    case MenuBarPrimaryMetric::health:
        if (healthTitle.isEmpty())
            return placeholder;
        return metricName(metric) + u' ' + healthTitle;
    }
    return placeholder;
}

QString systemImage(MenuBarPrimaryMetric metric, const SystemSnapshot& snapshot,
                    const QString& healthSystemImage) {
    switch (metric) {
    case MenuBarPrimaryMetric::cpu:
        return QStringLiteral("cpu");
    case MenuBarPrimaryMetric::memory:
        return QStringLiteral("memorychip");
    case MenuBarPrimaryMetric::battery:
        return QStringLiteral("battery.75percent");
    case MenuBarPrimaryMetric::network:
        return QStringLiteral("arrow.down.circle");
    case MenuBarPrimaryMetric::thermal:
        switch (snapshot.thermal) {
        case ThermalLevel::nominal:
            return QStringLiteral("checkmark.circle.fill");
        case ThermalLevel::fair:
            return QStringLiteral("thermometer.medium");
        case ThermalLevel::serious:
            return QStringLiteral("exclamationmark.triangle.fill");
        case ThermalLevel::critical:
            return QStringLiteral("flame.fill");
        case ThermalLevel::unavailable:
            break;
        }
        return QStringLiteral("questionmark.circle");
    case MenuBarPrimaryMetric::health:
        break;
    }
    return healthSystemImage.isEmpty() ? QStringLiteral("checkmark.circle") : healthSystemImage;
}

} // namespace MenuBarMetricFormatter

} // namespace kestrum
