#include "metrics/MetricsHttpServer.h"

#include "TestSupport.h"

#include <QTcpSocket>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace kestrum;
using namespace kestrum::test;

namespace {

// Sends raw bytes and collects the whole reply until the server closes.
struct Client {
    QTcpSocket socket;
    QByteArray reply;
    bool closed = false;
    explicit Client(quint16 port) {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { reply += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    QByteArray status() const { return reply.left(reply.indexOf("\r\n")); }
};

class ServerTest : public ::testing::Test {
protected:
    int pages = 0;
    MetricsHttpServer server{[this](ExpositionFormat format) {
                                 ++pages;
                                 return format == ExpositionFormat::openMetrics ? QByteArray("open\n# EOF\n")
                                                                                : QByteArray("text\n");
                             },
                             MetricsHttpServer::Limits{4, 1024, 300}};
    void SetUp() override { ASSERT_FALSE(server.listen(QHostAddress::LocalHost, 0)); }

    QByteArray exchange(const QByteArray& request) {
        Client client(server.port());
        spinUntil([&] { return client.socket.state() == QAbstractSocket::ConnectedState; });
        client.socket.write(request);
        EXPECT_TRUE(spinUntil([&] { return client.closed; }));
        return client.reply;
    }
};

} // namespace

TEST(MetricsListenAddress, PortAloneMeansLoopback) {
    struct Case {
        const char* text;
        const char* address; // null: refused
        quint16 port;
    } cases[] = {
        {"9464", "127.0.0.1", 9464}, {"0.0.0.0:9100", "0.0.0.0", 9100}, {"[::1]:9464", "::1", 9464},
        {"::1:9464", nullptr, 0},    {"localhost:9464", nullptr, 0},    {"9464x", nullptr, 0},
        {"127.0.0.1:0", nullptr, 0}, {"127.0.0.1:65536", nullptr, 0},   {"", nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto parsed = parseListenAddress(QLatin1String(c.text));
        ASSERT_EQ(parsed.has_value(), c.address != nullptr) << c.text;
        if (parsed) {
            EXPECT_EQ(parsed->first, QHostAddress(QLatin1String(c.address))) << c.text;
            EXPECT_EQ(parsed->second, c.port) << c.text;
        }
    }
}

TEST_F(ServerTest, ServesOnlyTheMetricsPath) {
    struct Case {
        const char* request;
        const char* status;
        const char* body; // null: not checked
    } cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK", "text\n"},
        {"GET /metrics?x=1 HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK", "text\n"},
        {"GET /metrics HTTP/1.1\r\nAccept: application/openmetrics-text; version=1.0.0\r\n\r\n",
         "HTTP/1.1 200 OK", "open\n# EOF\n"},
        {"HEAD /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK", ""},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 405 Method Not Allowed", ""},
        {"GET /other HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", nullptr},
        {"GET /metrics\r\n\r\n", "HTTP/1.1 400 Bad Request", ""},
        {"\x16\x03\x01garbage\r\n\r\n", "HTTP/1.1 400 Bad Request", ""},
    };
    for (const auto& c : cases) {
        const QByteArray reply = exchange(c.request);
        EXPECT_EQ(reply.left(reply.indexOf("\r\n")), QByteArray(c.status)) << c.request;
        if (c.body)
            EXPECT_EQ(reply.mid(reply.indexOf("\r\n\r\n") + 4), QByteArray(c.body)) << c.request;
    }
}

TEST_F(ServerTest, OversizedSlowAndTooManyClientsAreCutOff) {
    // Headers without end, beyond the limit.
    EXPECT_TRUE(exchange("GET /metrics HTTP/1.1\r\nX: " + QByteArray(4000, 'a')).startsWith("HTTP/1.1 431"));
    // A client that never finishes its request is closed after the timeout, with nothing served.
    Client slow(server.port());
    spinUntil([&] { return slow.socket.state() == QAbstractSocket::ConnectedState; });
    slow.socket.write("GET /metr");
    EXPECT_TRUE(spinUntil([&] { return slow.closed; }, 3000));
    EXPECT_TRUE(slow.reply.isEmpty());

    // Beyond four open connections new ones are closed at once; the held ones are still served.
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 4; ++i)
        held.push_back(std::make_unique<Client>(server.port()));
    ASSERT_TRUE(spinUntil([&] { return server.openConnections() == 4; }));
    Client extra(server.port());
    EXPECT_TRUE(spinUntil([&] { return extra.closed; }));
    EXPECT_TRUE(extra.reply.isEmpty());
    const int before = pages;
    for (auto& client : held)
        client->socket.write("GET /metrics HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(spinUntil(
        [&] { return std::all_of(held.begin(), held.end(), [](const auto& c) { return c->closed; }); }));
    for (auto& client : held)
        EXPECT_EQ(client->status(), QByteArray("HTTP/1.1 200 OK"));
    EXPECT_EQ(pages - before, 4);
    EXPECT_TRUE(spinUntil([&] { return server.openConnections() == 0; })) << "nothing lingers";
}
