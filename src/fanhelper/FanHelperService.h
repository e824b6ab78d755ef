#pragma once

// The fan helper's rules, free of sockets and processes: one boost at a time, owned by the connection that
// began it, held only while its lease keeps being renewed and never past its maximum duration. Whatever
// ends it — the owner, a lapsed lease, the deadline, the owner's connection closing, the helper stopping —
// hands the fans back to automatic control.

#include "FanHelperFanControlling.h"
#include "FanHelperManualControlRecord.h"
#include "advanced/AdvancedFanHelperProtocol.h"
#include "foundation/Clocks.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <optional>

namespace kestrum {

// A connected client as the kernel vouches for it (SO_PEERCRED).
struct FanHelperPeer {
    quint64 connection = 0; // unique for the helper's lifetime
    qint64 pid = 0;
    quint32 uid = 0;
    bool operator==(const FanHelperPeer&) const = default;
};

// Whether a peer may start a boost (polkit and the caller's program, in the real helper).
class FanHelperCallerAuthorising {
public:
    virtual ~FanHelperCallerAuthorising() = default;
    virtual bool mayStartBoost(const FanHelperPeer& peer) = 0;
};

class FanHelperService {
public:
    // Lease and duration bounds a begin or renew must keep, in seconds.
    static constexpr double minimumDuration = 30;
    static constexpr double maximumDuration = 900;
    static constexpr double maximumLease = 5;
    static constexpr double restoreRetrySeconds = 1;

    struct Answer {
        QByteArray reply; // one line, newline included
        bool closeConnection = false;
    };

    // `controller` may be null (no released fan interface); `refusal` then says why, for the log.
    // `record` remembers across crashes whether the fans were left under the helper's control.
    FanHelperService(FanHelperFanControlling* controller, QString refusal, MonotonicClock clock,
                     FanHelperCallerAuthorising& authoriser, FanHelperManualControlRecord record = {});

    Answer handleLine(const FanHelperPeer& peer, QByteArrayView line);
    // A line longer than the protocol allows: refused and the connection closed.
    Answer oversizedLine() const;
    // The owner's connection closing ends its boost at once.
    void connectionClosed(quint64 connection);
    // Ends a boost whose lease or maximum duration has run out; call at `nextDeadline()`.
    void expire();
    // When `expire()` has work next, on the service's clock.
    std::optional<double> nextDeadline() const;
    // Boosting, or still trying to hand the fans back after a restore the hardware did not take.
    bool isBoosting() const { return m_boost.has_value() || m_restorePending; }
    // At start-up (a previous helper may have died mid-boost) and before the helper exits. Only fans
    // this helper took over are touched: without a boost, a pending restore or the record of one,
    // nothing is written.
    void restoreAutomatic(const char* why);

private:
    struct Boost {
        FanHelperPeer owner;
        QUuid sessionID;
        AdvancedFanBoostProfile profile = AdvancedFanBoostProfile::balanced;
        double deadline = 0;
        double leaseEnd = 0;
    };
    using Request = AdvancedFanHelperWire::Request;
    using Reply = AdvancedFanHelperWire::Reply;

    Reply begin(const FanHelperPeer& peer, const Request& request);
    Reply renew(const FanHelperPeer& peer, const Request& request);
    Reply restore(const FanHelperPeer& peer, const Request& request);
    Reply status(const Request& request) const;
    Reply fanCount(const Request& request) const;
    Reply fanReading(const Request& request) const;
    static Reply answer(const Request& request, int result);
    // Ends the boost; false when the hardware did not take the restore.
    bool endBoost(const char* why);
    bool retryRestore();
    bool handBack();

    FanHelperFanControlling* m_controller;
    QString m_refusal;
    MonotonicClock m_clock;
    FanHelperCallerAuthorising& m_authoriser;
    std::optional<Boost> m_boost;
    bool m_restorePending = false;
    FanHelperManualControlRecord m_record;
};

} // namespace kestrum
