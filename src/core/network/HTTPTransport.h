#pragma once

#include <QByteArray>
#include <QException>
#include <QFuture>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <optional>
#include <stop_token>

namespace kestrum {

// One HTTPS request. Everything a caller may need: method, URL, headers, a body (given, or generated as
// zero bytes without holding it in memory), timeouts and a ceiling on the response body.
struct HTTPRequest {
    QByteArray method = "GET"; // GET, HEAD, POST, PUT, …
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int64_t zeroBodyBytes = -1; // ≥ 0: the body is this many zero bytes, produced while sending
    // The longest wait for the connection or for more data; the transfer fails when nothing moves for
    // this long.
    double idleTimeoutSeconds = 60;
    // The whole transfer, redirects included.
    double totalTimeoutSeconds = 60;
    // More body bytes than this end the transfer as soon as they arrive (announced or received); the
    // response then says so. Negative: no ceiling.
    int64_t maximumResponseBytes = -1;
    // false: the body is only counted (large downloads whose content nobody reads).
    bool keepBody = true;
    int maximumRedirects = 5;
};

// Seconds from the start of the transfer (the moment the client picked it up), as libcurl reports them.
struct HTTPTimings {
    double queuedSeconds = 0;       // waiting for a free transfer slot before the start
    double nameLookupSeconds = 0;   // resolver done
    double connectSeconds = 0;      // TCP connected (0 on a reused connection)
    double tlsHandshakeSeconds = 0; // TLS done (0 on a reused connection)
    double firstByteSeconds = 0;    // first response byte
    double totalSeconds = 0;
    bool operator==(const HTTPTimings&) const = default;
};

struct HTTPResponse {
    int statusCode = 0;
    int httpMajorVersion = 1; // 1 or 2
    QByteArray body;          // empty unless the request kept it
    int64_t bodyByteCount = 0;
    int64_t uploadedByteCount = 0;
    bool exceededByteLimit = false; // the body was cut off at the request's ceiling
    QUrl effectiveUrl;              // after redirects
    HTTPTimings timings;
    // The final response's header fields in order, names lower-case, values trimmed.
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first value of a header field (`name` lower-case); absent when the response has none.
    std::optional<QByteArray> header(const QByteArray& name) const {
        for (const auto& [key, value] : headers) {
            if (key == name)
                return value;
        }
        return std::nullopt;
    }
};

// A transfer that did not produce a response. Crosses QFuture boundaries intact.
class HTTPTransportError : public QException {
public:
    enum class Kind {
        cancelled,
        timedOut,
        couldNotResolveHost,
        couldNotConnect,
        tlsFailure,       // untrusted, expired or wrong-host certificate, handshake failure
        insecureRedirect, // a redirect (or the URL) to anything but https
        tooManyRedirects,
        brokenTransfer, // connection closed or reset mid-transfer, malformed reply
        invalidRequest,
        other
    };

    HTTPTransportError(Kind kind, int libraryCode, QString detail);
    Kind kind() const noexcept { return m_kind; }
    int libraryCode() const noexcept { return m_libraryCode; }
    const QString& detail() const noexcept { return m_detail; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    HTTPTransportError* clone() const override { return new HTTPTransportError(*this); }

private:
    Kind m_kind;
    int m_libraryCode;
    QString m_detail;
    QByteArray m_utf8;
};

QString kindName(HTTPTransportError::Kind kind);

// Sends requests; results arrive as futures that finish with the response (any status code) or with an
// HTTPTransportError. Requesting a stop on the token ends the transfer promptly with `cancelled`.
class HTTPTransporting {
public:
    virtual ~HTTPTransporting() = default;
    virtual QFuture<HTTPResponse> send(HTTPRequest request, std::stop_token stop = {}) = 0;
};

} // namespace kestrum
