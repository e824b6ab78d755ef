#include "FanHelperService.h"

#include "TestSupport.h"
#include "foundation/Uuid.h"

#include <gtest/gtest.h>
#include <set>

using namespace kestrum;
using namespace kestrum::AdvancedFanHelperWire;
using kestrum::test::copyFixture;
using kestrum::test::readFile;

namespace {

namespace Code = AdvancedFanHelperResultCode;

struct FakeAuthoriser final : FanHelperCallerAuthorising {
    std::set<quint64> refusedConnections;
    int asked = 0;
    bool mayStartBoost(const FanHelperPeer& peer) override {
        ++asked;
        return !refusedConnections.contains(peer.connection);
    }
};

const FanHelperPeer owner{1, 4001, 1000};
const FanHelperPeer ownersTerminal{2, 4002, 1000};
const FanHelperPeer otherUser{3, 4003, 1001};
const FanHelperPeer root{4, 1, 0};

Request beginRequest(QUuid session, int profile = 2, double duration = 600, double lease = 5) {
    AdvancedFanHelperEnvelope envelope{
        2,
        newUuid(),
        {AdvancedFanHelperCommand::BeginBoost{session, *profileFromValue(profile), duration, lease}}};
    Request request = AdvancedFanHelperWire::request(envelope);
    request.profile = profile;
    return request;
}

Request renewRequest(QUuid session, double lease = 5) {
    return AdvancedFanHelperWire::request(
        {2, newUuid(), {AdvancedFanHelperCommand::RenewLease{session, lease}}});
}

Request restoreRequest() {
    return AdvancedFanHelperWire::request(
        {2,
         newUuid(),
         {AdvancedFanHelperCommand::RestoreAutomatic{AdvancedFanAutomaticRestoreReason::userStopped}}});
}

class FanHelperServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree = copyFixture(QStringLiteral("intel-mac"));
        controller = std::make_unique<SysfsAppleSmcFanController>(tree->path() + "/sys");
        service = std::make_unique<FanHelperService>(
            controller.get(), QString(), [this] { return now; }, authoriser);
    }

    Reply send(const FanHelperPeer& peer, const Request& request) {
        const auto answer = service->handleLine(peer, encode(request));
        EXPECT_FALSE(answer.closeConnection);
        const auto reply = decodeReply(answer.reply);
        EXPECT_TRUE(reply) << answer.reply.toStdString();
        EXPECT_EQ(reply->protocolVersion, 2);
        EXPECT_EQ(reply->requestID, request.requestID);
        return *reply;
    }

    QByteArray manual() const {
        return readFile(tree->path() + "/sys/devices/platform/applesmc.768/fan1_manual");
    }
    bool fansManual() const { return manual() == "1\n"; }

    void boost(const FanHelperPeer& peer = owner, double lease = 5, double duration = 600) {
        const Reply reply = send(peer, beginRequest(session, 2, duration, lease));
        ASSERT_EQ(reply.result, Code::success);
        ASSERT_EQ(reply.state, 1);
        ASSERT_EQ(reply.sessionID, session);
        ASSERT_TRUE(fansManual());
    }

    std::unique_ptr<QTemporaryDir> tree;
    std::unique_ptr<SysfsAppleSmcFanController> controller;
    FakeAuthoriser authoriser;
    std::unique_ptr<FanHelperService> service;
    double now = 1000;
    QUuid session = newUuid();
};

} // namespace

TEST_F(FanHelperServiceTest, BeginIsRefusedUnlessEveryConditionHolds) {
    struct Case {
        const char* name;
        Request request;
        int code;
    };
    Request version1 = beginRequest(session);
    version1.protocolVersion = 1;
    Request nullSession = beginRequest(QUuid());
    const Case cases[] = {
        {"version 1", version1, Code::unsupportedVersion},
        {"unknown profile", beginRequest(session, 3), Code::malformedRequest},
        {"null session", nullSession, Code::malformedRequest},
        {"duration under 30 s", beginRequest(session, 2, 29.99), Code::safetyConditionsNotMet},
        {"duration over 900 s", beginRequest(session, 2, 900.01), Code::safetyConditionsNotMet},
        {"lease of 0", beginRequest(session, 2, 600, 0), Code::safetyConditionsNotMet},
        {"negative lease", beginRequest(session, 2, 600, -1), Code::safetyConditionsNotMet},
        {"lease over 5 s", beginRequest(session, 2, 600, 5.01), Code::safetyConditionsNotMet},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Reply reply = send(owner, c.request);
        EXPECT_EQ(reply.result, c.code);
        EXPECT_FALSE(reply.sessionID);
        EXPECT_FALSE(service->isBoosting());
        EXPECT_EQ(manual(), "0\n");
    }

    authoriser.refusedConnections = {otherUser.connection};
    EXPECT_EQ(send(otherUser, beginRequest(session)).result, Code::callerRejected);
    EXPECT_FALSE(service->isBoosting());

    // Both ends of the allowed range pass.
    for (const double duration : {30.0, 900.0}) {
        EXPECT_EQ(send(owner, beginRequest(session, 1, duration, 5)).result, Code::success);
        EXPECT_EQ(send(owner, restoreRequest()).result, Code::success);
    }
}

TEST_F(FanHelperServiceTest, OneBoostAtATimeAndNoPolkitCheckWhileOneRuns) {
    boost();
    const int asked = authoriser.asked;
    EXPECT_EQ(send(otherUser, beginRequest(newUuid())).result, Code::busy);
    EXPECT_EQ(send(owner, beginRequest(session)).result, Code::busy);
    EXPECT_EQ(send(owner, beginRequest(newUuid())).result, Code::busy);
    EXPECT_EQ(authoriser.asked, asked);
    EXPECT_TRUE(fansManual());
}

TEST_F(FanHelperServiceTest, WithoutAReleasedFanInterfaceNothingBoosts) {
    FanHelperService bare(
        nullptr, QStringLiteral("no fan"), [this] { return now; }, authoriser);
    const Request status = statusRequest(newUuid());
    auto reply = decodeReply(bare.handleLine(root, encode(status)).reply);
    EXPECT_EQ(reply->result, Code::safetyConditionsNotMet);
    EXPECT_EQ(reply->state, 0);
    reply = decodeReply(bare.handleLine(root, encode(beginRequest(session))).reply);
    EXPECT_EQ(reply->result, Code::safetyConditionsNotMet);
    reply = decodeReply(bare.handleLine(root, encode(fanCountRequest(newUuid()))).reply);
    EXPECT_EQ(reply->count, 0);
    EXPECT_FALSE(bare.isBoosting());
}

TEST_F(FanHelperServiceTest, TheLeaseRunsOutWithoutRenewal) {
    boost(owner, 5);
    EXPECT_EQ(service->nextDeadline(), 1005);
    now = 1004.9;
    service->expire();
    ASSERT_TRUE(fansManual());
    const Reply renewed = send(owner, renewRequest(session, 5));
    EXPECT_EQ(renewed.result, Code::success);
    EXPECT_EQ(renewed.state, 1);
    EXPECT_EQ(renewed.sessionID, session);
    EXPECT_EQ(service->nextDeadline(), 1009.9);
    now = 1009.8;
    service->expire();
    EXPECT_TRUE(fansManual());
    now = 1009.9;
    service->expire();
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(manual(), "0\n");
    // The late heartbeat finds no session.
    EXPECT_EQ(send(owner, renewRequest(session)).result, Code::unknownSession);
}

TEST_F(FanHelperServiceTest, ALapsedLeaseEndsTheBoostBeforeALateRequestIsHandled) {
    boost(owner, 2);
    now = 1003; // the timer has not fired yet
    EXPECT_EQ(send(owner, renewRequest(session)).result, Code::unknownSession);
    EXPECT_EQ(manual(), "0\n");
}

TEST_F(FanHelperServiceTest, TheMaximumDurationEndsTheBoostWhateverTheRenewals) {
    boost(owner, 5, 30);
    for (now = 1004; now < 1028; now += 4)
        ASSERT_EQ(send(owner, renewRequest(session, 5)).result, Code::success) << now;
    now = 1028;
    // Only what is left of the 30 s may be leased (with a second for the clocks' difference).
    EXPECT_EQ(send(owner, renewRequest(session, 5)).result, Code::safetyConditionsNotMet);
    EXPECT_EQ(send(owner, renewRequest(session, 2)).result, Code::success);
    EXPECT_EQ(service->nextDeadline(), 1030);
    now = 1029.5;
    EXPECT_EQ(send(owner, renewRequest(session, 1.4)).result, Code::success);
    EXPECT_EQ(service->nextDeadline(), 1030); // never past the deadline
    now = 1030;
    service->expire();
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(manual(), "0\n");
}

TEST_F(FanHelperServiceTest, RenewalsBelongToTheOwningConnectionAndSession) {
    EXPECT_EQ(send(owner, renewRequest(session)).result, Code::unknownSession);
    boost();
    const std::tuple<const char*, FanHelperPeer, QUuid, int> cases[] = {
        {"same user, other connection", ownersTerminal, session, Code::callerRejected},
        {"other user", otherUser, session, Code::callerRejected},
        {"root", root, session, Code::callerRejected},
        {"owner, other session", owner, newUuid(), Code::unknownSession},
        {"lease 0", owner, session, Code::safetyConditionsNotMet},
    };
    for (const auto& [name, peer, id, code] : cases)
        EXPECT_EQ(send(peer, renewRequest(id, code == Code::safetyConditionsNotMet ? 0 : 5)).result, code)
            << name;
    EXPECT_TRUE(service->isBoosting());
    EXPECT_TRUE(fansManual());
}

TEST_F(FanHelperServiceTest, RestoreIsOpenToTheOwnerItsUserAndRoot) {
    const Reply idle = send(otherUser, restoreRequest());
    EXPECT_EQ(idle.result, Code::success);
    EXPECT_EQ(idle.state, 0);

    const std::tuple<const char*, FanHelperPeer, int> cases[] = {
        {"other user", otherUser, Code::callerRejected},
        {"owner", owner, Code::success},
        {"owner's terminal", ownersTerminal, Code::success},
        {"root", root, Code::success},
    };
    for (const auto& [name, peer, code] : cases) {
        SCOPED_TRACE(name);
        if (!service->isBoosting())
            boost();
        const Reply reply = send(peer, restoreRequest());
        EXPECT_EQ(reply.result, code);
        EXPECT_EQ(service->isBoosting(), code != Code::success);
        EXPECT_EQ(fansManual(), code != Code::success);
        if (code == Code::success) {
            EXPECT_EQ(reply.state, 0);
            EXPECT_FALSE(reply.sessionID);
        }
    }
}

TEST_F(FanHelperServiceTest, TheOwnersConnectionClosingRestoresAtOnce) {
    boost();
    service->connectionClosed(ownersTerminal.connection);
    EXPECT_TRUE(fansManual());
    service->connectionClosed(owner.connection);
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(manual(), "0\n");
}

TEST_F(FanHelperServiceTest, StatusCountAndReadings) {
    Request status = statusRequest(newUuid());
    EXPECT_EQ(send(otherUser, status).state, 0);
    boost();
    const Reply boosting = send(otherUser, status);
    EXPECT_EQ(boosting.result, Code::success);
    EXPECT_EQ(boosting.state, 1);

    EXPECT_EQ(send(otherUser, fanCountRequest(newUuid())).count, 1);
    const Reply reading = send(otherUser, fanReadingRequest(newUuid(), 0));
    EXPECT_EQ(reading.result, Code::success);
    EXPECT_EQ(reading.actual, 1299);
    EXPECT_EQ(reading.target, 6199);
    EXPECT_EQ(reading.minimum, 1300);
    EXPECT_EQ(reading.maximum, 6199);
    EXPECT_EQ(reading.manual, true);
    EXPECT_EQ(send(otherUser, fanReadingRequest(newUuid(), 1)).result, Code::malformedRequest);
}

TEST_F(FanHelperServiceTest, MalformedLinesAreRefusedAndCloseTheConnection) {
    const QUuid id = newUuid();
    const std::pair<QByteArray, QUuid> cases[] = {
        {"not json", QUuid()},
        {"{\"method\":\"launch\",\"version\":2,\"requestID\":\"" + uuidText(id).toLatin1() + "\"}", id},
        {"{\"method\":\"fanReading\",\"version\":2,\"requestID\":\"" + uuidText(id).toLatin1() + "\"}", id},
        {"{\"method\":\"beginBoost\",\"version\":2}", QUuid()},
        {"[1,2]", QUuid()},
    };
    for (const auto& [line, echoed] : cases) {
        const auto answer = service->handleLine(owner, line);
        EXPECT_TRUE(answer.closeConnection) << line.toStdString();
        const auto reply = decodeReply(answer.reply);
        ASSERT_TRUE(reply) << line.toStdString();
        EXPECT_EQ(reply->result, Code::malformedRequest);
        EXPECT_EQ(reply->protocolVersion, 2);
        EXPECT_EQ(reply->requestID, echoed);
    }
    const auto oversized = decodeReply(service->oversizedLine().reply);
    EXPECT_EQ(oversized->result, Code::malformedRequest);
    EXPECT_TRUE(service->oversizedLine().closeConnection);
}

TEST_F(FanHelperServiceTest, HardwareThatRefusesTheBoostIsHandedBack) {
    const QString fan = tree->path() + "/sys/devices/platform/applesmc.768/fan1_";
    // The target is taken but manual mode is not: the fan must not be left half-configured.
    QFile::remove(fan + "manual");
    ASSERT_TRUE(QDir().mkdir(fan + "manual"));
    const Reply reply = send(owner, beginRequest(session));
    EXPECT_EQ(reply.result, Code::hardwareFailure);
    EXPECT_FALSE(reply.sessionID);
    // The restore could not be written either: the helper keeps saying so and keeps trying.
    EXPECT_TRUE(service->isBoosting());
    EXPECT_EQ(send(owner, statusRequest(newUuid())).state, 1);
    EXPECT_EQ(send(otherUser, restoreRequest()).result, Code::hardwareFailure);
    ASSERT_TRUE(service->nextDeadline());
    QDir().rmdir(fan + "manual");
    kestrum::test::writeFile(fan + "manual", "1\n");
    service->expire();
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(manual(), "0\n");
    EXPECT_EQ(send(owner, statusRequest(newUuid())).state, 0);
}

TEST_F(FanHelperServiceTest, StoppingTheHelperRestoresAutomaticControl) {
    boost();
    service->restoreAutomatic("stopping");
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(manual(), "0\n");

    // At start-up, with no boost known, a fan left manual by a previous helper is released too.
    kestrum::test::writeFile(tree->path() + "/sys/devices/platform/applesmc.768/fan1_manual", "1\n");
    service->restoreAutomatic("starting");
    EXPECT_EQ(manual(), "0\n");
}

// With a record of manual control, the helper hands back only fans it took over: a fan set to manual by
// hand is left alone at start-up and at exit, while one a crashed helper left boosting is restored. A
// record that cannot be written refuses the boost before the fans are touched.
TEST_F(FanHelperServiceTest, OnlyFansTheHelperTookOverAreHandedBack) {
    QTemporaryDir run;
    const QString recordPath = run.filePath(QStringLiteral("kestrum-fan-helper/manual-control"));
    const auto helper = [&](const QString& path) {
        return std::make_unique<FanHelperService>(
            controller.get(), QString(), [this] { return now; }, authoriser,
            FanHelperManualControlRecord(path));
    };
    const QString manualFile = tree->path() + "/sys/devices/platform/applesmc.768/fan1_manual";

    // Set by hand, no record: neither starting nor stopping touches it.
    kestrum::test::writeFile(manualFile, "1\n");
    service = helper(recordPath);
    service->restoreAutomatic("the helper started");
    service->restoreAutomatic("the helper was asked to stop");
    EXPECT_EQ(manual(), "1\n");
    kestrum::test::writeFile(manualFile, "0\n");

    // A boost leaves the record while it runs and removes it once the fans are back.
    boost();
    EXPECT_TRUE(QFile::exists(recordPath));
    service->connectionClosed(owner.connection);
    EXPECT_EQ(manual(), "0\n");
    EXPECT_FALSE(QFile::exists(recordPath));

    // The helper dies mid-boost: the next one finds the record and restores.
    boost();
    service = helper(recordPath);
    EXPECT_EQ(manual(), "1\n");
    service->restoreAutomatic("the helper started");
    EXPECT_EQ(manual(), "0\n");
    EXPECT_FALSE(QFile::exists(recordPath));

    // Nowhere to write the record: no boost, fans untouched.
    kestrum::test::writeFile(run.filePath(QStringLiteral("file")), "");
    service = helper(run.filePath(QStringLiteral("file/manual-control")));
    const Reply refused = send(owner, beginRequest(session));
    EXPECT_EQ(refused.result, Code::safetyConditionsNotMet);
    EXPECT_EQ(manual(), "0\n");
    EXPECT_FALSE(service->isBoosting());
}

TEST(FanHelperServiceThinkpad, ALevelTheFirmwareRefusesIsAnsweredAsHardwareFailureAndRestored) {
    auto tree = copyFixture(QStringLiteral("thinkpad-t480"));
    std::vector<QByteArray> writes;
    const auto kernelWrite = fanHelperKernelFileWriter();
    ProcAcpiThinkpadFanController controller(
        tree->path() + "/proc", [&](const QString& path, const QByteArray& value) {
            writes.push_back(value);
            return !value.startsWith("level 7") && kernelWrite(path, value);
        });
    FakeAuthoriser authoriser;
    double now = 0;
    FanHelperService service(
        &controller, QString(), [&] { return now; }, authoriser);
    const Request begin = beginRequest(newUuid(), 2, 60, 5);
    const auto reply = decodeReply(service.handleLine(owner, encode(begin)).reply);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->result, Code::hardwareFailure);
    EXPECT_FALSE(service.isBoosting());
    const std::vector<QByteArray> expected = {"watchdog 6\n", "level 7\n", "level auto\n", "watchdog 0\n"};
    EXPECT_EQ(writes, expected);
    EXPECT_EQ(readFile(tree->path() + "/proc/acpi/ibm/fan"), "watchdog 0\n");
}

TEST(FanHelperServiceThinkpad, TheWatchdogStaysArmedUntilTheFanIsBackOnAutomatic) {
    auto tree = copyFixture(QStringLiteral("thinkpad-t480"));
    std::vector<QByteArray> writes;
    int refusals = 2; // the firmware refuses "level auto" twice, then takes it
    const auto kernelWrite = fanHelperKernelFileWriter();
    ProcAcpiThinkpadFanController controller(tree->path() + "/proc",
                                             [&](const QString& path, const QByteArray& value) {
                                                 writes.push_back(value);
                                                 if (value == "level auto\n" && refusals-- > 0)
                                                     return false;
                                                 return kernelWrite(path, value);
                                             });
    FakeAuthoriser authoriser;
    double now = 0;
    FanHelperService service(
        &controller, QString(), [&] { return now; }, authoriser);
    ASSERT_EQ(decodeReply(service.handleLine(owner, encode(beginRequest(newUuid(), 2, 60, 5))).reply)->result,
              Code::success);
    service.connectionClosed(owner.connection);
    EXPECT_EQ(writes.back(), "level auto\n"); // refused, and the watchdog left armed
    EXPECT_TRUE(service.isBoosting());
    now += 1;
    service.expire(); // refused again
    now += 1;
    service.expire(); // taken: now the watchdog may go
    EXPECT_FALSE(service.isBoosting());
    const std::vector<QByteArray> tail(writes.end() - 4, writes.end());
    EXPECT_EQ(tail,
              (std::vector<QByteArray>{"level auto\n", "level auto\n", "level auto\n", "watchdog 0\n"}));
}
