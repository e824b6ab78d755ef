#include "MetricsHttpServer.h"

#include "foundation/Logging.h"
#include "foundation/Translatable.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace kestrum {

std::optional<std::pair<QHostAddress, quint16>> parseListenAddress(const QString& text) {
    QString host = QStringLiteral("127.0.0.1");
    QString portText = text.trimmed();
    if (portText.startsWith(u'[')) {
        const qsizetype close = portText.indexOf(QStringLiteral("]:"));
        if (close < 0)
            return std::nullopt;
        host = portText.mid(1, close - 1);
        portText = portText.mid(close + 2);
    } else if (const qsizetype colon = portText.lastIndexOf(u':'); colon >= 0) {
        host = portText.left(colon);
        portText = portText.mid(colon + 1);
        if (host.contains(u':'))
            return std::nullopt; // an IPv6 address needs brackets
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    QHostAddress address;
    if (!ok || port == 0 || port > 65535 || !address.setAddress(host))
        return std::nullopt;
    return std::pair{address, static_cast<quint16>(port)};
}

MetricsHttpServer::MetricsHttpServer(PageProvider provider, QObject* parent)
    : MetricsHttpServer(std::move(provider), Limits{}, parent) {}

MetricsHttpServer::MetricsHttpServer(PageProvider provider, Limits limits, QObject* parent)
    : QObject(parent), m_provider(std::move(provider)), m_limits(limits), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &MetricsHttpServer::acceptConnections);
}

MetricsHttpServer::~MetricsHttpServer() = default;

std::optional<QString> MetricsHttpServer::listen(const QHostAddress& address, quint16 port) {
    if (m_server->listen(address, port))
        return std::nullopt;
    return trTemplate("Ölçüm sayfası \\(address) adresinde açılamadı: \\(reason)",
                      {address.toString() + u':' + QString::number(port), m_server->errorString()});
}

quint16 MetricsHttpServer::port() const {
    return m_server->serverPort();
}

void MetricsHttpServer::acceptConnections() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_open >= m_limits.maximumConnections) {
            // Over the limit: closed at once, so a flood costs nothing that lasts.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        serve(socket);
    }
}

void MetricsHttpServer::serve(QTcpSocket* socket) {
    socket->setReadBufferSize(m_limits.maximumRequestBytes + 1);
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, socket, [socket] { socket->abort(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, socket, [socket] { socket->deleteLater(); });
    timeout->start(m_limits.requestTimeoutMs);
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        if (socket->property("answered").toBool()) {
            socket->readAll();
            return;
        }
        *buffer += socket->readAll();
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0) {
            if (buffer->size() > m_limits.maximumRequestBytes)
                respond(socket, "431 Request Header Fields Too Large", {}, {}, false);
            return;
        }
        const QByteArray head = buffer->left(end);
        const qsizetype lineEnd = head.indexOf("\r\n");
        const QList<QByteArray> requestLine = head.left(lineEnd < 0 ? head.size() : lineEnd).split(' ');
        if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
            respond(socket, "400 Bad Request", {}, {}, false);
            return;
        }
        const QByteArray& method = requestLine[0];
        QByteArray path = requestLine[1];
        if (const qsizetype query = path.indexOf('?'); query >= 0)
            path.truncate(query);
        if (path != "/metrics") {
            respond(socket, "404 Not Found", "Not found\n", "text/plain; charset=utf-8", method == "HEAD");
            return;
        }
        if (method != "GET" && method != "HEAD") {
            respond(socket, "405 Method Not Allowed", {}, {}, false, "Allow: GET, HEAD\r\n");
            return;
        }
        QByteArray accept;
        for (const QByteArray& line : head.split('\n')) {
            if (line.trimmed().toLower().startsWith("accept:"))
                accept = line.mid(line.indexOf(':') + 1).trimmed();
        }
        const ExpositionFormat format = MetricsPage::negotiate(accept);
        respond(socket, "200 OK", m_provider(format), MetricsPage::contentType(format), method == "HEAD");
    });
}

void MetricsHttpServer::respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                                const QByteArray& contentType, bool headOnly,
                                const QByteArray& extraHeaders) {
    socket->setProperty("answered", true);
    QByteArray response = "HTTP/1.1 " + status +
                          "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\n" + extraHeaders;
    if (!contentType.isEmpty())
        response += "Content-Type: " + contentType + "\r\n";
    response += "\r\n";
    if (!headOnly)
        response += body;
    socket->write(response);
    socket->disconnectFromHost(); // closes once the response is written; the timeout bounds a slow reader
}

} // namespace kestrum
