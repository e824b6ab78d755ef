// The network section's tests: their operations and their latest stored results.

#include "PresentationFixtures.h"
#include "measurement/MetricFormatting.h"
#include "presentation/NetworkViewModel.h"

#include <gtest/gtest.h>

using namespace kestrum;

namespace {

NetworkSpeedTestResult speedResult(Date at) {
    NetworkSpeedTestResult r;
    r.id = newUuid();
    r.timestamp = at;
    r.downloadMegabitsPerSecond = 243.4;
    r.uploadMegabitsPerSecond = 38.24;
    r.transferredBytes = 120'000'000;
    r.durationSeconds = 11;
    r.providerName = QStringLiteral("Cloudflare");
    r.mode = NetworkSpeedTestMode::quick;
    r.idleLatencyMilliseconds = 8.44;
    return r;
}

} // namespace

TEST(NetworkViewModel, LatestTestResultsAndNoneBefore) {
    test::ScopedLanguage turkish(false);
    {
        test::MeasuredStore m;
        NetworkViewModel model(m.store);
        EXPECT_FALSE(model.hasQualityResult());
        EXPECT_FALSE(model.hasSpeedResult());
        EXPECT_EQ(model.speedResult()->rows()->count(), 0);
        EXPECT_TRUE(model.quickSpeedText().startsWith(QStringLiteral("Hızlı: 16 küçük paralel akış")))
            << model.quickSpeedText().toStdString();
    }
    test::MeasuredStore m;
    NetworkQualityResult quality;
    quality.id = newUuid();
    quality.timestamp = m.now;
    quality.quality = NetworkQualityLevel::good;
    quality.dnsResolutionMilliseconds = 4.24;
    quality.medianResponseMilliseconds = 23.6;
    quality.jitterMilliseconds = 2;
    quality.attemptedProbes = 12;
    quality.successfulProbes = 11;
    m.repository->stored.latestNetworkQualityResult = quality;
    m.repository->stored.latestNetworkSpeedResult = speedResult(m.now);
    QCoro::waitFor(m.store.prepareArchive());
    NetworkViewModel model(m.store);

    ASSERT_TRUE(model.hasQualityResult());
    MetricGroup* q = model.qualityResult();
    EXPECT_TRUE(q->title().startsWith(QStringLiteral("Gecikme ve Kararlılık Testi · ")));
    EXPECT_EQ(q->valueOf(QStringLiteral("Sonuç")), QStringLiteral("İyi"));
    EXPECT_EQ(q->valueOf(QStringLiteral("DNS çözümü")), QStringLiteral("4,2 ms"));
    EXPECT_EQ(q->valueOf(QStringLiteral("Ortanca yanıt")), QStringLiteral("24 ms"));
    EXPECT_EQ(q->valueOf(QStringLiteral("Başarılı deneme")), QStringLiteral("11/12"));

    ASSERT_TRUE(model.hasSpeedResult());
    MetricGroup* s = model.speedResult();
    EXPECT_EQ(s->valueOf(QStringLiteral("İndirme")), QStringLiteral("243 Mbit/s"));
    EXPECT_EQ(s->valueOf(QStringLiteral("Yükleme")), QStringLiteral("38,2 Mbit/s"));
    EXPECT_EQ(s->valueOf(QStringLiteral("Boşta gecikme")), QStringLiteral("8,4 ms"));
    EXPECT_EQ(s->valueOf(QStringLiteral("İndirme sırasında gecikme")), MetricFormatting::unavailableText())
        << "a latency not measured is missing, not zero";
    EXPECT_EQ(s->valueOf(QStringLiteral("Ölçüm yapısı")), QStringLiteral("Tek bağlantı · eski sonuç"));
    EXPECT_EQ(s->valueOf(QStringLiteral("Güven")), QString()) << "no confidence row without one";
    EXPECT_EQ(s->valueOf(QStringLiteral("Sağlayıcı")), QStringLiteral("Cloudflare"));
}

TEST(NetworkViewModel, TestsAreRefusedOfflineWithTheStoresText) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    SystemSnapshot offline = test::measuredSnapshot();
    offline.network.isConnected = false;
    m.sample(offline);
    NetworkViewModel model(m.store);
    for (OperationViewModel* operation : {model.quality(), model.speed()}) {
        EXPECT_FALSE(operation->canStart());
        EXPECT_EQ(operation->refusal(), QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
    }
    EXPECT_FALSE(model.startQualityTest());
    EXPECT_FALSE(model.startSpeedTest(false));
    EXPECT_FALSE(model.quality()->isRunning());
    EXPECT_EQ(model.speed()->error(), QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
}
