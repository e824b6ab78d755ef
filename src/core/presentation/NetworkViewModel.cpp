#include "NetworkViewModel.h"

#include "ViewModelInstances.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"
#include "network/NetworkQualityResult.h"
#include "network/NetworkSpeedTestResult.h"

namespace kestrum {

namespace {

QString localized(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString milliseconds(double value) {
    return MetricFormatting::number(value, value < 10 ? 1 : 0) + QStringLiteral(" ms");
}

QString optionalMilliseconds(const std::optional<double>& value) {
    return value ? milliseconds(*value) : MetricFormatting::unavailableText();
}

QString megabits(double value) {
    return MetricFormatting::number(value, value < 100 ? 1 : 0) + QStringLiteral(" Mbit/s");
}

QString megabytes(int64_t bytes) {
    return MetricFormatting::number(double(bytes) / 1e6, 1) + QStringLiteral(" MB");
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

PresentationGroup qualityGroup(const NetworkQualityResult& result) {
    return {QStringLiteral("networkQuality"),
            localized("Gecikme ve Kararlılık Testi") + QStringLiteral(" · ") + dateTimeText(result.timestamp),
            true,
            {},
            {{localized("Sonuç"), L10n::string(qualityLevelTitle(result.quality))},
             {localized("DNS çözümü"), milliseconds(result.dnsResolutionMilliseconds)},
             {localized("Ortanca yanıt"), milliseconds(result.medianResponseMilliseconds)},
             {localized("Değişkenlik (jitter)"), milliseconds(result.jitterMilliseconds)},
             {localized("Başarılı deneme"),
              QStringLiteral("%1/%2").arg(result.successfulProbes).arg(result.attemptedProbes)}}};
}

PresentationGroup speedGroup(const NetworkSpeedTestResult& result) {
    PresentationGroup group{
        QStringLiteral("networkSpeed"),
        localized("İnternet Hız Testi") + QStringLiteral(" · ") + dateTimeText(result.timestamp),
        true,
        {},
        {{localized("İndirme"), megabits(result.downloadMegabitsPerSecond)},
         {localized("Yükleme"), megabits(result.uploadMegabitsPerSecond)},
         {localized("Boşta gecikme"), optionalMilliseconds(result.idleLatencyMilliseconds)},
         {localized("İndirme sırasında gecikme"),
          optionalMilliseconds(result.downloadLoadedLatencyMilliseconds)},
         {localized("Yükleme sırasında gecikme"),
          optionalMilliseconds(result.uploadLoadedLatencyMilliseconds)},
         {localized("Kullanılan veri"), megabytes(result.transferredBytes)},
         {localized("Süre"), MetricFormatting::duration(result.durationSeconds)}}};
    if (result.parallelStreamCount && result.measurementSampleCount) {
        group.rows.push_back({localized("Ölçüm yapısı"),
                              L10n::string(trTemplate("\\(streams) paralel akış · \\(rounds) kararlı tur",
                                                      {QString::number(*result.parallelStreamCount),
                                                       QString::number(*result.measurementSampleCount)}))});
    } else {
        group.rows.push_back({localized("Ölçüm yapısı"), localized("Tek bağlantı · eski sonuç")});
    }
    if (result.confidence) {
        const QString confidence =
            *result.confidence == NetworkSpeedTestConfidence::high   ? localized("Yüksek")
            : *result.confidence == NetworkSpeedTestConfidence::good ? localized("İyi")
                                                                     : localized("Tahmini");
        group.rows.push_back({localized("Güven"), confidence});
    }
    group.rows.push_back({localized("Sağlayıcı"), result.providerName});
    return group;
}

QString speedModeText(NetworkSpeedTestMode mode) {
    return L10n::string(modeTitle(mode)) + QStringLiteral(": ") + L10n::string(modeDescription(mode));
}

} // namespace

NetworkViewModel::NetworkViewModel(SystemMonitorStore& store, QObject* parent)
    : SectionViewModel(parent), m_store(store), m_download(L10n::string(trText("İndirme")), -1),
      m_upload(L10n::string(trText("Yükleme")), -1), m_group(QStringLiteral("network")),
      m_quality(store, UserOperation::networkQuality), m_speed(store, UserOperation::networkSpeed),
      m_qualityResult(QStringLiteral("networkQuality")), m_speedResult(QStringLiteral("networkSpeed")) {
    follow(&store, &SystemMonitorStore::currentSnapshotChanged);
    follow(&store, &SystemMonitorStore::resultsChanged);
    rebuildNow();
}

NetworkViewModel* NetworkViewModel::create(QQmlEngine* engine, QJSEngine*) {
    return ViewModelInstances::create<NetworkViewModel>(engine);
}

bool NetworkViewModel::startQualityTest() {
    return m_store.startNetworkQualityTest(QStringLiteral("network"));
}

bool NetworkViewModel::startSpeedTest(bool comprehensive) {
    return m_store.startNetworkSpeedTest(comprehensive ? NetworkSpeedTestMode::comprehensive
                                                       : NetworkSpeedTestMode::quick,
                                         QStringLiteral("network"));
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

    const auto& quality = m_store.latestNetworkQualityResult();
    const auto& speed = m_store.latestNetworkSpeedResult();
    if (quality)
        m_qualityResult.set(qualityGroup(*quality));
    if (speed)
        m_speedResult.set(speedGroup(*speed));
    const QString quickText = speedModeText(NetworkSpeedTestMode::quick);
    const QString comprehensiveText = speedModeText(NetworkSpeedTestMode::comprehensive);
    if (quality.has_value() == m_hasQualityResult && speed.has_value() == m_hasSpeedResult &&
        quickText == m_quickSpeedText && comprehensiveText == m_comprehensiveSpeedText)
        return;
    m_hasQualityResult = quality.has_value();
    m_hasSpeedResult = speed.has_value();
    m_quickSpeedText = quickText;
    m_comprehensiveSpeedText = comprehensiveText;
    Q_EMIT testsChanged();
}

} // namespace kestrum
