#include "FanHelperService.h"

#include "FanHelperLogging.h"
#include "foundation/Uuid.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace kestrum {

namespace Code = AdvancedFanHelperResultCode;
using AdvancedFanHelperWire::Method;

namespace {

// The clocks of the application and the helper read a renewal's "time left" a few milliseconds apart.
constexpr double renewalTolerance = 1;

// The request id of a line that is not a valid request, where one can be found, so that the caller can
// match the refusal.
QUuid requestIDOf(QByteArrayView line) {
    if (line.size() > AdvancedFanHelperWire::maximumMessageBytes)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray());
    const QJsonValue id =
        document.isObject() ? document.object().value(QStringLiteral("requestID")) : QJsonValue();
    return id.isString() ? uuidFromText(id.toString()).value_or(QUuid()) : QUuid();
}

} // namespace

FanHelperService::FanHelperService(FanHelperFanControlling* controller, QString refusal, MonotonicClock clock,
                                   FanHelperCallerAuthorising& authoriser,
                                   FanHelperManualControlRecord record)
    : m_controller(controller), m_refusal(std::move(refusal)), m_clock(std::move(clock)),
      m_authoriser(authoriser), m_record(std::move(record)) {}

FanHelperService::Reply FanHelperService::answer(const Request& request, int result) {
    Reply reply;
    reply.protocolVersion = AdvancedFanHelperWire::protocolVersion;
    reply.requestID = request.requestID;
    reply.result = result;
    return reply;
}

FanHelperService::Answer FanHelperService::handleLine(const FanHelperPeer& peer, QByteArrayView line) {
    // A lease that ran out while this line was in flight is over before the line is looked at.
    expire();
    const auto request = AdvancedFanHelperWire::decodeRequest(line);
    if (!request) {
        Request unknown;
        unknown.requestID = requestIDOf(line);
        return {AdvancedFanHelperWire::encode(answer(unknown, Code::malformedRequest)), true};
    }
    if (request->protocolVersion != AdvancedFanHelperWire::protocolVersion)
        return {AdvancedFanHelperWire::encode(answer(*request, Code::unsupportedVersion)), false};
    Reply reply;
    switch (request->method) {
    case Method::beginBoost:
        reply = begin(peer, *request);
        break;
    case Method::renewLease:
        reply = renew(peer, *request);
        break;
    case Method::restoreAutomatic:
        reply = restore(peer, *request);
        break;
    case Method::serviceStatus:
        reply = status(*request);
        break;
    case Method::fanCount:
        reply = fanCount(*request);
        break;
    case Method::fanReading:
        reply = fanReading(*request);
        break;
    }
    return {AdvancedFanHelperWire::encode(reply), false};
}

FanHelperService::Answer FanHelperService::oversizedLine() const {
    return {AdvancedFanHelperWire::encode(answer(Request{}, Code::malformedRequest)), true};
}

FanHelperService::Reply FanHelperService::begin(const FanHelperPeer& peer, const Request& request) {
    const auto profile = AdvancedFanHelperWire::profileFromValue(*request.profile);
    if (!profile || request.sessionID->isNull())
        return answer(request, Code::malformedRequest);
    // Checked before polkit is asked, so that no authorisation check ever runs during a boost.
    if (m_boost)
        return answer(request, Code::busy);
    // Fans that could not be handed back are not boosted again before they are.
    if (m_restorePending && !retryRestore())
        return answer(request, Code::hardwareFailure);
    if (!m_authoriser.mayStartBoost(peer)) {
        qCInfo(lcFanHelper) << "boost refused to pid" << peer.pid << "uid" << peer.uid;
        return answer(request, Code::callerRejected);
    }
    const double duration = *request.maximumDuration;
    const double lease = *request.leaseDuration;
    if (!(duration >= minimumDuration && duration <= maximumDuration) ||
        !(lease > 0 && lease <= maximumLease))
        return answer(request, Code::safetyConditionsNotMet);
    if (!m_controller) {
        qCInfo(lcFanHelper) << "boost refused:" << m_refusal;
        return answer(request, Code::safetyConditionsNotMet);
    }
    if (!m_record.mark()) {
        qCWarning(lcFanHelper) << "boost refused: the record of manual control could not be written";
        return answer(request, Code::safetyConditionsNotMet);
    }
    const double now = m_clock();
    m_boost = Boost{peer, *request.sessionID, *profile, now + duration, now + lease};
    if (!m_controller->boost(*profile, lease)) {
        endBoost("the fan hardware did not take the boost");
        return answer(request, Code::hardwareFailure);
    }
    qCInfo(lcFanHelper) << "boost" << uuidText(*request.sessionID) << "begun for pid" << peer.pid
                        << "for at most" << duration << "s";
    Reply reply = answer(request, Code::success);
    reply.state = 1;
    reply.sessionID = m_boost->sessionID;
    return reply;
}

FanHelperService::Reply FanHelperService::renew(const FanHelperPeer& peer, const Request& request) {
    if (!m_boost)
        return answer(request, Code::unknownSession);
    if (m_boost->owner.connection != peer.connection)
        return answer(request, Code::callerRejected);
    if (*request.sessionID != m_boost->sessionID)
        return answer(request, Code::unknownSession);
    const double now = m_clock();
    const double lease = *request.leaseDuration;
    if (!(lease > 0 && lease <= maximumLease && lease <= m_boost->deadline - now + renewalTolerance))
        return answer(request, Code::safetyConditionsNotMet);
    if (!m_controller->renew(m_boost->profile, lease)) {
        endBoost("the fan hardware did not take the renewal");
        return answer(request, Code::hardwareFailure);
    }
    m_boost->leaseEnd = std::min(now + lease, m_boost->deadline);
    Reply reply = answer(request, Code::success);
    reply.state = 1;
    reply.sessionID = m_boost->sessionID;
    return reply;
}

FanHelperService::Reply FanHelperService::restore(const FanHelperPeer& peer, const Request& request) {
    if (!AdvancedFanHelperWire::reasonFromValue(*request.reason))
        return answer(request, Code::malformedRequest);
    Reply reply = answer(request, Code::success);
    reply.state = 0;
    if (!m_boost) {
        // Asking again is always allowed while an earlier restore has not reached the hardware.
        if (m_restorePending && !retryRestore()) {
            reply.result = Code::hardwareFailure;
            reply.state = 1;
        }
        return reply;
    }
    // The owner, root, or another program of the owner's user (a terminal stopping the window's boost).
    const bool allowed =
        peer.connection == m_boost->owner.connection || peer.uid == 0 || peer.uid == m_boost->owner.uid;
    if (!allowed)
        return answer(request, Code::callerRejected);
    if (!endBoost("automatic control was asked for"))
        reply.result = Code::hardwareFailure;
    return reply;
}

FanHelperService::Reply FanHelperService::status(const Request& request) const {
    // Without a released fan interface the helper works but can never boost.
    Reply reply = answer(request, m_controller ? Code::success : Code::safetyConditionsNotMet);
    reply.state = m_boost || m_restorePending ? 1 : 0;
    return reply;
}

FanHelperService::Reply FanHelperService::fanCount(const Request& request) const {
    Reply reply = answer(request, Code::success);
    reply.count = m_controller ? m_controller->fanCount() : 0;
    return reply;
}

FanHelperService::Reply FanHelperService::fanReading(const Request& request) const {
    const int index = *request.fanIndex;
    if (!m_controller || index < 0 || index >= m_controller->fanCount())
        return answer(request, Code::malformedRequest);
    const auto reading = m_controller->reading(index);
    if (!reading)
        return answer(request, Code::hardwareFailure);
    Reply reply = answer(request, Code::success);
    reply.actual = reading->actualRPM;
    reply.target = reading->targetRPM;
    reply.minimum = reading->minimumRPM;
    reply.maximum = reading->maximumRPM;
    reply.manual = reading->isManual;
    return reply;
}

void FanHelperService::connectionClosed(quint64 connection) {
    if (m_boost && m_boost->owner.connection == connection)
        endBoost("the owner's connection closed");
}

void FanHelperService::expire() {
    if (!m_boost) {
        if (m_restorePending)
            retryRestore();
        return;
    }
    const double now = m_clock();
    if (now >= m_boost->deadline)
        endBoost("the maximum duration ended");
    else if (now >= m_boost->leaseEnd)
        endBoost("the lease ran out without renewal");
}

std::optional<double> FanHelperService::nextDeadline() const {
    if (!m_boost)
        return m_restorePending ? std::optional(m_clock() + restoreRetrySeconds) : std::nullopt;
    return std::min(m_boost->deadline, m_boost->leaseEnd);
}

void FanHelperService::restoreAutomatic(const char* why) {
    if (m_boost) {
        endBoost(why);
        return;
    }
    // Fans this helper never took over (a level set by hand, another tool) are left as they are.
    if (!m_controller || (!m_restorePending && !m_record.needsRestore()))
        return;
    if (handBack()) {
        m_restorePending = false;
        qCInfo(lcFanHelper) << "automatic control restored:" << why;
    } else {
        qCWarning(lcFanHelper) << "restoring automatic control failed (" << why << ")";
    }
}

bool FanHelperService::endBoost(const char* why) {
    m_boost.reset();
    const bool restored = m_controller && handBack();
    if (restored)
        qCInfo(lcFanHelper) << "automatic control restored:" << why;
    else
        qCWarning(lcFanHelper) << "restoring automatic control failed:" << why
                               << "(tried again every second)";
    // The boost is over either way; the fans are not until the hardware takes the restore.
    m_restorePending = m_controller && !restored;
    return restored;
}

bool FanHelperService::retryRestore() {
    if (!handBack())
        return false;
    m_restorePending = false;
    qCInfo(lcFanHelper) << "automatic control restored on a later attempt";
    return true;
}

bool FanHelperService::handBack() {
    if (!m_controller->restoreAutomatic())
        return false;
    m_record.clear();
    return true;
}

} // namespace kestrum
