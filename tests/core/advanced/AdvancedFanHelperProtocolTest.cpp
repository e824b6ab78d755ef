#include "advanced/AdvancedFanHelperProtocol.h"

#include <gtest/gtest.h>

using namespace kestrum;
using namespace kestrum::AdvancedFanHelperWire;

namespace {

const QUuid kRequest = QUuid::fromString(QStringLiteral("{11111111-2222-4333-8444-555555555555}"));
const QUuid kSession = QUuid::fromString(QStringLiteral("{6f1c0d2a-1b7e-4c55-9d0e-2a9e3c1b7f01}"));

AdvancedFanHelperEnvelope envelope(AdvancedFanHelperCommand command) {
    return {2, kRequest, std::move(command)};
}

Request beginRequest() {
    return request(envelope(
        {AdvancedFanHelperCommand::BeginBoost{kSession, AdvancedFanBoostProfile::maximumSafe, 600, 5}}));
}

Reply reply(int result, std::optional<int> state, std::optional<QUuid> session) {
    Reply r;
    r.protocolVersion = 2;
    r.requestID = kRequest;
    r.result = result;
    r.state = state;
    r.sessionID = session;
    return r;
}

} // namespace

TEST(AdvancedFanHelperWire, EverySixMessagesSurviveTheWire) {
    const std::vector<Request> requests = {
        beginRequest(),
        request(envelope({AdvancedFanHelperCommand::RenewLease{kSession, 3}})),
        request(envelope(
            {AdvancedFanHelperCommand::RestoreAutomatic{AdvancedFanAutomaticRestoreReason::invalidSession}})),
        statusRequest(kRequest),
        fanCountRequest(kRequest),
        fanReadingRequest(kRequest, 1),
    };
    for (const Request& r : requests) {
        const QByteArray line = encode(r);
        SCOPED_TRACE(line.toStdString());
        EXPECT_TRUE(line.endsWith('\n'));
        EXPECT_EQ(line.count('\n'), 1);
        EXPECT_EQ(decodeRequest(line), r);
    }
    // Profiles and reasons travel as numbers: maximumSafe 2, invalidSession the ninth reason.
    EXPECT_EQ(beginRequest().profile, 2);
    EXPECT_EQ(requests[2].reason, 9);
    EXPECT_FALSE(requests[2].sessionID);

    Reply reading = reply(0, std::nullopt, std::nullopt);
    reading.actual = 2400;
    reading.target = 4000;
    reading.manual = true;
    EXPECT_EQ(decodeReply(encode(reading)), reading);
}

TEST(AdvancedFanHelperWire, MalformedLinesAreRefused) {
    const QByteArray id = "\"requestID\":\"11111111-2222-4333-8444-555555555555\"";
    const char* session = "\"sessionID\":\"6f1c0d2a-1b7e-4c55-9d0e-2a9e3c1b7f01\"";
    const std::vector<QByteArray> requests = {
        "",
        "not json",
        "[1,2]",
        "{\"method\":\"selfDestruct\",\"version\":2," + id + "}",
        "{\"method\":\"serviceStatus\"," + id + "}",                           // no version
        "{\"method\":\"serviceStatus\",\"version\":2,\"requestID\":\"nope\"}", // bad id
        "{\"method\":\"serviceStatus\",\"version\":2.5," + id + "}",
        "{\"method\":\"beginBoost\",\"version\":2," + id + "," + session +
            ",\"profile\":1,\"leaseDuration\":5}",
        "{\"method\":\"renewLease\",\"version\":2," + id + ",\"leaseDuration\":5}",
        "{\"method\":\"restoreAutomatic\",\"version\":2," + id + "," + session + ",\"reason\":1}",
        "{\"method\":\"fanReading\",\"version\":2," + id + "}",
        "{\"method\":\"fanReading\",\"version\":2," + id + ",\"fanIndex\":\"1\"}",
        "{\"method\":\"serviceStatus\",\"version\":2," + id + ",\"pad\":\"" + QByteArray(5000, 'x') + "\"}",
    };
    for (const QByteArray& line : requests)
        EXPECT_FALSE(decodeRequest(line)) << line.left(120).toStdString();

    for (const QByteArray& line : std::vector<QByteArray>{
             "{\"version\":2," + id + "}", // no result
             "{\"version\":2," + id + ",\"result\":0,\"manual\":1}",
             "{\"version\":2," + id + ",\"result\":0,\"actual\":\"fast\"}",
         })
        EXPECT_FALSE(decodeReply(line)) << line.toStdString();
}

TEST(AdvancedFanHelperWire, CommandRepliesAreValidatedAgainstTheRequest) {
    using E = AdvancedFanHelperTransportError;
    const Request begin = beginRequest();
    const Request restore = request(envelope(
        {AdvancedFanHelperCommand::RestoreAutomatic{AdvancedFanAutomaticRestoreReason::userStopped}}));
    Reply otherVersion = reply(0, 1, kSession);
    otherVersion.protocolVersion = 1;
    Reply otherRequest = reply(0, 1, kSession);
    otherRequest.requestID = kSession;
    struct Case {
        const char* what;
        Request sent;
        Reply answer;
        std::optional<E> error; // absent: accepted
    } cases[] = {
        {"boosting with the session", begin, reply(0, 1, kSession), std::nullopt},
        {"automatic after a restore", restore, reply(0, 0, std::nullopt), std::nullopt},
        {"begin answered automatic", begin, reply(0, 0, std::nullopt), E::connectionInterrupted},
        {"begin without a session", begin, reply(0, 1, std::nullopt), E::connectionInterrupted},
        {"restore still boosting", restore, reply(0, 1, kSession), E::connectionInterrupted},
        {"another version", begin, otherVersion, E::connectionInterrupted},
        {"another request", begin, otherRequest, E::connectionInterrupted},
        {"caller rejected", begin, reply(3, std::nullopt, std::nullopt), E::callerRejected},
        {"safety refused", begin, reply(5, std::nullopt, std::nullopt), E::helperRejectedRequest},
        {"version unsupported", begin, reply(1, std::nullopt, std::nullopt), E::helperRejectedRequest},
        {"hardware failed", begin, reply(7, std::nullopt, std::nullopt), E::hardwareFailure},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<E> thrown;
        try {
            const AdvancedFanHelperAcknowledgement ack = validateCommandReply(c.sent, c.answer);
            EXPECT_EQ(ack.requestID, kRequest);
            EXPECT_EQ(ack.protocolVersion, 2);
        } catch (const AdvancedFanHelperTransportFailure& failure) {
            thrown = failure.error;
        }
        EXPECT_EQ(thrown, c.error);
    }
}
