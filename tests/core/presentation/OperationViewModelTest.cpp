// The operation view model every test section shares, over the store's real operation frame.

#include "presentation/OperationViewModel.h"

#include "PresentationFixtures.h"
#include "foundation/KestrumError.h"

#include <QPromise>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>
#include <qcoro/qcorofuture.h>

using namespace kestrum;

namespace {

// Work that reports a progress value, then waits for the test to let it finish.
struct HeldWork {
    QPromise<void> gate;
    std::optional<OperationProgress> progress;
    bool fails = false;

    OperationWork work() {
        gate.start();
        return [this](OperationContext&, std::stop_token stop,
                      ProgressReporter report) -> QCoro::Task<ArchiveCommit> {
            if (progress)
                report(*progress);
            co_await gate.future();
            if (stop.stop_requested())
                throw CancellationError();
            if (fails)
                throw KestrumError(QStringLiteral("x"), QStringLiteral("Ölçüm tamamlanamadı."));
            co_return ArchiveCommit{};
        };
    }
    void finish() { gate.finish(); }
};

} // namespace

TEST(OperationViewModel, ProgressOfEachShape) {
    struct Case {
        const char* name;
        std::optional<OperationProgress> progress;
        bool hasFraction;
        double fraction;
        const char* text;
        const char* phase;
    } cases[] = {
        {"a bare share", OperationProgress{0.42}, true, 0.42, "42%", ""},
        {"a share and a phase", OperationProgress{0.5, QStringLiteral("Bellek testi")}, true, 0.5, "50%",
         "Bellek testi"},
        {"a phase alone: the share is unknown, not zero",
         OperationProgress{std::nullopt, QStringLiteral("Hazırlanıyor")}, false, 0, "", "Hazırlanıyor"},
        {"a share past the end is clamped", OperationProgress{1.7}, true, 1, "100%", ""},
        {"a share that is not a number", OperationProgress{std::nan("")}, false, 0, "", ""},
        {"nothing reported yet", std::nullopt, false, 0, "", ""},
    };
    test::ScopedLanguage turkish(false);
    for (const auto& c : cases) {
        test::MeasuredStore m;
        m.sample(test::measuredSnapshot()); // a test needs a current measurement before it starts
        OperationViewModel model(m.store, UserOperation::quickHealthTest);
        HeldWork held;
        held.progress = c.progress;
        ASSERT_TRUE(m.store.startOperation(UserOperation::quickHealthTest, held.work())) << c.name;
        EXPECT_TRUE(model.isRunning()) << c.name;
        EXPECT_EQ(model.hasFraction(), c.hasFraction) << c.name;
        EXPECT_DOUBLE_EQ(model.fraction(), c.fraction) << c.name;
        EXPECT_EQ(model.progressText(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_EQ(model.phase(), QString::fromUtf8(c.phase)) << c.name;
        held.finish();
        ASSERT_TRUE(test::spinUntil([&] { return !model.isRunning(); })) << c.name;
        EXPECT_FALSE(model.hasFraction()) << c.name << ": no progress once finished";
        EXPECT_TRUE(model.error().isEmpty()) << c.name;
    }
}

TEST(OperationViewModel, RefusalCancelAndError) {
    test::ScopedLanguage turkish(false);
    test::MeasuredStore m;
    m.sample(test::measuredSnapshot());
    OperationViewModel quick(m.store, UserOperation::quickHealthTest);
    OperationViewModel benchmark(m.store, UserOperation::cpuBenchmark);
    EXPECT_TRUE(benchmark.canStart());
    EXPECT_TRUE(benchmark.refusal().isEmpty());

    HeldWork held;
    ASSERT_TRUE(m.store.startOperation(UserOperation::quickHealthTest, held.work()));
    // Another test runs: the benchmark says why it cannot start, before anyone presses its button.
    EXPECT_FALSE(benchmark.canStart());
    EXPECT_EQ(
        benchmark.refusal(),
        QStringLiteral("Başka bir test çalışıyor. CPU benchmark’ı test tamamlandıktan sonra başlatın."));
    EXPECT_TRUE(quick.refusal().isEmpty()) << "a running operation is not refused, it runs";
    EXPECT_FALSE(quick.canStart());

    QSignalSpy changes(&quick, &OperationViewModel::changed);
    EXPECT_TRUE(quick.canCancel());
    quick.cancel();
    EXPECT_FALSE(quick.canCancel()) << "asked once; the button does not ask again";
    EXPECT_TRUE(quick.isRunning()) << "it stops at its next check";
    held.finish();
    ASSERT_TRUE(test::spinUntil([&] { return !quick.isRunning(); }));
    EXPECT_EQ(quick.error(), QStringLiteral("Hızlı sağlık testi iptal edildi."));
    EXPECT_TRUE(benchmark.canStart()) << "free again";
    EXPECT_GE(changes.count(), 2);

    HeldWork failing;
    failing.fails = true;
    ASSERT_TRUE(m.store.startOperation(UserOperation::quickHealthTest, failing.work()));
    EXPECT_TRUE(quick.canCancel()) << "a new run can be cancelled again";
    EXPECT_TRUE(quick.error().isEmpty()) << "a new run clears the old error";
    failing.finish();
    ASSERT_TRUE(test::spinUntil([&] { return !quick.isRunning(); }));
    EXPECT_EQ(quick.error(), QStringLiteral("Ölçüm tamamlanamadı."));

    // Offline, the network tests are refused with the store's text.
    SystemSnapshot offline = test::measuredSnapshot();
    offline.network.isConnected = false;
    m.sample(offline);
    OperationViewModel network(m.store, UserOperation::networkQuality);
    EXPECT_EQ(network.refusal(), QStringLiteral("Önce kullanılabilir bir ağ bağlantısı gerekiyor."));
}
