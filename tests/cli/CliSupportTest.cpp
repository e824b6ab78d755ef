// The CLI's way of running a task to its end: a failing task must come back as its exception, where
// QCoro::waitFor alone would wait forever.

#include "CliSupport.h"

#include "foundation/KestrumError.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <qcoro/qcorotimer.h>

using namespace kestrum;
using namespace std::chrono_literals;

namespace {

QCoro::Task<int> answer(bool suspend, bool fail) {
    if (suspend)
        co_await QCoro::sleepFor(20ms);
    if (fail)
        throw KestrumError(QStringLiteral("x"), QStringLiteral("Ölçüm başarısız."));
    co_return 42;
}

QCoro::Task<void> nothing(bool suspend, bool fail) {
    co_await answer(suspend, fail);
}

} // namespace

TEST(WaitForTask, ReturnsTheValueOrRethrowsTheFailure) {
    for (const bool suspend : {false, true}) {
        SCOPED_TRACE(suspend ? "after a suspension" : "before any suspension");
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(cli::waitForTask(answer(suspend, false)), 42);
        EXPECT_THROW(cli::waitForTask(answer(suspend, true)), KestrumError);
        EXPECT_NO_THROW(cli::waitForTask(nothing(suspend, false)));
        EXPECT_THROW(cli::waitForTask(nothing(suspend, true)), KestrumError);
        EXPECT_LT(timer.elapsed(), 5000);
    }
}
