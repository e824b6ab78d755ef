#pragma once

#include "TestSupport.h"
#include "analytics/ProductAnalyticsBatchTransport.h"
#include "foundation/Clocks.h"
#include "network/HTTPTransport.h"

#include <QFuture>
#include <QPromise>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

namespace kestrum::test {

// A wall clock the test moves; read from the pipeline's thread.
class FakeClock {
public:
    explicit FakeClock(Date start) : m_seconds(start.secondsSinceReferenceDate) {}
    Date now() const { return Date{m_seconds.load()}; }
    void set(Date date) { m_seconds.store(date.secondsSinceReferenceDate); }
    void advance(double seconds) { m_seconds.store(m_seconds.load() + seconds); }
    DateProvider provider() {
        return [this] { return now(); };
    }

private:
    std::atomic<double> m_seconds;
};

// Answers batches as the test scripts them: accepted by default; a scripted failure; or held until the
// test releases it (or the pipeline cancels it).
class FakeBatchTransport : public ProductAnalyticsBatchTransport {
public:
    struct Answer {
        std::optional<ProductAnalyticsTransportError> error;
        bool hold = false;
    };

    QFuture<void> send(const ProductAnalyticsEventBatch& batch) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(batch);
        const Answer answer = m_script.empty() ? Answer{} : m_script.front();
        if (!m_script.empty())
            m_script.pop_front();
        auto promise = std::make_shared<QPromise<void>>();
        promise->start();
        if (answer.hold) {
            m_held.push_back(promise);
        } else {
            if (answer.error)
                promise->setException(*answer.error);
            promise->finish();
        }
        return promise->future();
    }

    // The held sends fail at once, on the caller's thread, as a transport may do.
    void cancelPendingRequests() override {
        std::vector<std::shared_ptr<QPromise<void>>> held;
        {
            std::lock_guard lock(m_mutex);
            ++m_cancels;
            held.swap(m_held);
        }
        for (const auto& promise : held) {
            promise->setException(
                HTTPTransportError(HTTPTransportError::Kind::cancelled, 0, QStringLiteral("cancelled")));
            promise->finish();
        }
    }

    void script(Answer answer) {
        std::lock_guard lock(m_mutex);
        m_script.push_back(std::move(answer));
    }
    void fail(ProductAnalyticsTransportError::Kind kind, int status, std::optional<double> retryAfter = {}) {
        script({ProductAnalyticsTransportError(kind, status, retryAfter), false});
    }
    void hold() { script({std::nullopt, true}); }
    // Lets the held sends succeed.
    void release() {
        std::vector<std::shared_ptr<QPromise<void>>> held;
        {
            std::lock_guard lock(m_mutex);
            held.swap(m_held);
        }
        for (const auto& promise : held)
            promise->finish();
    }
    std::vector<ProductAnalyticsEventBatch> sent() const {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    size_t heldCount() const {
        std::lock_guard lock(m_mutex);
        return m_held.size();
    }
    int cancels() const {
        std::lock_guard lock(m_mutex);
        return m_cancels;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ProductAnalyticsEventBatch> m_sent;
    std::deque<Answer> m_script;
    std::vector<std::shared_ptr<QPromise<void>>> m_held;
    int m_cancels = 0;
};

// Waits (running this thread's event loop) until the future is finished; false after 10 s.
template <class T> bool finished(const QFuture<T>& future) {
    return spinUntil([&] { return future.isFinished(); }, 10000);
}

} // namespace kestrum::test
