#include "BatteryViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

BatteryViewModel::BatteryViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_figure(L10n::string(trText("Batarya")), 1),
      m_group(QStringLiteral("battery")) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    rebuildNow();
}

BatteryViewModel* BatteryViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<BatteryViewModel>(engine);
}

void BatteryViewModel::rebuild() {
    const SystemSnapshot& s = m_store.currentSnapshot();
    for (const PresentationGroup& g : SnapshotPresentation::groups(s)) {
        if (g.key == m_group.key())
            m_group.set(g);
    }
    // The state, then the time left under its own label.
    const QString state = m_group.valueOf(L10n::string(trText("Durum")));
    const QString timeLabel =
        s.battery.isCharging ? L10n::string(trText("Dolmasına kalan")) : L10n::string(trText("Kalan süre"));
    const QString statusLine = state.isEmpty() ? QString()
                                               : state + QStringLiteral(" · ") + timeLabel +
                                                     QStringLiteral(": ") + m_group.valueOf(timeLabel);
    const bool present = s.battery.isPresent;
    const std::optional<double> charge = present && s.battery.chargeFraction
                                             ? std::optional(std::clamp(*s.battery.chargeFraction, 0.0, 1.0))
                                             : std::nullopt;
    m_figure.set(MetricFormatting::percentage(s.battery.chargeFraction, 0), statusLine,
                 seriesOf(m_store.history(), kSparklineLength, SnapshotSeries::batteryCharge));
    if (present != m_isPresent || charge != m_charge || statusLine != m_statusLine) {
        m_isPresent = present;
        m_charge = charge;
        m_statusLine = statusLine;
        Q_EMIT changed();
    }
}

} // namespace kestrum
