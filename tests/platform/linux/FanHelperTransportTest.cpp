#include "UnixSocketFanHelperTransport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;
namespace Wire = AdvancedFanHelperWire;
using Error = AdvancedFanHelperTransportError;

namespace {

// A helper on the far end of a socketpair. For each request the script returns the line to answer,
// nothing to hang up, or an empty line to stay silent.
class FakeHelper {
public:
    using Script = std::function<std::optional<QByteArray>(const Wire::Request&)>;

    explicit FakeHelper(Script script) : m_script(std::move(script)) {}
    ~FakeHelper() {
        for (int fd : m_farEnds)
            ::shutdown(fd, SHUT_RDWR);
        for (std::thread& thread : m_threads)
            thread.join();
        for (int fd : m_farEnds)
            ::close(fd);
    }

    // What the transport calls to connect: every call is a fresh connection.
    int connect() {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return -1;
        const std::lock_guard lock(m_mutex);
        m_farEnds.push_back(pair[1]);
        m_threads.emplace_back([this, fd = pair[1]] { serve(fd); });
        return pair[0];
    }

    std::vector<Wire::Request> received() const {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }
    int connections() const {
        const std::lock_guard lock(m_mutex);
        return int(m_farEnds.size());
    }

private:
    void serve(int fd) {
        QByteArray pending;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0)
                return;
            pending.append(buffer, n);
            for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
                const auto request = Wire::decodeRequest(QByteArrayView(pending.constData(), end + 1));
                pending.remove(0, end + 1);
                if (!request)
                    return;
                std::optional<QByteArray> answer;
                {
                    const std::lock_guard lock(m_mutex);
                    m_received.push_back(*request);
                }
                answer = m_script(*request);
                if (!answer) {
                    ::shutdown(fd, SHUT_RDWR);
                    return;
                }
                if (!answer->isEmpty()) [[maybe_unused]]
                    auto sent = ::send(fd, answer->constData(), size_t(answer->size()), MSG_NOSIGNAL);
            }
        }
    }

    Script m_script;
    mutable std::mutex m_mutex;
    std::vector<int> m_farEnds;
    std::vector<std::thread> m_threads;
    std::vector<Wire::Request> m_received;
};

Wire::Reply answerTo(const Wire::Request& request, int result = 0) {
    Wire::Reply reply;
    reply.protocolVersion = 2;
    reply.requestID = request.requestID;
    reply.result = result;
    return reply;
}

// The helper as it should answer: an automatic fan pair and boosts that it acknowledges.
std::optional<QByteArray> wellBehaved(const Wire::Request& request) {
    Wire::Reply reply = answerTo(request);
    switch (request.method) {
    case Wire::Method::serviceStatus:
    case Wire::Method::restoreAutomatic:
        reply.state = 0;
        break;
    case Wire::Method::beginBoost:
    case Wire::Method::renewLease:
        reply.state = 1;
        reply.sessionID = request.sessionID;
        break;
    case Wire::Method::fanCount:
        reply.count = 2;
        break;
    case Wire::Method::fanReading:
        reply.actual = 2000 + 100 * request.fanIndex.value_or(0);
        reply.target = 2500;
        reply.minimum = 1200;
        reply.maximum = 6200;
        reply.manual = false;
        break;
    }
    return Wire::encode(reply);
}

std::unique_ptr<UnixSocketFanHelperTransport> transportTo(FakeHelper& helper, bool peerTrusted = true) {
    return std::make_unique<UnixSocketFanHelperTransport>([&helper] { return helper.connect(); },
                                                          [peerTrusted](const FanHelperPeer& peer) {
                                                              // A socketpair's peer is this very process.
                                                              return peerTrusted && peer.pid == ::getpid();
                                                          },
                                                          200);
}

AdvancedFanHelperEnvelope beginEnvelope(QUuid session) {
    return {2, QUuid::createUuid(),
            AdvancedFanHelperCommand{
                AdvancedFanHelperCommand::BeginBoost{session, AdvancedFanBoostProfile::balanced, 60, 5}}};
}

std::optional<Error> errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AdvancedFanHelperTransportFailure& failure) {
        return failure.error;
    }
    return std::nullopt;
}

} // namespace

TEST(FanHelperTransport, TalksToAWellBehavedHelper) {
    FakeHelper helper(wellBehaved);
    auto transport = transportTo(helper);
    EXPECT_EQ(transport->serviceStatus(), (AdvancedFanHelperServiceStatus{0, 0}));
    const auto fans = transport->fanReadings();
    ASSERT_EQ(fans.size(), 2u);
    EXPECT_EQ(fans[1].index, 1);
    EXPECT_EQ(fans[1].actualRPM, 2100);
    EXPECT_EQ(fans[1].maximumRPM, 6200);
    const QUuid session = QUuid::createUuid();
    const auto envelope = beginEnvelope(session);
    const auto acknowledgement = transport->execute(envelope);
    EXPECT_EQ(acknowledgement.requestID, envelope.requestID);
    EXPECT_EQ(acknowledgement.state, AdvancedFanHelperReportedState::boostingSession(session));
    // One connection carried everything.
    EXPECT_EQ(helper.connections(), 1);
}

TEST(FanHelperTransport, EveryWayAHelperCanMisbehaveIsALostConnection) {
    struct Case {
        const char* name;
        FakeHelper::Script script;
    };
    const std::vector<Case> cases = {
        {"hangs up", [](const Wire::Request&) { return std::nullopt; }},
        {"stays silent", [](const Wire::Request&) { return QByteArray(); }},
        {"answers garbage", [](const Wire::Request&) { return QByteArray("{\"protocolVersion\":\n"); }},
        {"answers another request",
         [](const Wire::Request& request) {
             Wire::Request other = request;
             other.requestID = QUuid::createUuid();
             return wellBehaved(other);
         }},
        {"answers version 1",
         [](const Wire::Request& request) {
             Wire::Reply reply = answerTo(request);
             reply.protocolVersion = 1;
             reply.state = 1;
             reply.sessionID = request.sessionID;
             return Wire::encode(reply);
         }},
        {"acknowledges without a session",
         [](const Wire::Request& request) {
             Wire::Reply reply = answerTo(request);
             reply.state = 1;
             return Wire::encode(reply);
         }},
        {"sends a line without end", [](const Wire::Request&) { return QByteArray(8192, 'x'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHelper helper(c.script);
        auto transport = transportTo(helper);
        EXPECT_EQ(errorOf([&] { transport->execute(beginEnvelope(QUuid::createUuid())); }),
                  Error::connectionInterrupted);
        // A doubtful stream is never reused: the next request opens a fresh connection.
        errorOf([&] { transport->execute(beginEnvelope(QUuid::createUuid())); });
        EXPECT_EQ(helper.connections(), 2);
    }
}

TEST(FanHelperTransport, RefusalsMapToTheirErrors) {
    const std::vector<std::pair<int, Error>> cases = {
        {1, Error::helperRejectedRequest}, {3, Error::callerRejected},  {5, Error::helperRejectedRequest},
        {6, Error::helperRejectedRequest}, {7, Error::hardwareFailure}, {9, Error::helperRejectedRequest},
    };
    for (const auto& [code, expected] : cases) {
        SCOPED_TRACE(code);
        FakeHelper helper(
            [code](const Wire::Request& request) { return Wire::encode(answerTo(request, code)); });
        auto transport = transportTo(helper);
        EXPECT_EQ(errorOf([&] { transport->execute(beginEnvelope(QUuid::createUuid())); }), expected);
    }
}

TEST(FanHelperTransport, AnUntrustedPeerHearsNothing) {
    FakeHelper helper(wellBehaved);
    auto transport = transportTo(helper, false);
    EXPECT_EQ(errorOf([&] { transport->serviceStatus(); }), Error::callerRejected);
    EXPECT_TRUE(helper.received().empty());
}

TEST(FanHelperTransport, AMissingSocketMeansNotInstalled) {
    const std::vector<std::pair<int, Error>> cases = {
        {ENOENT, Error::notInstalled},
        {ECONNREFUSED, Error::notInstalled},
        {EACCES, Error::connectionInterrupted},
    };
    for (const auto& [error, expected] : cases) {
        UnixSocketFanHelperTransport transport(
            [error = error] {
                errno = error;
                return -1;
            },
            [](const FanHelperPeer&) { return true; }, 200);
        EXPECT_EQ(errorOf([&] { transport.serviceStatus(); }), expected) << error;
    }
    QTemporaryDir folder;
    errno = 0;
    EXPECT_EQ(UnixSocketFanHelperTransport::connectToPath(folder.filePath(QStringLiteral("absent.sock"))),
              -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(FanHelperTransport, OnlyRootRunningTheInstalledHelperIsTrusted) {
    QTemporaryDir proc;
    const QString helperPath = QStringLiteral("/usr/libexec/kestrum-fan-helper");
    const auto link = [&](int pid, const QString& target) {
        QDir(proc.path()).mkpath(QString::number(pid));
        QFile::link(target, proc.filePath(QStringLiteral("%1/exe").arg(pid)));
    };
    link(10, helperPath);
    link(11, QStringLiteral("/tmp/kestrum-fan-helper"));
    link(12, helperPath + QStringLiteral(" (deleted)"));
    const struct {
        FanHelperPeer peer;
        bool trusted;
    } cases[] = {
        {{10, 0}, true},     // root, the installed program
        {{10, 1000}, false}, // the right program under a user's id
        {{11, 0}, false},    // root, a copy elsewhere
        {{12, 0}, false},    // the program was replaced while it ran
        {{13, 0}, false},    // no such process
        {{1, 0}, true},      // systemd, holding the socket-activated helper's socket
        {{1, 1000}, false},  {{0, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnixSocketFanHelperTransport::isInstalledHelper(c.peer, proc.path(), helperPath), c.trusted)
            << c.peer.pid << " " << c.peer.uid;
}

TEST(FanHelperTransport, ALostConnectionMidBoostEndsWithAnEmergencyRestore) {
    std::atomic<bool> dropRenewals = true;
    FakeHelper helper([&](const Wire::Request& request) -> std::optional<QByteArray> {
        if (request.method == Wire::Method::renewLease && dropRenewals)
            return std::nullopt;
        return wellBehaved(request);
    });
    auto transport = std::shared_ptr<UnixSocketFanHelperTransport>(transportTo(helper));
    AdvancedFanControlCoordinator coordinator(transport, AdvancedFanCompatibilityCatalog::releaseRecords());
    AdvancedFanSafetyContext context;
    context.modelIdentifier = QStringLiteral("thinkpad");
    context.kernelMajorVersion = 6;
    context.kernelSeries = {6, 1};
    context.helperTrust = AdvancedFanHelperTrust::authenticated;
    context.requiredSensorsAvailable = true;
    context.thermalCondition = AdvancedFanThermalCondition::nominal;
    const QUuid session = QUuid::createUuid();
    EXPECT_EQ(
        coordinator.requestBoost({session, AdvancedFanBoostProfile::maximumSafe, 60}, context, 100).result(),
        AdvancedFanControlResult::boostStarted(session));
    EXPECT_EQ(coordinator.receiveHeartbeat(session, 102, AdvancedFanThermalCondition::nominal).result(),
              AdvancedFanControlResult::transportFailure(Error::connectionInterrupted));
    const auto received = helper.received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[2].method, Wire::Method::restoreAutomatic);
    EXPECT_EQ(received[2].reason, Wire::reasonValue(AdvancedFanAutomaticRestoreReason::communicationLost));
    EXPECT_EQ(helper.connections(), 2);
    EXPECT_EQ(coordinator.activeSessionID().result(), std::nullopt);
}
