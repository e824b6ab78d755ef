#include "fullscan/FullSystemScanOperation.h"

#include "FullScanInputs.h"
#include "core/monitor/StoreTestFixture.h"
#include "fullscan/FullSystemScanReminderSchedule.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::test;

namespace {

class FullSystemScanStore : public StoreFixture {
protected:
    std::shared_ptr<FakeScanRunner> runner = std::make_shared<FakeScanRunner>();
    std::vector<ProductAnalyticsEvent> events;

    void SetUp() override {
        StoreFixture::SetUp();
        sampler->next = scanSnapshot();
        analyticsRecorder = ProductAnalyticsRecorder(
            ProductAnalyticsMode::optedInRemote, [this](ProductAnalyticsEvent e) { events.push_back(e); });
    }

    SystemMonitorStore& ready() {
        SystemMonitorStore::Dependencies d;
        d.sampler = sampler;
        d.preferences = &preferences;
        d.archiveRepository = repository;
        d.notificationService = notifications;
        d.loopSleeper = sleeper;
        d.dateProvider = [this] { return now; };
        d.monotonicClock = [this] { return monotonic; };
        d.analyticsRecorder = analyticsRecorder;
        d.fullSystemScanRunner = runner;
        d.privateWords = {QStringLiteral("ayse-thinkpad")};
        store.reset();
        store = std::make_unique<SystemMonitorStore>(std::move(d));
        QCoro::waitFor(store->prepareArchive());
        refreshNow();
        return *store;
    }

    // Runs a scan to its end; the progress records seen on the way are kept.
    std::vector<FullSystemScanProgress> scan(bool includeNetwork, bool includeSpeed = true) {
        std::vector<FullSystemScanProgress> seen;
        const auto connection = QObject::connect(store.get(), &SystemMonitorStore::operationsChanged, [&] {
            if (const auto& p = store->progress(UserOperation::fullSystemScan)) {
                const auto* detail = std::any_cast<FullSystemScanProgress>(&p->detail);
                if (detail && (seen.empty() || !(seen.back() == *detail)))
                    seen.push_back(*detail);
            }
        });
        EXPECT_TRUE(store->startFullSystemScan(false, includeNetwork, QStringLiteral("test"), includeSpeed))
            << store->fullSystemScanError().toStdString();
        EXPECT_TRUE(spinUntil([&] { return !store->isFullSystemScanRunning(); }));
        QObject::disconnect(connection);
        return seen;
    }
};

} // namespace

TEST_F(FullSystemScanStore, ChainsTheChecksAndRunsNetworkTestsOnlyWhenIncluded) {
    using State = FullSystemScanComponentState;
    struct Case {
        bool includeNetwork;
        bool includeSpeed;
        bool connected;
        std::vector<QString> calls;
        State expectedNetworkState;
        QString networkEvidence;
    };
    const std::vector<Case> cases = {
        {false,
         true,
         true,
         {"hardware", "quick", "deep"},
         State::skipped,
         QStringLiteral("Sonuç üretilemedi ve bileşen genel puana katılmadı.")},
        {true, true, true, {"hardware", "quick", "deep", "quality", "speed"}, State::completed, {}},
        {true, false, true, {"hardware", "quick", "deep", "quality"}, State::completed, {}},
        {true,
         true,
         false,
         {"hardware", "quick", "deep"},
         State::skipped,
         QStringLiteral("Etkin bir ağ bağlantısı olmadığı için ağ kalite testi atlandı.")},
    };
    for (const Case& c : cases) {
        runner->calls.clear();
        repository->stored = HealthArchive::empty();
        preferences.remove(QStringLiteral("healthTest.intensiveCooldownUntil"));
        sampler->next.network = c.connected ? scanSnapshot().network : NetworkStats::disconnected();
        ready();
        const auto progress = scan(c.includeNetwork, c.includeSpeed);
        EXPECT_EQ(runner->calls, c.calls);
        EXPECT_TRUE(store->fullSystemScanError().isEmpty());
        const auto results = store->fullSystemScanResults();
        ASSERT_EQ(results.size(), 1u);
        const FullSystemScanComponentResult* quality =
            results[0].component(FullSystemScanComponentKind::networkQuality);
        EXPECT_EQ(quality->state, c.expectedNetworkState);
        if (!c.networkEvidence.isEmpty()) {
            EXPECT_EQ(quality->technicalEvidence, c.networkEvidence);
        }
        EXPECT_EQ(results[0].isPartial(), !c.includeNetwork || !c.includeSpeed || !c.connected);
        // The checks' own results join their lists; the cooling-down period covers the scan and 15 minutes.
        EXPECT_EQ(store->healthTestResults().size(), 1u);
        EXPECT_EQ(store->deepHealthTestResults().size(), 1u);
        EXPECT_EQ(store->latestNetworkQualityResult().has_value(), c.includeNetwork && c.connected);
        EXPECT_EQ(store->intensiveTestCooldownUntil(), now.addingSeconds(545 + 900));
        // Every phase announced in order, each with its index, and the storing step last.
        ASSERT_FALSE(progress.empty());
        for (size_t i = 1; i < progress.size(); ++i)
            EXPECT_LE(declarationIndex(progress[i - 1].phase), declarationIndex(progress[i].phase));
        for (const FullSystemScanProgress& p : progress) {
            if (p.completedSteps < 7)
                EXPECT_EQ(p.completedSteps, declarationIndex(p.phase));
            EXPECT_EQ(p.totalSteps, 7);
        }
        EXPECT_EQ(progress.front().phase, FullSystemScanPhase::preparing);
        EXPECT_EQ(progress.back(), (FullSystemScanProgress{FullSystemScanPhase::aiReport, 7, 7, now}));
    }
}

TEST_F(FullSystemScanStore, AFailedCheckIsAFailedComponentAndCancellationStoresNothing) {
    struct Case {
        QString failing;
        QString cancelAt;
        bool stored;
        QString failedFinding;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("quick"), {}, true, QStringLiteral("component-failed-quickHealth")},
        {QStringLiteral("quality"), {}, true, QStringLiteral("component-failed-networkQuality")},
        {QStringLiteral("hardware"), {}, true, QStringLiteral("component-failed-hardware")},
        {{}, QStringLiteral("deep"), false, {}},
        {{}, QStringLiteral("speed"), false, {}},
    };
    for (const Case& c : cases) {
        runner->failing.clear();
        if (!c.failing.isEmpty())
            runner->failing[c.failing] = QStringLiteral("Ölçüm başarısız oldu.");
        runner->cancelAt = c.cancelAt;
        runner->onCancel = [this] { store->cancelOperation(UserOperation::fullSystemScan); };
        repository->stored = HealthArchive::empty();
        preferences.remove(QStringLiteral("healthTest.intensiveCooldownUntil"));
        ready();
        scan(true);
        const auto results = store->fullSystemScanResults();
        if (!c.stored) {
            EXPECT_TRUE(results.empty()) << c.cancelAt.toStdString();
            EXPECT_TRUE(repository->stored.fullSystemScanResults.empty());
            EXPECT_TRUE(store->healthTestResults().empty())
                << "the quick result of a cancelled scan goes too";
            EXPECT_EQ(store->fullSystemScanError(),
                      QStringLiteral("Tam Tarama iptal edildi. Tamamlanmayan tarama geçmişe kaydedilmedi."));
            EXPECT_TRUE(store->intensiveTestCooldownUntil().has_value()) << "the reserved cooldown stays";
            continue;
        }
        ASSERT_EQ(results.size(), 1u) << c.failing.toStdString();
        EXPECT_TRUE(results[0].isPartial());
        EXPECT_TRUE(store->fullSystemScanError().isEmpty());
        const auto finding = std::find_if(results[0].findings.begin(), results[0].findings.end(),
                                          [&](const auto& f) { return f.id == c.failedFinding; });
        ASSERT_NE(finding, results[0].findings.end()) << c.failing.toStdString();
        EXPECT_EQ(finding->technicalEvidence, QStringLiteral("Ölçüm başarısız oldu."));
        EXPECT_EQ(finding->recommendation,
                  QStringLiteral("Koşullar uygun olduğunda Tam Tarama’yı yeniden çalıştır."));
    }
    runner->cancelAt.clear();
}

TEST_F(FullSystemScanStore, RefusesBesideAnotherTestAndDuringTheCooldown) {
    ready();
    scan(false);
    EXPECT_FALSE(store->startFullSystemScan());
    EXPECT_EQ(store->fullSystemScanError(),
              QStringLiteral("Mac’in soğuması için yaklaşık 25 dakika sonra yeniden deneyin."));
    advance(545 + 900 + 1);
    sampler->deferred = true; // the scan waits for its first sample
    EXPECT_TRUE(store->startFullSystemScan());
    EXPECT_FALSE(store->startQuickHealthTest());
    EXPECT_EQ(store->healthTestError(),
              QStringLiteral("Tam Tarama sırasında ayrı bir sağlık testi başlatılamaz."));
    EXPECT_TRUE(spinUntil([&] {
        sampler->release();
        return !store->isFullSystemScanRunning();
    }));
    EXPECT_EQ(store->fullSystemScanResults().size(), 2u);
}

TEST_F(FullSystemScanStore, KeepsTheTwelveNewestAndLeavesOutWhatItCannotRead) {
    for (int i = 0; i < 12; ++i) {
        FullSystemScanResult old = FullSystemScanReportBuilder{}.makeResult(healthyEvidence(), newUuid());
        old.startedAt = old.endedAt = now.addingSeconds(-3600.0 * (13 - i));
        repository->stored.fullSystemScanResults.push_back(fullSystemScanResultToJson(old).toObject());
    }
    const QUuid oldest = fullSystemScanResultFromJson(repository->stored.fullSystemScanResults.front()).id;
    // One stored by a later version in a form this one cannot read.
    repository->stored.fullSystemScanResults[5].insert(QStringLiteral("mode"), QStringLiteral("cloud"));
    ready();
    EXPECT_EQ(store->fullSystemScanResults().size(), 11u);
    scan(true);
    ASSERT_EQ(repository->stored.fullSystemScanResults.size(), 12u);
    EXPECT_NE(fullSystemScanResultFromJson(repository->stored.fullSystemScanResults.front()).id, oldest);
    EXPECT_EQ(store->fullSystemScanResults().back().endedAt, now);
    EXPECT_EQ(repository->stored.fullSystemScanResults[4].value(QStringLiteral("mode")).toString(),
              QStringLiteral("cloud"))
        << "kept as it was";
}

TEST_F(FullSystemScanStore, ACompleteScanSchedulesTheReminderAPartialOneDoesNot) {
    ready();
    EXPECT_TRUE(store->setFullSystemScanReminderIntervalDays(120));
    EXPECT_EQ(store->fullSystemScanReminderIntervalDays(), 90);
    EXPECT_FALSE(store->fullSystemScanNextReminderAt()) << "no complete scan yet";
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().name, ProductAnalyticsEventName::scanReminderChanged);

    EXPECT_TRUE(store->setFullSystemScanReminderIntervalDays(7));
    scan(false);
    EXPECT_FALSE(store->fullSystemScanNextReminderAt()) << "a scan without network tests is partial";

    advance(3000);
    scan(true);
    const Date scheduled = now.addingSeconds(7 * 86'400);
    EXPECT_EQ(store->fullSystemScanNextReminderAt(), scheduled);
    EXPECT_EQ(preferences.dateValue(SystemMonitorStore::kNextReminderAtKey), scheduled);

    EXPECT_FALSE(store->takeDueFullSystemScanReminder());
    advance(20 * 86'400);
    EXPECT_TRUE(store->takeDueFullSystemScanReminder()) << "overdue: fires once";
    EXPECT_FALSE(store->takeDueFullSystemScanReminder());
    EXPECT_EQ(store->fullSystemScanNextReminderAt(), scheduled.addingSeconds(14 * 86'400));

    // A new store (the next launch) reads the interval and the date back.
    ready();
    EXPECT_EQ(store->fullSystemScanReminderIntervalDays(), 7);
    EXPECT_EQ(store->fullSystemScanNextReminderAt(), scheduled.addingSeconds(14 * 86'400));
    EXPECT_TRUE(store->setFullSystemScanReminderIntervalDays(std::nullopt));
    EXPECT_FALSE(store->fullSystemScanNextReminderAt());
    EXPECT_FALSE(preferences.value(SystemMonitorStore::kNextReminderAtKey));
}

TEST(FullSystemScanProgressFraction, WeighsPhasesByTheirExpectedSeconds) {
    double total = 0;
    for (const auto phase : allCases<FullSystemScanPhase>())
        total += FullSystemScanOperation::phaseWeight(phase);
    EXPECT_EQ(total, FullSystemScanProgress::kEstimatedDuration);
    const auto fraction = [](FullSystemScanPhase phase, double within) {
        return *FullSystemScanOperation::progress({phase, declarationIndex(phase)}, within, 0).fraction;
    };
    EXPECT_DOUBLE_EQ(fraction(FullSystemScanPhase::preparing, 0), 0);
    EXPECT_DOUBLE_EQ(fraction(FullSystemScanPhase::deepHealth, 0), 25.0 / 545);
    EXPECT_DOUBLE_EQ(fraction(FullSystemScanPhase::deepHealth, 0.5), (25 + 235.0) / 545);
    EXPECT_DOUBLE_EQ(*FullSystemScanOperation::progress({FullSystemScanPhase::aiReport, 7}, 0, 0).fraction,
                     1);
}
