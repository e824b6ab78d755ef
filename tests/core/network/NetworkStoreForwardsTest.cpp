// The store's two network forwards, end to end against the local HTTPS server: refusals, results committed
// and saved, failures and cancellation storing nothing.

#include "LocalHttpsServer.h"
#include "core/monitor/StoreTestFixture.h"
#include "network/CurlNetworkQualityTester.h"
#include "network/CurlNetworkSpeedTester.h"
#include "network/NetworkSpeedTestPlan.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;
using Mode = LocalHttpsServer::Mode;

namespace {

// Timeouts far beyond what a loopback answer takes, even under a sanitizer on a busy machine.
NetworkTestDependencies testersFor(const LocalHttpsServer& server, double timeout = 30,
                                   const QString& qualityScheme = QStringLiteral("https")) {
    NetworkTestDependencies testers;
    CurlNetworkQualityTester::Options quality;
    quality.caBundleFile = server.caFile();
    quality.requestTimeoutSeconds = timeout;
    quality.resourceTimeoutSeconds = timeout;
    testers.qualityTester = std::make_shared<CurlNetworkQualityTester>(
        QUrl(QStringLiteral("%1://127.0.0.1:%2/library/test/success.html")
                 .arg(qualityScheme)
                 .arg(server.port())),
        quality);
    CurlNetworkSpeedTester::Options speed;
    speed.caBundleFile = server.caFile();
    speed.requestTimeoutSeconds = timeout;
    speed.resourceTimeoutSeconds = timeout;
    speed.sleeper = [](double, std::stop_token stop) -> QCoro::Task<void> {
        if (stop.stop_requested())
            throw CancellationError();
        co_return;
    };
    testers.speedTester =
        std::make_shared<CurlNetworkSpeedTester>(QUrl(server.baseUrl() + QStringLiteral("/__down")),
                                                 QUrl(server.baseUrl() + QStringLiteral("/__up")), speed);
    return testers;
}

NetworkQualityResult earlierQuality() {
    NetworkQualityResult r;
    r.id = newUuid();
    r.timestamp = Date{700'000'000};
    r.quality = NetworkQualityLevel::fair;
    r.dnsResolutionMilliseconds = 12;
    r.medianResponseMilliseconds = 210;
    r.jitterMilliseconds = 30;
    r.attemptedProbes = 5;
    r.successfulProbes = 4;
    return r;
}

NetworkSpeedTestResult earlierSpeed() {
    NetworkSpeedTestResult r;
    r.id = newUuid();
    r.timestamp = Date{700'000'000};
    r.downloadMegabitsPerSecond = 48;
    r.uploadMegabitsPerSecond = 9;
    r.transferredBytes = 60'000'000;
    r.durationSeconds = 11;
    r.providerName = QStringLiteral("Cloudflare");
    return r;
}

class NetworkForwards : public StoreFixture {
protected:
    LocalHttpsServer server;

    SystemMonitorStore& ready(NetworkTestDependencies testers) {
        networkTests = std::move(testers);
        make();
        QCoro::waitFor(store->prepareArchive());
        refreshNow();
        return *store;
    }
    bool finished(UserOperation operation, int timeoutMs = 60000) {
        return spinUntil([&] { return !store->isRunning(operation); }, timeoutMs);
    }
};

} // namespace

TEST_F(NetworkForwards, ResultsAreCommittedAndSaved) {
    SystemMonitorStore& s = ready(testersFor(server));

    ASSERT_TRUE(s.startNetworkQualityTest(QStringLiteral("test")));
    EXPECT_TRUE(s.isNetworkQualityTestRunning());
    ASSERT_TRUE(s.progress(UserOperation::networkQuality));
    EXPECT_EQ(s.progress(UserOperation::networkQuality)->phase,
              QStringLiteral("Ağ gecikmesi ve kararlılığı ölçülüyor"));
    ASSERT_TRUE(finished(UserOperation::networkQuality));
    EXPECT_EQ(s.networkQualityTestError(), QString());
    ASSERT_TRUE(s.latestNetworkQualityResult());
    EXPECT_EQ(s.latestNetworkQualityResult()->attemptedProbes, 5);
    EXPECT_EQ(repository->stored.latestNetworkQualityResult, s.latestNetworkQualityResult()) << "saved";

    // The live line's detail travels with the frame's progress: both directions, as steps 1 and 2 of 2.
    std::set<int> steps;
    QObject::connect(&s, &SystemMonitorStore::operationsChanged, &s, [&] {
        const auto& progress = s.progress(UserOperation::networkSpeed);
        if (progress && std::any_cast<NetworkSpeedTestProgress>(&progress->detail) &&
            progress->stepCount == 2)
            steps.insert(progress->step);
    });
    ASSERT_TRUE(s.startNetworkSpeedTest(NetworkSpeedTestMode::quick, QStringLiteral("test")));
    ASSERT_TRUE(finished(UserOperation::networkSpeed));
    EXPECT_EQ(s.networkSpeedTestError(), QString());
    EXPECT_EQ(steps, (std::set<int>{1, 2}));
    const auto& speed = s.latestNetworkSpeedResult();
    ASSERT_TRUE(speed);
    EXPECT_EQ(speed->mode, NetworkSpeedTestMode::quick);
    const auto plan = NetworkSpeedTestPlan::make(NetworkSpeedTestMode::quick);
    EXPECT_LE(speed->transferredBytes, plan.transferBudgetBytes.download + plan.transferBudgetBytes.upload +
                                           kNetworkSpeedWarmupAccountedBytes);
    EXPECT_EQ(repository->stored.latestNetworkSpeedResult, speed) << "saved";
    EXPECT_EQ(repository->stored.latestNetworkQualityResult, s.latestNetworkQualityResult()) << "kept";
}

TEST_F(NetworkForwards, RefusalsConflictsAndCancellationStoreNothing) {
    // Without a connected network neither test starts, and nothing is sent.
    sampler->next.network = NetworkStats::disconnected();
    SystemMonitorStore& s = ready(testersFor(server));
    EXPECT_FALSE(s.startNetworkQualityTest(QStringLiteral("test")));
    EXPECT_EQ(s.networkQualityTestError(),
              QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
    EXPECT_FALSE(s.startNetworkSpeedTest(NetworkSpeedTestMode::quick, QStringLiteral("test")));
    EXPECT_EQ(s.networkSpeedTestError(), QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
    EXPECT_EQ(server.requestCount(), 0);

    sampler->next.network = healthySnapshot().network;
    refreshNow();
    server.setMode(Mode::stall);
    const int savesBefore = repository->saves;
    struct Case {
        UserOperation running;
        UserOperation refused;
        const char* conflict;
        const char* cancelled;
    };
    const Case cases[] = {
        {UserOperation::networkQuality, UserOperation::networkSpeed,
         "Ağ kalite testi çalışırken hız testi başlatılamaz.", "Ağ kalite testi iptal edildi."},
        {UserOperation::networkSpeed, UserOperation::networkQuality,
         "İnternet hız testi çalışırken ağ testi başlatılamaz.", "İnternet hız testi iptal edildi."},
    };
    const auto start = [&s](UserOperation operation) {
        return operation == UserOperation::networkQuality
                   ? s.startNetworkQualityTest(QStringLiteral("test"))
                   : s.startNetworkSpeedTest(NetworkSpeedTestMode::quick, QStringLiteral("test"));
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cancelled);
        const int requestsBefore = server.requestCount();
        ASSERT_TRUE(start(c.running));
        ASSERT_TRUE(spinUntil([&] { return server.requestCount() > requestsBefore; }));
        EXPECT_FALSE(start(c.refused));
        EXPECT_EQ(s.operationError(c.refused), QString::fromUtf8(c.conflict));
        EXPECT_FALSE(start(c.running)) << "already running";
        EXPECT_EQ(s.operationError(c.running), QString()) << "a second start leaves the running test alone";

        QElapsedTimer timer;
        timer.start();
        s.cancelOperation(c.running);
        ASSERT_TRUE(finished(c.running, 5000));
        EXPECT_LT(timer.elapsed(), 1000) << "a stalled transfer does not hold the cancellation";
        EXPECT_EQ(s.operationError(c.running), QString::fromUtf8(c.cancelled));
    }
    EXPECT_FALSE(s.latestNetworkQualityResult());
    EXPECT_FALSE(s.latestNetworkSpeedResult());
    EXPECT_EQ(repository->saves, savesBefore) << "a cancelled test saves nothing";
}

TEST_F(NetworkForwards, FailuresShowTheTestsTextAndKeepTheEarlierResult) {
    struct Case {
        const char* name;
        UserOperation operation;
        Mode mode;
        int status;
        int failFirst; // > 0: only requests failFirst … failFirst + 2 answer `status`
        const char* expected;
        QString qualityScheme = QStringLiteral("https");
    };
    const Case cases[] = {
        {"probes answered 404", UserOperation::networkQuality, Mode::status, 404, 0,
         "Güvenli internet bağlantısı doğrulanamadı."},
        {"an http page", UserOperation::networkQuality, Mode::normal, 0, 0, "Ağ testi adresi hazırlanamadı.",
         QStringLiteral("http")},
        {"server error", UserOperation::networkSpeed, Mode::status, 500, 0,
         "İndirme hızı ölçülemedi. Ağ bağlantısını kontrol edip yeniden deneyin."},
        {"rate limited", UserOperation::networkSpeed, Mode::status, 429, 0,
         "Hız testi sağlayıcısı isteği geçici olarak sınırladı. Kısa bir süre sonra yeniden deneyin."},
        {"closed mid-body", UserOperation::networkSpeed, Mode::closeMidBody, 0, 0,
         "İndirme hızı ölçülemedi. Ağ bağlantısını kontrol edip yeniden deneyin."},
        // Request 1 is the download warm-up; 2 to 4 are the three attempts of the upload warm-up.
        {"upload refused", UserOperation::networkSpeed, Mode::normal, 500, 2,
         "Yükleme hızı ölçülemedi. Ağ bağlantısını kontrol edip yeniden deneyin."},
    };
    const NetworkQualityResult quality = earlierQuality();
    const NetworkSpeedTestResult speed = earlierSpeed();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.setMode(c.mode, c.status);
        server.failRequests(c.failFirst > 0 ? c.status : 0, c.failFirst, 3);
        repository->stored = HealthArchive{};
        repository->stored.latestNetworkQualityResult = quality;
        repository->stored.latestNetworkSpeedResult = speed;
        SystemMonitorStore& s = ready(testersFor(server, 30, c.qualityScheme));
        const int savesBefore = repository->saves;
        ASSERT_TRUE(c.operation == UserOperation::networkQuality
                        ? s.startNetworkQualityTest(QStringLiteral("test"))
                        : s.startNetworkSpeedTest(NetworkSpeedTestMode::quick, QStringLiteral("test")));
        ASSERT_TRUE(finished(c.operation));
        EXPECT_EQ(s.operationError(c.operation), QString::fromUtf8(c.expected));
        EXPECT_EQ(s.latestNetworkQualityResult(), quality);
        EXPECT_EQ(s.latestNetworkSpeedResult(), speed);
        EXPECT_EQ(repository->saves, savesBefore) << "nothing partial is saved";
    }
}
