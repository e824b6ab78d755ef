#include "OverviewViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/FireAndForget.h"
#include "foundation/Translatable.h"
#include "interpretation/HealthPresentation.h"
#include "interpretation/MenuBarPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <cmath>

namespace kestrum {

OverviewViewModel::OverviewViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_cpu(L10n::string(trText("İşlemci")), 1),
      m_memory(L10n::string(trText("Bellek")), 1), m_download(L10n::string(trText("İndirme")), -1),
      m_battery(L10n::string(trText("Batarya")), 1),
      m_cores({"usage", "usageText", "isBusy", "accessibleName"}) {
    for (auto signal :
         {&SystemMonitorStore::currentSnapshotChanged, &SystemMonitorStore::activeInsightsChanged})
        follow(&store, signal);
    rebuildNow();
}

OverviewViewModel* OverviewViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<OverviewViewModel>(engine);
}

void OverviewViewModel::refresh() {
    fireAndForget(m_store.refresh(AnalyticsTrigger::manualRefresh), "refreshing");
}

void OverviewViewModel::rebuild() {
    using namespace MetricFormatting;
    const SystemSnapshot& s = m_store.currentSnapshot();
    const bool measured = m_store.hasMeasurement();
    const HealthAssessment& a = m_store.currentAssessment();
    const MenuBarHealthPresentation health =
        MenuBarHealthPresentation::resolve(s, m_store.activeInsights(), measured);

    const QString timestamp =
        measured ? L10n::date(s.timestamp, L10n::DateStyle::none, L10n::TimeStyle::standard) : QString();
    const QString subtitle = measured ? L10n::string(trText("Son ölçüm")) + QLatin1Char(' ') + timestamp
                                      : L10n::string(trText("İlk ölçüm bekleniyor"));
    const QString level = measured ? rawValue(a.level) : QStringLiteral("unavailable");
    const QString levelLabel = measured ? HealthPresentation::levelLabel(a.level) : health.title;
    const QString title = measured ? L10n::string(a.title) : L10n::string(trText("İlk ölçüm bekleniyor"));
    const QString reason =
        measured && !a.reasons.empty() ? L10n::localizedFragment(a.reasons.front()) : QString();
    if (subtitle != m_subtitle || level != m_level || levelLabel != m_levelLabel || title != m_title ||
        health.systemImage != m_symbol || reason != m_reason) {
        m_subtitle = subtitle;
        m_level = level;
        m_levelLabel = levelLabel;
        m_title = title;
        m_symbol = health.systemImage;
        m_reason = reason;
        Q_EMIT verdictChanged();
    }

    const std::vector<PresentationGroup> groups = SnapshotPresentation::groups(s);
    m_groups.update(groups);
    const auto& history = m_store.history();
    const MetricGroup* cpu = m_groups.group(QStringLiteral("cpu"));
    const MetricGroup* memory = m_groups.group(QStringLiteral("memory"));
    const MetricGroup* battery = m_groups.group(QStringLiteral("battery"));

    m_cpu.set(cpu->isAvailable() ? cpu->valueOf(L10n::string(trText("Toplam kullanım")))
                                 : L10n::string(trText("Kullanılamıyor")),
              cpu->isAvailable() ? QString() : cpu->note(),
              seriesOf(history, kSparklineLength, SnapshotSeries::cpuUsage));
    m_memory.set(memory->isAvailable() ? memory->valueOf(L10n::string(trText("Kullanım oranı")))
                                       : L10n::string(trText("Kullanılamıyor")),
                 memory->isAvailable()
                     ? memory->valueOf(L10n::string(trText("Kullanılan"))) + QStringLiteral(" / ") +
                           memory->valueOf(L10n::string(trText("Toplam")))
                     : memory->note(),
                 seriesOf(history, kSparklineLength, SnapshotSeries::memoryUsage));
    const bool traffic = s.network.isConnected && s.network.trafficAvailability.isAvailable();
    // Without traffic the reason stands in for the upload line; a connection lost says it has none.
    const QString trafficNote =
        traffic ? QString() : L10n::localizedFragment(s.network.trafficAvailability.reason);
    m_download.set(traffic ? rate(s.network.downloadBytesPerSecond) : unavailableText(),
                   !trafficNote.isEmpty()
                       ? trafficNote
                       : L10n::string(trText("Yükleme")) + QLatin1Char(' ') +
                             (traffic ? rate(s.network.uploadBytesPerSecond) : unavailableText()),
                   seriesOf(history, kSparklineLength, SnapshotSeries::downloadRate));
    m_battery.set(s.battery.isPresent ? percentage(s.battery.chargeFraction, 0)
                                      : L10n::string(trText("Batarya yok")),
                  s.battery.isPresent ? battery->valueOf(L10n::string(trText("Durum"))) : battery->note(),
                  seriesOf(history, kSparklineLength, SnapshotSeries::batteryCharge));

    std::vector<KeyedListModel::Row> cores;
    if (s.cpu.availability.isAvailable()) {
        for (size_t i = 0; i < s.cpu.perCoreUsage.size(); ++i) {
            const double usage = s.cpu.perCoreUsage[i];
            const QString text = QString::number(std::lround(usage * 100));
            cores.push_back({QString::number(i),
                             {usage, text, usage >= kBusyCore,
                              L10n::string(trTemplate("Çekirdek \\(index)", {QString::number(i + 1)})) +
                                  QStringLiteral(": ") + percentage(usage, 0)}});
        }
    }
    m_cores.update(std::move(cores));
}

} // namespace kestrum
