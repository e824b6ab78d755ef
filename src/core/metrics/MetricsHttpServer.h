#pragma once

#include "MetricsPage.h"

#include <QHostAddress>
#include <QObject>
#include <functional>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace kestrum {

// "9464", "127.0.0.1:9464", "[::1]:9464", "0.0.0.0:9464": the port alone means loopback; any other
// address must be written out.
std::optional<std::pair<QHostAddress, quint16>> parseListenAddress(const QString& text);

// Serves the scrape page at /metrics over HTTP/1.1 on the thread it lives on, and nothing else: one
// request per connection, bounded request size, connection count and time, 404 for other paths and 405
// for methods other than GET and HEAD. Nothing runs while nobody scrapes.
class MetricsHttpServer : public QObject {
    Q_OBJECT
public:
    using PageProvider = std::function<QByteArray(ExpositionFormat)>;
    struct Limits {
        int maximumConnections = 16;
        qsizetype maximumRequestBytes = 8192;
        int requestTimeoutMs = 5000;
    };

    explicit MetricsHttpServer(PageProvider provider, QObject* parent = nullptr);
    MetricsHttpServer(PageProvider provider, Limits limits, QObject* parent = nullptr);
    ~MetricsHttpServer() override;

    // The reason in Turkish when the address cannot be listened on.
    std::optional<QString> listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    int openConnections() const { return m_open; }

private:
    void acceptConnections();
    void serve(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& status, const QByteArray& body,
                 const QByteArray& contentType, bool headOnly, const QByteArray& extraHeaders = {});

    PageProvider m_provider;
    Limits m_limits;
    QTcpServer* m_server;
    int m_open = 0;
};

} // namespace kestrum
