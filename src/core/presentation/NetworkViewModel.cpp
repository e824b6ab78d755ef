#include "NetworkViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

namespace kestrum {

NetworkViewModel::NetworkViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_download(L10n::string(trText("İndirme")), -1),
      m_upload(L10n::string(trText("Yükleme")), -1), m_group(QStringLiteral("network")) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    rebuildNow();
}

NetworkViewModel* NetworkViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<NetworkViewModel>(engine);
}

void NetworkViewModel::rebuild() {
    using namespace MetricFormatting;
    const SystemSnapshot& s = m_store.currentSnapshot();
    for (const PresentationGroup& g : SnapshotPresentation::groups(s)) {
        if (g.key == m_group.key())
            m_group.set(g);
    }
    const bool traffic = s.network.isConnected && s.network.trafficAvailability.isAvailable();
    const QString note = traffic ? QString() : L10n::localizedFragment(s.network.trafficAvailability.reason);
    m_download.set(traffic ? rate(s.network.downloadBytesPerSecond) : unavailableText(), note,
                   seriesOf(m_store.history(), kSparklineLength, SnapshotSeries::downloadRate));
    m_upload.set(traffic ? rate(s.network.uploadBytesPerSecond) : unavailableText(), note,
                 seriesOf(m_store.history(), kSparklineLength, SnapshotSeries::uploadRate));
}

} // namespace kestrum
