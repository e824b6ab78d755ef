#include "NetworkTesting.h"

#include "foundation/KestrumError.h"

#include <algorithm>
#include <chrono>
#include <qcoro/qcorotimer.h>

namespace kestrum {

AsyncSleeper systemAsyncSleeper() {
    return [](double seconds, std::stop_token stop) -> QCoro::Task<void> {
        using namespace std::chrono;
        const auto deadline =
            steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
        // Short slices: a stop request ends the wait within one slice.
        for (;;) {
            if (stop.stop_requested())
                throw CancellationError();
            const auto left = deadline - steady_clock::now();
            if (left <= steady_clock::duration::zero())
                co_return;
            co_await QCoro::sleepFor(std::min<steady_clock::duration>(left, milliseconds(50)));
        }
    };
}

} // namespace kestrum
