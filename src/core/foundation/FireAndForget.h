#pragma once

#include "KestrumError.h"
#include "Logging.h"

#include <qcoro/qcorotask.h>

namespace kestrum {

// Starts work nobody awaits, logging a failure instead of losing it silently.
template <class T> void fireAndForget(QCoro::Task<T> task, const char* what) {
    // Parameters, not captures: the coroutine owns its copies.
    [](QCoro::Task<T> work, const char* name) -> QCoro::Task<void> {
        try {
            co_await std::move(work);
        } catch (...) {
            qCWarning(lcMonitor) << name << "failed:" << describeException(std::current_exception());
        }
    }(std::move(task), what);
}

} // namespace kestrum
