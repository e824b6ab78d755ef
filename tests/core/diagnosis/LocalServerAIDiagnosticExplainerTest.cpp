#include "diagnosis/LocalServerAIDiagnosticExplainer.h"

#include "diagnosis/DiagnosticEvidenceEngine.h"
#include "foundation/KestrumError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <qcoro/qcorotask.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace kestrum;
using namespace std::chrono_literals;

namespace {

// A language-model server on 127.0.0.1 that answers each request as the test says. It serves one
// connection at a time on its own thread; every wait in it is bounded.
class FakeModelServer {
public:
    enum class Behaviour { answer, stall, streamForever, closeEarly, garbage };
    struct Reply {
        Behaviour behaviour = Behaviour::answer;
        int status = 200;
        QByteArray body;
    };
    struct Request {
        QByteArray method, target, body;
        QList<QPair<QByteArray, QByteArray>> headers;
    };
    using Handler = std::function<Reply(const Request&)>;

    explicit FakeModelServer(Handler handler) : m_handler(std::move(handler)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeModelServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    std::vector<Request> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    bool readable(int fd, int ms) const {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    // Whether the peer is still there (no orderly close or reset waiting).
    bool peerOpen(int fd) const {
        char byte;
        if (!readable(fd, 0))
            return true;
        return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
    }
    void sendAll(int fd, const QByteArray& data) const {
        qsizetype sent = 0;
        while (sent < data.size()) {
            const ssize_t n = ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += n;
        }
    }
    std::optional<Request> readRequest(int fd) const {
        QByteArray data;
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        qsizetype headerEnd = -1;
        qsizetype contentLength = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (headerEnd >= 0 && data.size() >= headerEnd + 4 + contentLength)
                break;
            if (!readable(fd, 50))
                continue;
            char buffer[65536];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return std::nullopt;
            data.append(buffer, n);
            if (headerEnd < 0 && (headerEnd = data.indexOf("\r\n\r\n")) >= 0) {
                for (const QByteArray& line : data.left(headerEnd).split('\n')) {
                    if (line.toLower().startsWith("content-length:"))
                        contentLength = line.mid(15).trimmed().toLongLong();
                }
            }
        }
        if (headerEnd < 0)
            return std::nullopt;
        Request request;
        const QList<QByteArray> lines = data.left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.first().trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.append(
                    {lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed()});
        }
        request.body = data.mid(headerEnd + 4, contentLength);
        return request;
    }
    void handle(int fd) {
        const std::optional<Request> request = readRequest(fd);
        if (!request)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(*request);
        }
        const Reply reply = m_handler(*request);
        const auto until = std::chrono::steady_clock::now() + 10s;
        switch (reply.behaviour) {
        case Behaviour::answer:
            sendAll(fd, "HTTP/1.1 " + QByteArray::number(reply.status) +
                            " X\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                            QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body);
            break;
        case Behaviour::stall:
            while (!m_stop && peerOpen(fd) && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(10ms);
            break;
        case Behaviour::streamForever:
            sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: application/x-ndjson\r\nTransfer-Encoding: "
                        "chunked\r\n\r\n");
            while (!m_stop && peerOpen(fd) && std::chrono::steady_clock::now() < until) {
                const QByteArray chunk = R"({"message":{"content":"THERMAL "}})"
                                         "\n";
                sendAll(fd, QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n");
            }
            break;
        case Behaviour::closeEarly:
            sendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n{\"choices\":[");
            break;
        case Behaviour::garbage: {
            static const char kGarbage[] = "\x00\x01garbage that is not HTTP\r\n\r\n";
            sendAll(fd, QByteArray(kGarbage, sizeof kGarbage - 1));
            break;
        }
        }
    }
    void serve() {
        while (!m_stop) {
            if (!readable(m_listener, 20))
                continue;
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            handle(fd);
            ::close(fd);
        }
    }

    Handler m_handler;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};

QByteArray openAIAnswer(const QString& content) {
    return QJsonDocument(QJsonObject{{QStringLiteral("choices"),
                                      QJsonArray{QJsonObject{
                                          {QStringLiteral("message"),
                                           QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")},
                                                       {QStringLiteral("content"), content}}}}}}})
        .toJson();
}

QByteArray ollamaAnswer(const QString& content) {
    return QJsonDocument(
               QJsonObject{{QStringLiteral("message"), QJsonObject{{QStringLiteral("content"), content}}},
                           {QStringLiteral("done"), true}})
        .toJson();
}

SanitizedDiagnosticContext thermalContext() {
    SanitizedDiagnosticContext context;
    context.hasLiveMeasurement = true;
    context.symptom = QStringLiteral("fan sürekli çalışıyor");
    return context;
}

std::vector<DiagnosticFinding>
thermalFindings(const QString& evidence = QStringLiteral("Isıl baskı yüksek.")) {
    DiagnosticFinding finding;
    finding.id = QStringLiteral("health-thermal-serious");
    finding.category = DiagnosticCategory::thermal;
    finding.severity = DiagnosticSeverity::attention;
    finding.title = QStringLiteral("Isı yüksek");
    finding.evidence = evidence;
    finding.interpretation = QStringLiteral("Yorum.");
    finding.recommendedActions = {QStringLiteral("Havalandırmayı kontrol et.")};
    return {finding};
}

struct Outcome {
    std::optional<QString> text;
    std::optional<DiagnosticCategory> category;
    std::optional<AIDiagnosticServiceError> error;
    bool cancelled = false;
};

Outcome explain(LocalServerAIDiagnosticExplainer& explainer,
                std::vector<DiagnosticFinding> findings = thermalFindings(), std::stop_token stop = {}) {
    Outcome outcome;
    QCoro::waitFor([&]() -> QCoro::Task<void> {
        try {
            const AIDiagnosticExplanation explanation =
                co_await explainer.explain(thermalContext(), findings, stop);
            outcome.text = explanation.narrative;
            outcome.category = explanation.category;
        } catch (const KestrumError& error) {
            outcome.error = aiDiagnosticServiceError(error);
        } catch (const CancellationError&) {
            outcome.cancelled = true;
        }
    }());
    return outcome;
}

AIDiagnosticAvailability availabilityOf(LocalServerAIDiagnosticExplainer& explainer) {
    return QCoro::waitFor(explainer.availability());
}

LocalLanguageModelLimits quickLimits() {
    LocalLanguageModelLimits limits;
    limits.availabilityTimeoutSeconds = 1;
    limits.explanationTimeoutSeconds = 1;
    limits.idleTimeoutSeconds = 1;
    limits.maximumResponseBytes = 64 * 1024;
    return limits;
}

std::optional<LocalLanguageModelServer> server(const QString& url, const char* api) {
    return LocalLanguageModelServer::make(url, QString::fromLatin1(api));
}

// Counts what would have been sent; nothing is.
class CountingTransport : public HTTPTransporting {
public:
    QFuture<HTTPResponse> send(HTTPRequest request, std::stop_token) override {
        requests.push_back(request);
        HTTPResponse response;
        response.statusCode = 200;
        response.body = R"({"data":[{"id":"m"}]})";
        return QtFuture::makeReadyFuture(response);
    }
    std::vector<HTTPRequest> requests;
};

} // namespace

TEST(LocalServerAIDiagnosticExplainer, ExplainsThroughBothAPIStylesWithOneRequest) {
    for (const char* api : {"openai", "ollama"}) {
        SCOPED_TRACE(api);
        const bool ollama = QByteArray(api) == "ollama";
        FakeModelServer fake([&](const FakeModelServer::Request& request) -> FakeModelServer::Reply {
            if (request.method == "GET")
                return {FakeModelServer::Behaviour::answer, 200,
                        ollama ? R"({"models":[{"name":"qwen2.5:0.5b"}]})"
                               : R"({"data":[{"id":"local.gguf"}]})"};
            // The model's own words never reach the user; only its label does.
            const QString answer = QStringLiteral(" thermal\n Cihaz arızalı değildir, 661-55016 ");
            return {FakeModelServer::Behaviour::answer, 200,
                    ollama ? ollamaAnswer(answer) : openAIAnswer(answer)};
        });
        LocalServerAIDiagnosticExplainer explainer(server(fake.url(), api),
                                                   LocalServerAIDiagnosticExplainer::makeDefaultTransport(),
                                                   systemHostAddressResolver(), quickLimits());
        EXPECT_EQ(availabilityOf(explainer).kind, AIDiagnosticAvailability::Case::availableOnDevice);
        const Outcome outcome = explain(explainer);
        ASSERT_TRUE(outcome.text) << (outcome.error ? rawValue(*outcome.error).toStdString() : "");
        EXPECT_EQ(outcome.category, DiagnosticCategory::thermal);
        EXPECT_TRUE(
            outcome.text->contains(QStringLiteral("Girilen belirti Termal kategorisiyle eşleştirildi.")));
        EXPECT_TRUE(outcome.text->contains(QStringLiteral("- Isı yüksek")));
        EXPECT_FALSE(outcome.text->contains(QStringLiteral("661-55016")));

        const auto requests = fake.requests();
        ASSERT_EQ(requests.size(), 2u) << "one look at the model list, one request for the explanation";
        EXPECT_EQ(requests[0].target, ollama ? "/api/tags" : "/v1/models");
        EXPECT_EQ(requests[1].method, "POST");
        EXPECT_EQ(requests[1].target, ollama ? "/api/chat" : "/v1/chat/completions");
        const QJsonObject body = QJsonDocument::fromJson(requests[1].body).object();
        EXPECT_EQ(body.value(u"stream"), QJsonValue(false));
        EXPECT_EQ(body.value(u"model").toString(), ollama ? u"qwen2.5:0.5b" : u"local.gguf");
        const QJsonArray messages = body.value(u"messages").toArray();
        ASSERT_EQ(messages.size(), 2);
        EXPECT_TRUE(messages[0]
                        .toObject()
                        .value(u"content")
                        .toString()
                        .startsWith(QStringLiteral("Sen Kestrum cihaz içi belirti sınıflandırıcısısın.")));
        EXPECT_TRUE(messages[1]
                        .toObject()
                        .value(u"content")
                        .toString()
                        .startsWith(QStringLiteral("KULLANICI BELİRTİSİ\nfan sürekli çalışıyor\n")));
        EXPECT_FALSE(body.contains(u"temperature"));
    }
}

TEST(LocalServerAIDiagnosticExplainer, BadAnswersGiveTheirErrors) {
    using B = FakeModelServer::Behaviour;
    struct Case {
        const char* name;
        FakeModelServer::Reply reply;
        std::optional<AIDiagnosticServiceError> error;
        std::vector<DiagnosticFinding> findings = thermalFindings();
    };
    const std::vector<Case> cases{
        {"slow beyond the timeout", {B::stall, 0, {}}, AIDiagnosticServiceError::modelUnavailable},
        {"empty content",
         {B::answer, 200, openAIAnswer(QStringLiteral("  \n"))},
         AIDiagnosticServiceError::emptyResponse},
        {"empty body", {B::answer, 200, {}}, AIDiagnosticServiceError::emptyResponse},
        {"two labels",
         {B::answer, 200, openAIAnswer(QStringLiteral("THERMAL or BATTERY"))},
         AIDiagnosticServiceError::invalidClassification},
        {"no label",
         {B::answer, 200, openAIAnswer(QStringLiteral("Fanınız bozuk olabilir."))},
         AIDiagnosticServiceError::invalidClassification},
        {"certainty in the assembled text",
         {B::answer, 200, openAIAnswer(QStringLiteral("THERMAL"))},
         AIDiagnosticServiceError::unsupportedCertainty,
         thermalFindings(QStringLiteral("Donanım arızası yoktur."))},
        {"garbage JSON", {B::answer, 200, "<html>not json</html>"}, AIDiagnosticServiceError::emptyResponse},
        {"not HTTP at all", {B::garbage, 0, {}}, AIDiagnosticServiceError::modelUnavailable},
        {"streams forever", {B::streamForever, 0, {}}, AIDiagnosticServiceError::emptyResponse},
        {"closes early", {B::closeEarly, 0, {}}, AIDiagnosticServiceError::modelUnavailable},
        {"model loading",
         {B::answer, 503, R"({"error":{"message":"Loading model"}})"},
         AIDiagnosticServiceError::modelUnavailable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModelServer fake([&](const FakeModelServer::Request&) { return c.reply; });
        LocalServerAIDiagnosticExplainer explainer(server(fake.url(), "openai"),
                                                   LocalServerAIDiagnosticExplainer::makeDefaultTransport(),
                                                   systemHostAddressResolver(), quickLimits());
        const Outcome outcome = explain(explainer, c.findings);
        EXPECT_FALSE(outcome.text);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(fake.requests().size(), 1u);
    }
}

TEST(LocalServerAIDiagnosticExplainer, AvailabilityFollowsTheServer) {
    using B = FakeModelServer::Behaviour;
    using C = AIDiagnosticAvailability::Case;
    struct Case {
        const char* name;
        const char* api;
        std::optional<QString> model;
        FakeModelServer::Reply reply;
        C expected;
        const char* reasonStart = "";
    };
    const std::vector<Case> cases{
        {"llama.cpp loading", "openai", {}, {B::answer, 503, "{}"}, C::modelNotReady},
        {"no model",
         "ollama",
         {},
         {B::answer, 200, R"({"models":[]})"},
         C::unavailable,
         "Yerel dil modeli sunucusunda yüklü bir model yok."},
        {"configured model missing",
         "ollama",
         QStringLiteral("llama3"),
         {B::answer, 200, R"({"models":[{"name":"qwen2.5:0.5b"}]})"},
         C::unavailable,
         "Ayarlanan model yerel dil modeli sunucusunda bulunamadı."},
        {"configured model with its tag",
         "ollama",
         QStringLiteral("qwen2.5"),
         {B::answer, 200, R"({"models":[{"name":"qwen2.5:latest"}]})"},
         C::availableOnDevice},
        {"not the API asked for",
         "openai",
         {},
         {B::answer, 404, "not found"},
         C::unavailable,
         "Yerel dil modeli sunucusu anlaşılır bir yanıt vermedi."},
        {"garbage list",
         "openai",
         {},
         {B::answer, 200, "[1,2"},
         C::unavailable,
         "Yerel dil modeli sunucusu anlaşılır bir yanıt vermedi."},
        {"slow",
         "openai",
         {},
         {B::stall, 0, {}},
         C::unavailable,
         "Yerel dil modeli sunucusu zamanında yanıt vermedi."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModelServer fake([&](const FakeModelServer::Request&) { return c.reply; });
        LocalServerAIDiagnosticExplainer explainer(
            LocalLanguageModelServer::make(fake.url(), QString::fromLatin1(c.api), c.model),
            LocalServerAIDiagnosticExplainer::makeDefaultTransport(), systemHostAddressResolver(),
            quickLimits());
        const AIDiagnosticAvailability availability = availabilityOf(explainer);
        EXPECT_EQ(availability.kind, c.expected);
        if (*c.reasonStart)
            EXPECT_TRUE(availability.reason.startsWith(QString::fromUtf8(c.reasonStart)))
                << availability.reason.toStdString();
    }
}

TEST(LocalServerAIDiagnosticExplainer, NothingConfiguredOrNobodyListening) {
    LocalServerAIDiagnosticExplainer none(std::nullopt, std::make_shared<CountingTransport>());
    const AIDiagnosticAvailability availability = availabilityOf(none);
    EXPECT_EQ(availability.kind, AIDiagnosticAvailability::Case::unavailable);
    EXPECT_TRUE(availability.explanation().startsWith(
        QStringLiteral("Yerel kanıt motoru çalışmaya devam eder. Ayrıntı: "
                       "Yerel dil modeli sunucusu ayarlanmadı")));
    EXPECT_EQ(explain(none).error, AIDiagnosticServiceError::modelUnavailable);

    quint16 port = 0;
    {
        FakeModelServer closed([](const FakeModelServer::Request&) { return FakeModelServer::Reply{}; });
        port = closed.port();
    }
    LocalServerAIDiagnosticExplainer refused(
        server(QStringLiteral("http://127.0.0.1:%1").arg(port), "openai"),
        LocalServerAIDiagnosticExplainer::makeDefaultTransport(), systemHostAddressResolver(), quickLimits());
    EXPECT_TRUE(
        availabilityOf(refused).reason.startsWith(QStringLiteral("Yerel dil modeli sunucusu çalışmıyor")));
    EXPECT_EQ(explain(refused).error, AIDiagnosticServiceError::modelUnavailable);
}

TEST(LocalServerAIDiagnosticExplainer, RefusesAddressesOffThisMachineBeforeConnecting) {
    struct Case {
        const char* url;
        std::vector<const char*> resolved; // what the name stands for
        bool allowed;
    };
    const Case cases[] = {
        {"http://192.0.2.10:8080", {}, false},
        {"http://[2001:db8::1]:8080", {}, false},
        {"http://0.0.0.0:8080", {}, false},
        {"http://model.example:8080", {"93.184.216.34"}, false},
        {"http://sneaky.example:8080", {"127.0.0.1", "10.0.0.7"}, false},
        {"http://nowhere.invalid:8080", {}, false},
        {"http://127.0.0.2:8080", {}, true},
        {"http://[::1]:8080", {}, true},
        {"http://localhost:11434", {"::1", "127.0.0.1"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        int lookups = 0;
        const HostAddressResolver resolver = [&](const QString&) {
            ++lookups;
            std::vector<QHostAddress> addresses;
            for (const char* text : c.resolved)
                addresses.emplace_back(QString::fromLatin1(text));
            return addresses;
        };
        const auto transport = std::make_shared<CountingTransport>();
        LocalServerAIDiagnosticExplainer explainer(server(QString::fromLatin1(c.url), ""), transport,
                                                   resolver);
        const AIDiagnosticAvailability availability = availabilityOf(explainer);
        const Outcome outcome = explain(explainer);
        if (!c.allowed) {
            EXPECT_TRUE(transport->requests.empty());
            EXPECT_EQ(availability.kind, AIDiagnosticAvailability::Case::unavailable);
            EXPECT_TRUE(availability.reason.startsWith(
                QStringLiteral("Ayarlanan yerel dil modeli adresi bu bilgisayarı göstermiyor")));
            EXPECT_EQ(outcome.error, AIDiagnosticServiceError::modelUnavailable);
        } else {
            ASSERT_FALSE(transport->requests.empty());
            const QHostAddress host(transport->requests.front().url.host());
            EXPECT_TRUE(host.isLoopback()) << transport->requests.front().url.toString().toStdString();
        }
        const bool literal = !QHostAddress(QUrl(QString::fromLatin1(c.url)).host()).isNull();
        if (literal)
            EXPECT_EQ(lookups, 0) << "a literal address needs no lookup";
    }
}

TEST(LocalServerAIDiagnosticExplainer, TheClientItselfRefusesPlainHTTPOffLoopback) {
    const auto transport = LocalServerAIDiagnosticExplainer::makeDefaultTransport();
    HTTPRequest request;
    request.url = QUrl(QStringLiteral("http://192.0.2.10:9/v1/models"));
    request.totalTimeoutSeconds = 1;
    try {
        QFuture<HTTPResponse> future = transport->send(request);
        future.waitForFinished();
        future.result();
        ADD_FAILURE() << "a plain request off this machine was sent";
    } catch (const HTTPTransportError& error) {
        EXPECT_EQ(error.kind(), HTTPTransportError::Kind::insecureRedirect);
    }
}

TEST(LocalServerAIDiagnosticExplainer, CancellingEndsTheWait) {
    FakeModelServer fake([](const FakeModelServer::Request&) {
        return FakeModelServer::Reply{FakeModelServer::Behaviour::stall};
    });
    LocalLanguageModelLimits limits = quickLimits();
    limits.explanationTimeoutSeconds = 30;
    limits.idleTimeoutSeconds = 30;
    LocalServerAIDiagnosticExplainer explainer(server(fake.url(), "openai"),
                                               LocalServerAIDiagnosticExplainer::makeDefaultTransport(),
                                               systemHostAddressResolver(), limits);
    std::stop_source stop;
    QTimer::singleShot(100, [&] { stop.request_stop(); });
    const auto started = std::chrono::steady_clock::now();
    const Outcome outcome = explain(explainer, thermalFindings(), stop.get_token());
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}
