#pragma once

#include "foundation/Clocks.h"

#include <QFuture>
#include <QString>
#include <optional>
#include <stop_token>

namespace kestrum {

// One timed lookup of a host name. The future gives the milliseconds the lookup took, or nothing when
// it failed; a stop request ends the wait at once (the lookup itself may finish later, unseen).
class HostResolving {
public:
    virtual ~HostResolving() = default;
    virtual QFuture<std::optional<double>> resolve(const QString& hostName, std::stop_token stop = {}) = 0;
};

// getaddrinfo for stream/TCP with no service, on a thread of its own so that a slow resolver never
// blocks the caller; the time is taken on `clock` around the call.
class GetaddrinfoHostResolver : public HostResolving {
public:
    explicit GetaddrinfoHostResolver(MonotonicClock clock = systemMonotonicClock());
    QFuture<std::optional<double>> resolve(const QString& hostName, std::stop_token stop = {}) override;

private:
    MonotonicClock m_clock;
};

} // namespace kestrum
