#pragma once

// An HTTPS server on 127.0.0.1 for the network tests and benchmarks, with certificates made for the run.
// It serves GET /__down?bytes=N (N zero bytes), accepts POST /__up, answers HEAD, and can be told to
// misbehave. It runs on a thread of its own, so tests may block their own thread while it serves.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace kestrum::test {

// A CA and a leaf certificate for 127.0.0.1/localhost signed by it, PEM.
struct TestCertificates {
    QByteArray caCertificate;
    QByteArray leafCertificate;
    QByteArray leafKey;
    // `hostName` for the leaf's subject alternative name (wrong-host tests); validity shifted by days.
    static TestCertificates make(const QString& hostName = QStringLiteral("127.0.0.1"), int notAfterDays = 30,
                                 int notBeforeDays = -1);
};

class LocalHttpsServer {
public:
    enum class Mode {
        normal,
        status,          // answer every request with `status`
        closeMidBody,    // announce the length, send half, close
        extraBytes,      // send more bytes than asked
        shortBody,       // one byte less than asked (length announced to match)
        hugeLength,      // announce an enormous Content-Length, send a little, close
        negativeLength,  // Content-Length: -5
        stall,           // accept, read, never answer
        dribble,         // answer one byte every `delayMs`
        redirectToHttp,  // 302 to http://…
        captivePortal,   // 200 with an HTML login page whatever was asked
        slow,            // wait `delayMs` before every answer
        closeUnanswered, // read the request, close without a word
        garbage,         // answer bytes that are not HTTP, then close
    };

    // One request as the server read it (the first 64 KiB of its body).
    struct Request {
        QByteArray method;
        QByteArray target;
        QList<QPair<QByteArray, QByteArray>> headers; // names lower-case
        QByteArray body;
    };

    explicit LocalHttpsServer(TestCertificates certificates = TestCertificates::make());
    ~LocalHttpsServer();

    quint16 port() const { return m_port; }
    QString baseUrl() const; // https://127.0.0.1:PORT
    QString caFile() const { return m_caFile; }

    void setMode(Mode mode, int status = 0, int delayMs = 0);
    // Answer requests number `first`… (counted from 1 after this call) with `status`; others normally.
    // `every` > 0 repeats the pattern: requests whose number modulo `every` is in [first, first + count).
    // `payloadOnly` leaves one-byte downloads (latency probes) out of the count and answers them normally:
    // when they go out among a round's streams depends on timing.
    void failRequests(int status, int first, int count, int every = 0, bool payloadOnly = false);
    // Header lines ("Name: value\r\n…") added to every answer.
    void setExtraHeaders(const QByteArray& lines);
    // Every request read so far, oldest first.
    QList<Request> requests() const;

    // What the server saw.
    int64_t bytesServed() const { return m_bytesServed.load(); }
    int64_t bytesReceived() const { return m_bytesReceived.load(); }
    int requestCount() const { return m_requests.load(); }
    int openConnections() const { return m_openConnections.load(); }

    struct State;
    // Counters the connections keep (on the server's thread).
    std::atomic<int64_t> m_bytesServed{0};
    std::atomic<int64_t> m_bytesReceived{0};
    std::atomic<int> m_requests{0};
    std::atomic<int> m_openConnections{0};

private:
    std::unique_ptr<QThread> m_thread;
    QObject* m_anchor = nullptr;
    std::shared_ptr<State> m_state;
    quint16 m_port = 0;
    QString m_caFile;
};

} // namespace kestrum::test
