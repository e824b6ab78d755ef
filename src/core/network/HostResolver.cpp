#include "HostResolver.h"

#include "foundation/KestrumError.h"

#include <QPromise>
#include <QUrl>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace kestrum {

namespace {

// A promise that the first of several parties settles; later attempts are ignored.
template <class T> class SettleOnce {
public:
    SettleOnce() { m_promise.start(); }
    QFuture<T> future() { return m_promise.future(); }
    void resolve(T value) {
        std::lock_guard lock(m_mutex);
        if (m_settled)
            return;
        m_settled = true;
        m_promise.addResult(std::move(value));
        m_promise.finish();
    }
    template <class E> void reject(const E& error) {
        std::lock_guard lock(m_mutex);
        if (m_settled)
            return;
        m_settled = true;
        m_promise.setException(error);
        m_promise.finish();
    }
    // Rejects with cancellation when `stop` is requested; deregistered when the state goes away.
    void cancelOn(std::stop_token stop) {
        if (stop.stop_possible())
            m_stopCallback.emplace(stop, std::function<void()>([this] { reject(CancellationError()); }));
    }

private:
private:
    std::mutex m_mutex;
    bool m_settled = false;
    QPromise<T> m_promise;
    std::optional<std::stop_callback<std::function<void()>>> m_stopCallback; // last: goes first
};

} // namespace

GetaddrinfoHostResolver::GetaddrinfoHostResolver(MonotonicClock clock) : m_clock(std::move(clock)) {}

QFuture<std::optional<double>> GetaddrinfoHostResolver::resolve(const QString& hostName,
                                                                std::stop_token stop) {
    auto state = std::make_shared<SettleOnce<std::optional<double>>>();
    QFuture<std::optional<double>> future = state->future();
    // International names go to the resolver in their ASCII form.
    const QByteArray host = QUrl::toAce(hostName);
    if (host.isEmpty()) {
        state->resolve(std::nullopt);
        return future;
    }
    state->cancelOn(std::move(stop));
    // Detached: a resolver that hangs must not hold up a cancelled run or the program's exit.
    std::thread([state, host, clock = m_clock] {
        addrinfo hints{};
        hints.ai_flags = 0;
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* list = nullptr;
        const double t0 = clock();
        const int status = ::getaddrinfo(host.constData(), nullptr, &hints, &list);
        const double elapsed = clock() - t0;
        if (list)
            ::freeaddrinfo(list);
        if (status != 0)
            state->resolve(std::nullopt);
        else
            state->resolve(std::max(0.0, elapsed * 1000.0));
    }).detach();
    return future;
}

} // namespace kestrum
