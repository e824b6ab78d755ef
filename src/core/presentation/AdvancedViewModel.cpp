#include "AdvancedViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "measurement/SnapshotPresentation.h"

namespace kestrum {

AdvancedViewModel::AdvancedViewModel(SystemMonitorStore& store, AdvancedFanControlStore& fanControl,
                                     QObject* parent)
    : SectionViewModel(parent), m_store(store), m_fanControl(fanControl), m_fans(QStringLiteral("fans")),
      m_temperatures(QStringLiteral("temperatures")),
      m_helperFans({"fan", "speed", "target", "range", "mode"}) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    // The panel's own state is small and changes on user actions and heartbeats: shown at once.
    connect(&fanControl, &AdvancedFanControlStore::changed, this, [this] {
        rebuildHelperFans();
        Q_EMIT changed();
    });
    rebuildNow();
    rebuildHelperFans();
}

AdvancedViewModel* AdvancedViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<AdvancedViewModel>(engine);
}

QString AdvancedViewModel::remainingText() const {
    const auto remaining = m_fanControl.remainingSeconds();
    if (!remaining)
        return {};
    return L10n::string(
        trTemplate("Kalan süre: \\(duration)", {MetricFormatting::duration(double(*remaining))}));
}

QStringList AdvancedViewModel::helperFanColumns() const {
    return {L10n::string(trText("Fan")), L10n::string(trText("Hız")), L10n::string(trText("Hedef")),
            L10n::string(trText("Aralık")), L10n::string(trText("Yönetim"))};
}

void AdvancedViewModel::rebuild() {
    for (const PresentationGroup& group : SnapshotPresentation::groups(m_store.currentSnapshot())) {
        if (group.key == m_fans.key())
            m_fans.set(group);
        else if (group.key == m_temperatures.key())
            m_temperatures.set(group);
    }
}

void AdvancedViewModel::rebuildHelperFans() {
    const auto rpm = [](const std::optional<double>& value) {
        return value ? MetricFormatting::number(*value, 0) + QStringLiteral(" rpm")
                     : MetricFormatting::unavailableText();
    };
    std::vector<KeyedListModel::Row> rows;
    for (const AdvancedFanTelemetryReading& fan : m_fanControl.fans()) {
        const QString range = fan.minimumRPM && fan.maximumRPM
                                  ? rpm(fan.minimumRPM) + QStringLiteral(" – ") + rpm(fan.maximumRPM)
                                  : MetricFormatting::unavailableText();
        rows.push_back(
            {QString::number(fan.index),
             {L10n::string(trTemplate("Fan \\(index)", {QString::number(fan.index + 1)})), rpm(fan.actualRPM),
              rpm(fan.targetRPM), range, L10n::string(fan.isManual ? trText("elle") : trText("otomatik"))}});
    }
    m_helperFans.update(std::move(rows));
}

} // namespace kestrum
