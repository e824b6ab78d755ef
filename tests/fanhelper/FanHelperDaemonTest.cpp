#include "FanHelperDaemon.h"

#include "TestSupport.h"
#include "foundation/Uuid.h"

#include <QElapsedTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrum;
using namespace kestrum::AdvancedFanHelperWire;
using kestrum::test::copyFixture;
using kestrum::test::readFile;
using kestrum::test::spinUntil;

namespace {

struct AllowEveryone final : FanHelperCallerAuthorising {
    bool mayStartBoost(const FanHelperPeer&) override { return true; }
};

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

int connectTo(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(path);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Request beginRequest(double lease) {
    return AdvancedFanHelperWire::request(
        {2,
         newUuid(),
         {AdvancedFanHelperCommand::BeginBoost{newUuid(), AdvancedFanBoostProfile::maximumSafe, 600,
                                               lease}}});
}

// The helper on a real listening socket in a temporary folder, over a copy of the Intel-Mac tree.
class FanHelperDaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree = copyFixture(QStringLiteral("intel-mac"));
        controller = std::make_unique<SysfsAppleSmcFanController>(tree->path() + "/sys");
        service = std::make_unique<FanHelperService>(controller.get(), QString(), systemMonotonicClock(),
                                                     authoriser);
        socketPath = tree->path() + "/helper.sock";
        const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const sockaddr_un address = addressOf(socketPath);
        ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listening, 8), 0);
        daemon = std::make_unique<FanHelperDaemon>(listening, *service, systemMonotonicClock(), 300);
    }

    void TearDown() override {
        daemon.reset();
        for (const int fd : clients)
            ::close(fd);
    }

    int client() {
        const int fd = connectTo(socketPath);
        clients.push_back(fd);
        return fd;
    }

    // Runs the helper's loop until the client has an answer line (or the socket closed: empty).
    QByteArray exchange(int fd, const QByteArray& line) {
        EXPECT_EQ(::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL), line.size());
        QByteArray received;
        spinUntil([&] {
            char chunk[8192];
            const ssize_t count = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (count > 0)
                received.append(chunk, count);
            return received.endsWith('\n') || count == 0;
        });
        return received;
    }

    bool closedByHelper(int fd) {
        return spinUntil([&] {
            char byte;
            return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
        });
    }

    QByteArray manual() const {
        return readFile(tree->path() + "/sys/devices/platform/applesmc.768/fan1_manual");
    }

    std::unique_ptr<QTemporaryDir> tree;
    std::unique_ptr<SysfsAppleSmcFanController> controller;
    AllowEveryone authoriser;
    std::unique_ptr<FanHelperService> service;
    std::unique_ptr<FanHelperDaemon> daemon;
    QString socketPath;
    std::vector<int> clients;
};

} // namespace

TEST_F(FanHelperDaemonTest, AKilledClientsBoostIsHandedBackAtOnce) {
    const QByteArray begin = encode(beginRequest(5));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls here: the client boosts and then waits to be killed.
        const int fd = connectTo(socketPath);
        if (fd < 0 || ::send(fd, begin.constData(), size_t(begin.size()), MSG_NOSIGNAL) != begin.size())
            ::_exit(1);
        for (;;)
            ::pause();
    }
    const bool boosted = spinUntil([&] { return service->isBoosting() && manual() == "1\n"; });
    QElapsedTimer sinceKill;
    sinceKill.start();
    ::kill(child, SIGKILL);
    ASSERT_TRUE(boosted);
    // Well inside the 5 s lease, so that only the closed connection can have ended the boost.
    ASSERT_TRUE(spinUntil([&] { return manual() == "0\n"; }, 2500));
    const qint64 restoredAfter = sinceKill.nsecsElapsed() / 1000;
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(service->isBoosting());
    std::cout << "[ measured ] SIGKILL of the boosting client to automatic control: " << restoredAfter
              << " µs\n";
    RecordProperty("killToRestoreMicroseconds", int(restoredAfter));
}

TEST_F(FanHelperDaemonTest, TheLeaseTimerRestoresWhileTheClientStaysConnected) {
    const int fd = client();
    const auto reply = decodeReply(exchange(fd, encode(beginRequest(0.2))));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->result, AdvancedFanHelperResultCode::success);
    EXPECT_EQ(manual(), "1\n");
    EXPECT_TRUE(spinUntil([&] { return manual() == "0\n"; }, 3000));
    EXPECT_FALSE(service->isBoosting());
    EXPECT_EQ(daemon->connectionCount(), 1);
}

TEST_F(FanHelperDaemonTest, EachClientGetsItsAnswersInOrderAndBadLinesEndOnlyItsConnection) {
    const int first = client();
    const int second = client();
    const Request status = statusRequest(newUuid());
    const Request count = fanCountRequest(newUuid());
    // Two requests in one write, answered line by line.
    const QByteArray both = exchange(first, encode(status) + encode(count));
    QByteArray answers = both;
    if (answers.count('\n') < 2)
        answers += exchange(first, {});
    const QList<QByteArray> lines = answers.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(decodeReply(lines[0])->requestID, status.requestID);
    EXPECT_EQ(decodeReply(lines[1])->count, 1);

    const QByteArray oversized(maximumMessageBytes + 10, 'x');
    const auto refused = decodeReply(exchange(second, oversized));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->result, AdvancedFanHelperResultCode::malformedRequest);
    EXPECT_TRUE(closedByHelper(second));

    EXPECT_EQ(decodeReply(exchange(first, encode(status)))->result, AdvancedFanHelperResultCode::success);
    EXPECT_EQ(daemon->connectionCount(), 1);
}

TEST_F(FanHelperDaemonTest, IdleWithoutClientsOrBoost) {
    bool idle = false;
    QObject::connect(daemon.get(), &FanHelperDaemon::idle, [&] { idle = true; });
    const int fd = client();
    ASSERT_TRUE(spinUntil([&] { return daemon->connectionCount() == 1; }));
    ::close(fd);
    clients.clear();
    EXPECT_TRUE(spinUntil([&] { return idle; }, 3000));
}
