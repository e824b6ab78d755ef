#include "LocalHttpsServer.h"

#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace kestrum::test {

namespace {

QByteArray pem(void (*write)(BIO*, void*), void* object) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio, object);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    QByteArray out(data, int(length));
    BIO_free(bio);
    return out;
}

void addExtension(X509* certificate, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

X509* makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial,
                      int notBeforeDays, int notAfterDays) {
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
    X509_gmtime_adj(X509_getm_notBefore(certificate), long(notBeforeDays) * 86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate), long(notAfterDays) * 86400);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                               -1, -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    (void)issuerKey;
    return certificate;
}

} // namespace

TestCertificates TestCertificates::make(const QString& hostName, int notAfterDays, int notBeforeDays) {
    EVP_PKEY* caKey = EVP_EC_gen("P-256");
    EVP_PKEY* leafKey = EVP_EC_gen("P-256");
    X509* ca = makeCertificate(caKey, "Kestrum Test CA", nullptr, nullptr, 1, -1, 365);
    addExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(ca, ca, NID_subject_key_identifier, "hash");
    X509_sign(ca, caKey, EVP_sha256());

    X509* leaf = makeCertificate(leafKey, "Kestrum Test Server", ca, caKey, 2, notBeforeDays, notAfterDays);
    const bool isAddress = !QHostAddress(hostName).isNull();
    QByteArray alternative = (isAddress ? "IP:" : "DNS:") + hostName.toLatin1();
    if (hostName == u"127.0.0.1")
        alternative += ",DNS:localhost";
    addExtension(leaf, ca, NID_subject_alt_name, alternative.constData());
    addExtension(leaf, ca, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(leaf, ca, NID_ext_key_usage, "serverAuth");
    X509_sign(leaf, caKey, EVP_sha256());

    TestCertificates out;
    out.caCertificate = pem([](BIO* b, void* o) { PEM_write_bio_X509(b, static_cast<X509*>(o)); }, ca);
    out.leafCertificate = pem([](BIO* b, void* o) { PEM_write_bio_X509(b, static_cast<X509*>(o)); }, leaf);
    out.leafKey = pem(
        [](BIO* b, void* o) {
            PEM_write_bio_PrivateKey(b, static_cast<EVP_PKEY*>(o), nullptr, nullptr, 0, nullptr, nullptr);
        },
        leafKey);
    X509_free(leaf);
    X509_free(ca);
    EVP_PKEY_free(leafKey);
    EVP_PKEY_free(caKey);
    return out;
}

struct LocalHttpsServer::State {
    LocalHttpsServer* owner = nullptr;
    QSslServer* server = nullptr;
    std::mutex mutex;
    Mode mode = Mode::normal;
    int status = 0;
    int delayMs = 0;
    int failStatus = 0, failFirst = 0, failCount = 0, failEvery = 0;
    bool failPayloadOnly = false;
    int numberedRequests = 0;
    QByteArray extraHeaders;
    QList<LocalHttpsServer::Request> requests;

    void keep(LocalHttpsServer::Request request) {
        std::lock_guard lock(mutex);
        requests.append(std::move(request));
    }
    QByteArray headerLines() {
        std::lock_guard lock(mutex);
        return extraHeaders;
    }

    struct Decision {
        Mode mode;
        int status;
        int delayMs;
    };
    Decision decide(const QByteArray& method, const QByteArray& target) {
        std::lock_guard lock(mutex);
        if (failStatus && failPayloadOnly && method == "GET" &&
            QUrlQuery(QUrl(QString::fromLatin1(target))).queryItemValue(QStringLiteral("bytes")) == u"1")
            return {mode, status, delayMs};
        const int number = ++numberedRequests;
        if (failStatus) {
            const int position = failEvery > 0 ? ((number - 1) % failEvery) + 1 : number;
            if (position >= failFirst && position < failFirst + failCount)
                return {Mode::status, failStatus, 0};
        }
        return {mode, status, delayMs};
    }
};

namespace {

const QByteArray& zeros() {
    static const QByteArray buffer(256 * 1024, '\0');
    return buffer;
}

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    default:
        return "Status";
    }
}

// One client connection: reads requests one after another and answers each.
class Connection : public QObject {
public:
    Connection(QSslSocket* socket, LocalHttpsServer::State* state, LocalHttpsServer* owner)
        : QObject(socket), m_socket(socket), m_state(state), m_owner(owner) {
        connect(socket, &QSslSocket::readyRead, this, [this] { onRead(); });
        connect(socket, &QSslSocket::bytesWritten, this, [this] { pump(); });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void onRead() {
        m_buffer += m_socket->readAll();
        for (;;) {
            if (!m_inBody) {
                const qsizetype end = m_buffer.indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                const QList<QByteArray> lines = m_buffer.left(end).split('\n');
                m_buffer.remove(0, end + 4);
                const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
                m_method = requestLine.value(0);
                m_target = requestLine.value(1);
                m_bodyLeft = 0;
                m_request = {m_method, m_target, {}, {}};
                for (const QByteArray& raw : lines.mid(1)) {
                    const QByteArray line = raw.trimmed();
                    const qsizetype colon = line.indexOf(':');
                    if (colon < 0)
                        continue;
                    const QByteArray name = line.left(colon).trimmed().toLower();
                    const QByteArray value = line.mid(colon + 1).trimmed();
                    m_request.headers.append({name, value});
                    if (name == "content-length")
                        m_bodyLeft = value.toLongLong();
                    if (name == "expect" && value.toLower() == "100-continue")
                        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
                }
                m_inBody = true;
            }
            const qsizetype take = qsizetype(std::min<int64_t>(m_bodyLeft, m_buffer.size()));
            m_bodyLeft -= take;
            m_owner->m_bytesReceived += take;
            if (const qsizetype room = kKeptBodyBytes - m_request.body.size(); room > 0)
                m_request.body.append(m_buffer.left(std::min(take, room)));
            m_buffer.remove(0, take);
            if (m_bodyLeft > 0)
                return;
            m_inBody = false;
            respond();
            if (m_buffer.isEmpty())
                return;
        }
    }

    void respond() {
        m_state->keep(std::move(m_request));
        ++m_owner->m_requests;
        const auto decision = m_state->decide(m_method, m_target);
        if (decision.mode == LocalHttpsServer::Mode::slow) {
            QTimer::singleShot(decision.delayMs, this, [this] {
                answer({LocalHttpsServer::Mode::normal, 0, 0});
            });
            return;
        }
        answer(decision);
    }

    void answer(const LocalHttpsServer::State::Decision& decision) {
        using M = LocalHttpsServer::Mode;
        const QUrl url(QString::fromLatin1(m_target));
        const int64_t asked = QUrlQuery(url).queryItemValue(QStringLiteral("bytes")).toLongLong();
        const bool head = m_method == "HEAD";
        switch (decision.mode) {
        case M::stall:
            return;
        case M::closeUnanswered:
            m_socket->disconnectFromHost();
            return;
        case M::garbage:
            m_socket->write("\x16\x03garbage, not HTTP at all\r\n\r\n");
            m_socket->disconnectFromHost();
            return;
        case M::status:
            return simple(decision.status, "limited");
        case M::redirectToHttp:
            return headers(302, 0,
                           "Location: http://127.0.0.1:" + QByteArray::number(m_owner->port()) + m_target +
                               "\r\n");
        case M::captivePortal:
            return simple(200, "<html><body>Sign in to the network</body></html>");
        case M::negativeLength:
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello");
            m_socket->disconnectFromHost();
            return;
        case M::hugeLength:
            m_socket->write("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\n0123456789");
            m_socket->disconnectFromHost();
            return;
        default:
            break;
        }
        if (head)
            return headers(200, 0);
        if (m_method == "POST" && url.path() == u"/__up")
            return simple(200, "ok");
        if (m_method != "GET" || url.path() != u"/__down" || asked < 0)
            return simple(404, "not found");
        int64_t length = asked;
        int64_t send = asked;
        if (decision.mode == M::extraBytes)
            length = send = asked + 1000;
        else if (decision.mode == M::shortBody)
            length = send = std::max<int64_t>(0, asked - 1);
        else if (decision.mode == M::closeMidBody)
            send = asked / 2;
        headers(200, length);
        m_remaining = send;
        m_closeAfter = decision.mode == M::closeMidBody;
        m_dribbling = decision.mode == M::dribble;
        if (m_dribbling) {
            auto* timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, [this, timer] {
                if (m_remaining <= 0) {
                    m_dribbling = false;
                    timer->deleteLater();
                    return;
                }
                m_socket->write(QByteArray(1, '\0'));
                --m_remaining;
                ++m_owner->m_bytesServed;
            });
            timer->start(std::max(1, decision.delayMs));
            return;
        }
        pump();
    }

    void pump() {
        // A dribbling answer goes out only through its timer, whatever the socket has room for.
        if (m_dribbling)
            return;
        while (m_remaining > 0 && m_socket->bytesToWrite() < 1024 * 1024) {
            const qsizetype n = qsizetype(std::min<int64_t>(m_remaining, zeros().size()));
            m_socket->write(zeros().constData(), n);
            m_remaining -= n;
            m_owner->m_bytesServed += n;
        }
        if (m_remaining == 0 && m_closeAfter) {
            m_closeAfter = false;
            m_socket->disconnectFromHost();
        }
    }

    void headers(int status, int64_t length, const QByteArray& extra = {}) {
        m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
                        "\r\nContent-Length: " + QByteArray::number(length) + "\r\n" +
                        m_state->headerLines() + extra + "\r\n");
    }

    void simple(int status, const QByteArray& body) {
        headers(status, body.size());
        if (m_method != "HEAD") {
            m_socket->write(body);
            m_owner->m_bytesServed += body.size();
        }
    }

    static constexpr qsizetype kKeptBodyBytes = 64 * 1024;

    QSslSocket* m_socket;
    LocalHttpsServer::State* m_state;
    LocalHttpsServer::Request m_request;
    LocalHttpsServer* m_owner;
    QByteArray m_buffer;
    QByteArray m_method;
    QByteArray m_target;
    int64_t m_bodyLeft = 0;
    bool m_inBody = false;
    int64_t m_remaining = 0;
    bool m_closeAfter = false;
    bool m_dribbling = false;
};

} // namespace

LocalHttpsServer::LocalHttpsServer(TestCertificates certificates) : m_state(std::make_shared<State>()) {
    static QTemporaryDir directory;
    static std::atomic<int> serial{0};
    m_caFile = directory.filePath(QStringLiteral("ca-%1.pem").arg(++serial));
    QFile file(m_caFile);
    if (file.open(QIODevice::WriteOnly))
        file.write(certificates.caCertificate);
    file.close();

    m_state->owner = this;
    m_thread = std::make_unique<QThread>();
    m_thread->start();
    QObject* anchor = new QObject;
    anchor->moveToThread(m_thread.get());
    m_anchor = anchor;
    QMetaObject::invokeMethod(
        anchor,
        [this, anchor, certificates] {
            auto* server = new QSslServer(anchor);
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setLocalCertificate(QSslCertificate(certificates.leafCertificate, QSsl::Pem));
            configuration.setPrivateKey(QSslKey(certificates.leafKey, QSsl::Ec, QSsl::Pem));
            configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
            server->setSslConfiguration(configuration);
            QObject::connect(server, &QSslServer::pendingConnectionAvailable, server, [this, server] {
                while (auto* socket = qobject_cast<QSslSocket*>(server->nextPendingConnection())) {
                    ++m_openConnections;
                    QObject::connect(socket, &QObject::destroyed, [this] { --m_openConnections; });
                    new Connection(socket, m_state.get(), this);
                }
            });
            server->listen(QHostAddress::LocalHost, 0);
            m_state->server = server;
            m_port = server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

LocalHttpsServer::~LocalHttpsServer() {
    // The server and its connections go on their own thread, before it stops.
    QMetaObject::invokeMethod(
        m_anchor, [anchor = m_anchor] { delete anchor; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

QString LocalHttpsServer::baseUrl() const {
    return QStringLiteral("https://127.0.0.1:%1").arg(m_port);
}

void LocalHttpsServer::setMode(Mode mode, int status, int delayMs) {
    std::lock_guard lock(m_state->mutex);
    m_state->mode = mode;
    m_state->status = status;
    m_state->delayMs = delayMs;
}

void LocalHttpsServer::failRequests(int status, int first, int count, int every, bool payloadOnly) {
    std::lock_guard lock(m_state->mutex);
    m_state->failPayloadOnly = payloadOnly;
    m_state->failStatus = status;
    m_state->failFirst = first;
    m_state->failCount = count;
    m_state->failEvery = every;
    m_state->numberedRequests = 0;
}

void LocalHttpsServer::setExtraHeaders(const QByteArray& lines) {
    std::lock_guard lock(m_state->mutex);
    m_state->extraHeaders = lines;
}

QList<LocalHttpsServer::Request> LocalHttpsServer::requests() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

} // namespace kestrum::test
