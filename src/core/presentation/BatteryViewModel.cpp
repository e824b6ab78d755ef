#include "BatteryViewModel.h"

#include "ViewModelInstances.h"
#include "culprits/ResourceCulpritPresentation.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

BatteryViewModel::BatteryViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_figure(L10n::string(trText("Batarya")), 1),
      m_group(QStringLiteral("battery")), m_impact({"application", "discharge", "measurements"}) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    follow(&store, &SystemMonitorStore::resourceAnalysisEnabledChanged);
    follow(&store, &SystemMonitorStore::resourceActivityObservationsChanged);
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
    bool dirty = present != m_isPresent || charge != m_charge || statusLine != m_statusLine;
    m_isPresent = present;
    m_charge = charge;
    m_statusLine = statusLine;
    dirty = rebuildImpact() || dirty;
    if (dirty)
        Q_EMIT changed();
}

bool BatteryViewModel::rebuildImpact() {
    namespace P = ResourceCulpritPresentation;
    const bool shows = m_isPresent && m_store.resourceAnalysisEnabled();
    P::BatterySection section;
    std::vector<KeyedListModel::Row> rows;
    if (shows) {
        const BatteryImpactAnalysis analysis = m_store.batteryImpactAnalysis();
        section = P::batterySection(analysis);
        for (size_t i = 0; i < section.rows.size() && i < analysis.applications.size(); ++i) {
            const P::BatteryRow& row = section.rows[i];
            rows.push_back({analysis.applications[i].resourceSummary.id(),
                            {row.application, L10n::localizedFragment(row.averageDischarge),
                             L10n::localizedFragment(row.measurements)}});
        }
    }
    const auto shown = [](const QString& text) {
        return text.isEmpty() ? QString() : L10n::localizedFragment(text);
    };
    const QStringList columns =
        shows ? QStringList{L10n::string(trText("Uygulama")), L10n::string(trText("Ort. sistem deşarjı")),
                            L10n::string(trText("Ölçüm"))}
              : QStringList();
    const bool dirty = shows != m_showsImpact || shown(section.title) != m_impactTitle ||
                       shown(section.caveat) != m_impactCaveat || shown(section.emptyText) != m_impactEmpty ||
                       columns != m_impactColumns;
    m_showsImpact = shows;
    m_impactTitle = shown(section.title);
    m_impactCaveat = shown(section.caveat);
    m_impactEmpty = shown(section.emptyText);
    m_impactColumns = columns;
    m_impact.update(std::move(rows));
    return dirty;
}

} // namespace kestrum
