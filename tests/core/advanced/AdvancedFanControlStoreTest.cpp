#include "advanced/AdvancedFanControlStore.h"

#include "TestSupport.h"
#include "localisation/L10n.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <qcoro/qcorotask.h>

using namespace kestrum;
using test::spinUntil;
using Reason = AdvancedFanAutomaticRestoreReason;
using Error = AdvancedFanHelperTransportError;

namespace {

// The helper as the coordinator's thread sees it. Each renewal moves the clock on by a heartbeat, so
// a boost lives through its whole duration without the test waiting for it.
class FakeTransport final : public AdvancedFanHelperTransport {
public:
    AdvancedFanHelperAcknowledgement execute(const AdvancedFanHelperEnvelope& envelope) override {
        const std::lock_guard lock(mutex);
        commands.push_back(envelope.command);
        if (std::holds_alternative<AdvancedFanHelperCommand::RenewLease>(envelope.command.value)) {
            *clock += 2;
            if (failRenewal)
                throw AdvancedFanHelperTransportFailure(Error::connectionInterrupted);
        }
        const auto session = envelope.command.sessionID();
        return {2, envelope.requestID,
                session ? AdvancedFanHelperReportedState::boostingSession(*session)
                        : AdvancedFanHelperReportedState::automatic()};
    }
    AdvancedFanHelperServiceStatus serviceStatus() override {
        if (statusError)
            throw AdvancedFanHelperTransportFailure(*statusError);
        return {statusResult, 0};
    }
    std::vector<AdvancedFanTelemetryReading> fanReadings() override {
        return {{0, 2400, 2400, 1200, 6200, false}};
    }

    std::vector<AdvancedFanHelperCommand> sent() {
        const std::lock_guard lock(mutex);
        return commands;
    }

    std::mutex mutex;
    std::vector<AdvancedFanHelperCommand> commands;
    std::atomic<bool> failRenewal = false;
    std::optional<Error> statusError;
    int statusResult = 0;
    std::shared_ptr<std::atomic<double>> clock = std::make_shared<std::atomic<double>>(1000);
};

struct Fixture {
    std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
    AdvancedFanHelperRegistrationStatus registration = AdvancedFanHelperRegistrationStatus::enabled;
    std::atomic<ThermalLevel> thermal = ThermalLevel::nominal;
    std::unique_ptr<AdvancedFanControlStore> store;

    explicit Fixture(QString fanInterface = QStringLiteral("thinkpad")) {
        AdvancedFanControlMachine machine;
        machine.registrationStatus = [this] { return registration; };
        machine.fanInterface = std::move(fanInterface);
        machine.kernelMajorVersion = 6;
        machine.kernelSeries = {6, 1};
        machine.thermalLevel = [this] { return thermal.load(); };
        machine.now = [clock = transport->clock] { return clock->load(); };
        machine.heartbeatIntervalMs = 1;
        store = std::make_unique<AdvancedFanControlStore>(
            transport, AdvancedFanCompatibilityCatalog::releaseRecords(), machine);
    }

    void refreshed() { QCoro::waitFor(store->refresh()); }
    bool started() {
        refreshed();
        QCoro::waitFor(store->startBoost(ThermalLevel::nominal));
        return store->isBoosting();
    }
    QString endedWith() {
        EXPECT_TRUE(spinUntil([&] { return !store->isBoosting(); }));
        return store->statusMessage();
    }
    std::optional<int> lastRestoreReason() {
        const auto sent = transport->sent();
        for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
            if (const auto* restore = std::get_if<AdvancedFanHelperCommand::RestoreAutomatic>(&it->value))
                return AdvancedFanHelperWire::reasonValue(restore->reason);
        }
        return std::nullopt;
    }
};

// A text as this machine shows it (Linux wording included).
QString shown(const char* text) {
    return L10n::string(QString::fromUtf8(text));
}

QString restored(Reason reason) {
    return AdvancedFanControlStore::statusLine(AdvancedFanControlResult::automaticRestored(reason));
}

} // namespace

TEST(AdvancedFanControlStore, ABoostRunsItsDurationOnHeartbeatsAndHandsTheFansBack) {
    Fixture f;
    f.store->setDurationMinutes(1);
    ASSERT_TRUE(f.started());
    EXPECT_EQ(f.store->statusMessage(),
              shown("Fan Boost başladı. Süre sonunda otomatik yönetim geri yüklenecek."));
    const auto begin = std::get<AdvancedFanHelperCommand::BeginBoost>(f.transport->sent().front().value);
    EXPECT_EQ(begin.maximumDuration, 60);
    EXPECT_EQ(begin.leaseDuration, 5);
    int ended = 0;
    QObject::connect(f.store.get(), &AdvancedFanControlStore::boostEnded, [&ended] { ++ended; });
    EXPECT_EQ(f.endedWith(), restored(Reason::durationExpired));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(f.store->remainingSeconds(), std::nullopt);
    EXPECT_GE(f.transport->sent().size(), 29u); // a renewal per heartbeat until the deadline
    EXPECT_EQ(f.store->restoreReasonText(Reason::durationExpired), QStringLiteral("durationExpired"));
}

TEST(AdvancedFanControlStore, TheHeartbeatEndsTheBoostOnHeatOrALostHelper) {
    {
        Fixture f;
        ASSERT_TRUE(f.started());
        f.thermal = ThermalLevel::serious;
        EXPECT_EQ(f.endedWith(), restored(Reason::thermalSafetyStop));
        EXPECT_EQ(f.lastRestoreReason(), AdvancedFanHelperWire::reasonValue(Reason::thermalSafetyStop));
    }
    {
        Fixture f;
        ASSERT_TRUE(f.started());
        f.transport->failRenewal = true;
        EXPECT_EQ(f.endedWith(), shown("Yardımcı servis bağlantısı kesildi; otomatik dönüş istendi."));
        // The coordinator asked for automatic control before the failure reached the panel.
        EXPECT_EQ(f.lastRestoreReason(), AdvancedFanHelperWire::reasonValue(Reason::communicationLost));
    }
}

TEST(AdvancedFanControlStore, StoppingTwiceRestoresOnceThenReportsNoChange) {
    Fixture f;
    ASSERT_TRUE(f.started());
    QCoro::waitFor(f.store->stopBoost(Reason::userStopped));
    EXPECT_FALSE(f.store->isBoosting());
    EXPECT_EQ(f.store->statusMessage(), restored(Reason::userStopped));
    QCoro::waitFor(f.store->stopBoost(Reason::userStopped));
    EXPECT_EQ(f.store->statusMessage(), shown("Fan durumunda değişiklik yok."));
}

TEST(AdvancedFanControlStore, WhatKeepsABoostFromStarting) {
    struct Case {
        const char* name;
        std::function<void(Fixture&)> arrange;
        QString blocker;
    };
    const std::vector<Case> cases = {
        {"helper not installed",
         [](Fixture& f) { f.registration = AdvancedFanHelperRegistrationStatus::notIncluded; },
         shown("Yardımcı servis kurulu değil.")},
        {"socket not enabled",
         [](Fixture& f) { f.registration = AdvancedFanHelperRegistrationStatus::notRegistered; },
         shown("Fan kontrolü için imzalı yardımcı servisi kullanıcı eylemiyle etkinleştirin.")},
        {"helper is not who it claims", [](Fixture& f) { f.transport->statusError = Error::callerRejected; },
         shown("Uygulama veya yardımcı servis imzası doğrulanamadı.")},
        {"helper finds no fan it may control", [](Fixture& f) { f.transport->statusResult = 5; },
         shown("Yardımcı servis güvenlik koşulları sağlanmadığı için isteği reddetti.")},
        {"helper gone since the socket appeared",
         [](Fixture& f) { f.transport->statusError = Error::notInstalled; },
         shown("Fan kontrolü için imzalı yardımcı servisi kullanıcı eylemiyle etkinleştirin.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.arrange(f);
        f.refreshed();
        EXPECT_FALSE(f.store->canStartBoost());
        EXPECT_EQ(f.store->boostBlocker(), c.blocker);
        QCoro::waitFor(f.store->startBoost(ThermalLevel::nominal));
        EXPECT_TRUE(f.transport->sent().empty());
    }
}

TEST(AdvancedFanControlStore, AMachineNoRecordCoversIsToldSoFirst) {
    Fixture f{QString()};
    f.registration = AdvancedFanHelperRegistrationStatus::notIncluded;
    f.refreshed();
    EXPECT_EQ(f.store->boostBlocker(), shown("Bu model için fiziksel güvenlik matrisi tamamlanmadı."));
}

TEST(AdvancedFanControlStore, TheSafetyRulesStillDecideWhenThePanelCouldStart) {
    struct Case {
        QString fanInterface;
        ThermalLevel thermal;
        QString status;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("nct6775"), ThermalLevel::nominal,
         shown("Bu model için fiziksel güvenlik matrisi tamamlanmadı.")},
        {QStringLiteral("thinkpad"), ThermalLevel::unavailable,
         shown("Mevcut termal durumda Fan Boost başlatılamaz.")},
        {QStringLiteral("applesmc"), ThermalLevel::critical,
         shown("Mevcut termal durumda Fan Boost başlatılamaz.")},
    };
    for (const Case& c : cases) {
        Fixture f(c.fanInterface);
        f.refreshed();
        ASSERT_TRUE(f.store->canStartBoost());
        QCoro::waitFor(f.store->startBoost(c.thermal));
        EXPECT_FALSE(f.store->isBoosting());
        EXPECT_EQ(f.store->statusMessage(), c.status) << c.fanInterface.toStdString();
        EXPECT_TRUE(f.transport->sent().empty());
    }
}

TEST(AdvancedFanControlStore, DurationsStayWithinAQuarterOfAnHour) {
    Fixture f;
    for (const auto& [asked, kept] :
         std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {15, 15}, {16, 15}, {-3, 1}}) {
        f.store->setDurationMinutes(asked);
        EXPECT_EQ(f.store->durationMinutes(), kept) << asked;
    }
}
