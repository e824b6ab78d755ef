#include "monitor/OperationAnalytics.h"

#include "StoreTestFixture.h"
#include "network/HTTPTransport.h"

#include <qcoro/qcorosignal.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class Gate : public QObject {
    Q_OBJECT
public:
    void open() { Q_EMIT opened(); }
Q_SIGNALS:
    void opened();
};

// A store whose usage events land in a list, one line each: "name key=value key=value".
class AnalyticsStoreTest : public StoreFixture {
protected:
    std::vector<QString> events;

    void SetUp() override {
        StoreFixture::SetUp();
        analyticsRecorder = ProductAnalyticsRecorder(ProductAnalyticsMode::optedInRemote,
                                                     [this](ProductAnalyticsEvent event) {
                                                         QStringList line{rawValue(event.name)};
                                                         for (const auto& [key, value] : event.properties)
                                                             line.append(key + u'=' + value);
                                                         events.push_back(line.join(u' '));
                                                     });
    }

    std::vector<QString> take() { return std::exchange(events, {}); }

    bool start(UserOperation operation, OperationWork work, const char* entryPoint = "overview") {
        SystemMonitorStore::Options options;
        options.entryPoint = QString::fromLatin1(entryPoint);
        return store->startOperation(operation, std::move(work), std::move(options));
    }
    void waitUntilIdle(UserOperation operation) {
        ASSERT_TRUE(spinUntil([&] { return !store->isRunning(operation); }));
    }
};

QCoro::Task<ArchiveCommit> finishAtOnce(OperationContext&, std::stop_token, ProgressReporter) {
    co_return ArchiveCommit{};
}

} // namespace

TEST_F(AnalyticsStoreTest, TheFirstSampleOfARunIsRecordedOnceWithItsTrigger) {
    make();
    refreshNow();
    refreshNow();
    EXPECT_EQ(take(), (std::vector<QString>{"first_snapshot_ready trigger=manual_refresh",
                                            "activation_step_completed step=live_snapshot"}));
    make();
    QCoro::waitFor(store->refresh(AnalyticsTrigger::automaticMonitoring));
    EXPECT_EQ(take().front(), QStringLiteral("first_snapshot_ready trigger=automatic_monitoring"));
}

TEST_F(AnalyticsStoreTest, UserStartedTestsRecordTheirStartAndEnd) {
    make();
    refreshNow();
    take();
    Gate gate;
    bool reportFirst = false;
    auto waiting = [&gate, &reportFirst](OperationContext&, std::stop_token stop,
                                         ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
        if (reportFirst)
            report(OperationProgress{0.5, QStringLiteral("Ölçülüyor"), 1, 2});
        co_await qCoro(&gate, &Gate::opened);
        if (stop.stop_requested())
            throw CancellationError();
        co_return ArchiveCommit{};
    };
    auto failing = [](OperationContext&, std::stop_token, ProgressReporter) -> QCoro::Task<ArchiveCommit> {
        throw KestrumError(QStringLiteral("networkQuality.internetUnreachable"),
                           QStringLiteral("İnternete ulaşılamadı."));
        co_return ArchiveCommit{};
    };

    ASSERT_TRUE(start(UserOperation::networkQuality, finishAtOnce));
    waitUntilIdle(UserOperation::networkQuality);
    ASSERT_TRUE(start(UserOperation::networkQuality, finishAtOnce, "sidebar"));
    waitUntilIdle(UserOperation::networkQuality);
    EXPECT_EQ(take(), (std::vector<QString>{
                          "test_start_accepted entry_point=overview test_kind=network_quality",
                          "test_completed result_scope=complete test_kind=network_quality",
                          "activation_step_completed step=network_quality",
                          "test_start_accepted entry_point=sidebar test_kind=network_quality",
                          "test_completed result_scope=complete test_kind=network_quality",
                      }))
        << "an activation step counts once";

    // Cancelled before the work reported anything, then after, then refused while running.
    for (const bool reported : {false, true}) {
        reportFirst = reported;
        ASSERT_TRUE(start(UserOperation::networkSpeed, waiting));
        EXPECT_FALSE(start(UserOperation::networkSpeed, waiting));
        store->cancelOperation(UserOperation::networkSpeed);
        gate.open();
        waitUntilIdle(UserOperation::networkSpeed);
    }
    ASSERT_TRUE(start(UserOperation::networkQuality, failing));
    waitUntilIdle(UserOperation::networkQuality);
    EXPECT_EQ(take(), (std::vector<QString>{
                          "test_start_accepted entry_point=overview test_kind=network_speed",
                          "test_start_blocked block_reason=already_running test_kind=network_speed",
                          "test_cancelled stage=preparing test_kind=network_speed",
                          "test_start_accepted entry_point=overview test_kind=network_speed",
                          "test_start_blocked block_reason=already_running test_kind=network_speed",
                          "test_cancelled stage=running test_kind=network_speed",
                          "test_start_accepted entry_point=overview test_kind=network_quality",
                          "test_failed error_category=network test_kind=network_quality",
                      }));

    // Offline: refused for that reason. The deep health test is not in the catalogue at all.
    sampler->next.network.isConnected = false;
    refreshNow();
    EXPECT_FALSE(start(UserOperation::networkQuality, finishAtOnce));
    ASSERT_TRUE(start(UserOperation::deepHealthTest, finishAtOnce));
    waitUntilIdle(UserOperation::deepHealthTest);
    EXPECT_EQ(take(),
              (std::vector<QString>{"test_start_blocked block_reason=offline test_kind=network_quality"}));
}

TEST(OperationAnalytics, RefusalsAndFailuresAreNamedByCategory) {
    using R = ProductAnalyticsBlockReason;
    struct Refusal {
        std::optional<StartCheck> check;
        bool running;
        ThermalLevel thermal;
        R expected;
    };
    const Refusal refusals[] = {
        {std::nullopt, true, ThermalLevel::nominal, R::alreadyRunning},
        {StartCheck::conflicts, false, ThermalLevel::nominal, R::alreadyRunning},
        {StartCheck::network, false, ThermalLevel::nominal, R::offline},
        {StartCheck::thermalGate, false, ThermalLevel::unavailable, R::unsupported},
        {StartCheck::thermalGate, false, ThermalLevel::critical, R::prerequisiteMissing},
        {StartCheck::cooldown, false, ThermalLevel::nominal, R::prerequisiteMissing},
        {StartCheck::lowBattery, false, ThermalLevel::nominal, R::prerequisiteMissing},
        {std::nullopt, false, ThermalLevel::nominal, R::prerequisiteMissing},
    };
    for (const Refusal& r : refusals)
        EXPECT_EQ(OperationAnalytics::blockReason(r.check, r.running, r.thermal), r.expected)
            << rawValue(r.expected).toStdString();

    using C = ProductAnalyticsErrorCategory;
    const auto coded = [](const char* code) {
        return std::make_exception_ptr(KestrumError(QString::fromLatin1(code), QStringLiteral("Metin.")));
    };
    const std::pair<std::exception_ptr, C> failures[] = {
        {coded("networkSpeed.downloadFailed"), C::network},
        {coded("networkQuality.invalidEndpoint"), C::validation},
        {coded("fileWrite"), C::persistence},
        {coded("decoding"), C::validation},
        {coded("healthTest.thermalUnavailable"), C::unavailable},
        {coded("something"), C::unknown},
        {std::make_exception_ptr(HTTPTransportError(HTTPTransportError::Kind::timedOut, 28, QString())),
         C::timeout},
        {std::make_exception_ptr(HTTPTransportError(HTTPTransportError::Kind::tlsFailure, 35, QString())),
         C::network},
        {std::make_exception_ptr(std::runtime_error("/home/ayse/secret")), C::unknown},
    };
    for (const auto& [error, expected] : failures)
        EXPECT_EQ(OperationAnalytics::errorCategory(error), expected) << rawValue(expected).toStdString();
}

#include "OperationAnalyticsTest.moc"
