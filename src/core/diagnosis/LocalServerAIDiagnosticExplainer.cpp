#include "LocalServerAIDiagnosticExplainer.h"

#include "AIDiagnosticCategoryClassifier.h"
#include "AIDiagnosticNarrativeBuilder.h"
#include "AIDiagnosticOutputGuard.h"
#include "AIDiagnosticPromptBuilder.h"
#include "foundation/Translatable.h"
#include "network/CurlHTTPClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kestrum {

Q_LOGGING_CATEGORY(lcDiagnosis, "kestrum.diagnosis")

namespace {

AIDiagnosticAvailability unavailable(QString turkishReason) {
    return AIDiagnosticAvailability::unavailableBecause(std::move(turkishReason));
}

AIDiagnosticAvailability notConfigured() {
    return unavailable(
        trText("Yerel dil modeli sunucusu ayarlanmadı; bu bilgisayarda çalışan bir llama.cpp veya "
               "Ollama sunucusunun adresi ayarlanınca açıklama kullanılabilir."));
}

AIDiagnosticAvailability notLoopback() {
    return unavailable(trText("Ayarlanan yerel dil modeli adresi bu bilgisayarı göstermiyor; donanım verisi "
                              "bilgisayardan çıkmasın diye bu adrese bağlanılmadı."));
}

AIDiagnosticAvailability unreadable() {
    return unavailable(trText("Yerel dil modeli sunucusu anlaşılır bir yanıt vermedi."));
}

// Model names the server lists: "data[].id" (OpenAI-compatible) or "models[].name" (Ollama). Absent when
// the body is not such a list at all.
std::optional<std::vector<QString>> listedModels(const QByteArray& body, LocalLanguageModelServer::API api) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const bool ollama = api == LocalLanguageModelServer::API::ollama;
    const QJsonValue list = document.object().value(ollama ? u"models" : u"data");
    if (!list.isArray())
        return std::nullopt;
    std::vector<QString> names;
    for (const QJsonValue& entry : list.toArray()) {
        const QString name = entry.toObject().value(ollama ? u"name" : u"id").toString();
        if (!name.isEmpty())
            names.push_back(name);
    }
    return names;
}

} // namespace

LocalServerAIDiagnosticExplainer::LocalServerAIDiagnosticExplainer(
    std::optional<LocalLanguageModelServer> server, std::shared_ptr<HTTPTransporting> transport,
    HostAddressResolver resolver, Limits limits, bool english)
    : m_server(std::move(server)), m_transport(std::move(transport)), m_resolver(std::move(resolver)),
      m_limits(limits), m_english(english) {}

std::shared_ptr<HTTPTransporting> LocalServerAIDiagnosticExplainer::makeDefaultTransport() {
    CurlHTTPClient::Configuration configuration;
    configuration.allowPlainHTTPToLoopback = true;
    configuration.maximumConcurrentTransfers = 2;
    configuration.maximumConnectionsPerHost = 2;
    return std::make_shared<CurlHTTPClient>(configuration);
}

QFuture<std::optional<QHostAddress>> LocalServerAIDiagnosticExplainer::lookUpLoopbackAddress() const {
    const QString host = m_server->baseURL.host();
    if (!QHostAddress(host).isNull())
        return QtFuture::makeReadyFuture(loopbackAddress(host, {}));
    // A name needs the resolver, which may block; it runs elsewhere.
    return QtConcurrent::run([resolver = m_resolver, host] { return loopbackAddress(host, resolver); });
}

QUrl LocalServerAIDiagnosticExplainer::urlAt(const QHostAddress& address, const QString& path) const {
    QUrl url = m_server->baseURL;
    url.setHost(address.toString());
    url.setPath(url.path() + path);
    return url;
}

// Every co_await below waits on a named future: g++ 12 can destroy temporaries of an awaited expression
// twice.
QCoro::Task<std::optional<QUrl>> LocalServerAIDiagnosticExplainer::checkedURL(const QString& path,
                                                                              std::stop_token stop) {
    QFuture<std::optional<QHostAddress>> lookup = lookUpLoopbackAddress();
    const std::optional<QHostAddress> address = co_await lookup;
    if (stop.stop_requested())
        throw CancellationError();
    if (!address) {
        qCWarning(lcDiagnosis) << "refused a language-model address that is not this machine";
        co_return std::nullopt;
    }
    co_return urlAt(*address, path);
}

HTTPRequest LocalServerAIDiagnosticExplainer::makeRequest(QByteArray method, QUrl url, double timeout) const {
    HTTPRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    // The server sees the name it was configured with, as it would from any local client.
    const QUrl& configured = m_server->baseURL;
    const QString authority = configured.port() >= 0 ? configured.host(QUrl::FullyEncoded) + u':' +
                                                           QString::number(configured.port())
                                                     : configured.host(QUrl::FullyEncoded);
    request.headers.append(qMakePair(QByteArray("Host"), QByteArray(authority.toUtf8())));
    request.headers.append(qMakePair(QByteArray("Accept"), QByteArray("application/json")));
    request.idleTimeoutSeconds = std::min(m_limits.idleTimeoutSeconds, timeout);
    request.totalTimeoutSeconds = timeout;
    request.maximumResponseBytes = m_limits.maximumResponseBytes;
    request.maximumRedirects = 0;
    return request;
}

std::optional<QString> LocalServerAIDiagnosticExplainer::knownModel() const {
    if (m_server && m_server->modelName)
        return m_server->modelName;
    std::lock_guard lock(m_mutex);
    return m_discoveredModel;
}

QCoro::Task<AIDiagnosticAvailability> LocalServerAIDiagnosticExplainer::availability(std::stop_token stop) {
    if (!m_server)
        co_return notConfigured();
    const bool ollama = m_server->api == LocalLanguageModelServer::API::ollama;
    // Paths are named before co_await: g++ 12 mishandles a conditional's temporaries inside it.
    const QString path = ollama ? QStringLiteral("/api/tags") : QStringLiteral("/v1/models");
    std::optional<QUrl> url;
    try {
        url = co_await checkedURL(path, stop);
    } catch (...) {
        co_return AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::checking);
    }
    if (!url)
        co_return notLoopback();

    HTTPResponse response;
    try {
        QFuture<HTTPResponse> sending =
            m_transport->send(makeRequest("GET", *url, m_limits.availabilityTimeoutSeconds), stop);
        response = co_await sending;
    } catch (const HTTPTransportError& error) {
        switch (error.kind()) {
        case HTTPTransportError::Kind::cancelled:
            co_return AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::checking);
        case HTTPTransportError::Kind::couldNotConnect:
            co_return unavailable(
                trText("Yerel dil modeli sunucusu çalışmıyor; ayarlanan adreste bağlantı kabul "
                       "edilmedi."));
        case HTTPTransportError::Kind::timedOut:
            co_return unavailable(trText("Yerel dil modeli sunucusu zamanında yanıt vermedi."));
        default:
            co_return unreadable();
        }
    } catch (...) {
        co_return unreadable();
    }
    // llama.cpp's server answers 503 while it loads its model.
    if (response.statusCode == 503)
        co_return AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::modelNotReady);
    if (response.statusCode < 200 || response.statusCode > 299 || response.exceededByteLimit)
        co_return unreadable();
    const std::optional<std::vector<QString>> models = listedModels(response.body, m_server->api);
    if (!models)
        co_return unreadable();
    if (models->empty())
        co_return unavailable(trText("Yerel dil modeli sunucusunda yüklü bir model yok."));
    if (m_server->modelName) {
        const auto& name = *m_server->modelName;
        const bool listed = std::any_of(models->begin(), models->end(), [&](const QString& model) {
            return model == name || (ollama && model == name + QStringLiteral(":latest"));
        });
        if (!listed)
            co_return unavailable(trText("Ayarlanan model yerel dil modeli sunucusunda bulunamadı."));
    } else {
        std::lock_guard lock(m_mutex);
        m_discoveredModel = models->front();
    }
    co_return AIDiagnosticAvailability::of(AIDiagnosticAvailability::Case::availableOnDevice);
}

QByteArray LocalServerAIDiagnosticExplainer::requestBody(const QString& prompt,
                                                         const std::optional<QString>& model) const {
    const QJsonArray messages{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                    {QStringLiteral("content"), AIDiagnosticPromptBuilder::instructions(m_english)}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")}, {QStringLiteral("content"), prompt}}};
    // Default generation options: no sampling, temperature or token limit set.
    QJsonObject body{{QStringLiteral("messages"), messages}, {QStringLiteral("stream"), false}};
    if (model)
        body.insert(QStringLiteral("model"), *model);
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QString> LocalServerAIDiagnosticExplainer::responseText(const QByteArray& body) const {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    QJsonValue message;
    if (m_server && m_server->api == LocalLanguageModelServer::API::ollama) {
        message = root.value(u"message");
    } else {
        const QJsonArray choices = root.value(u"choices").toArray();
        if (choices.isEmpty())
            return std::nullopt;
        message = choices.first().toObject().value(u"message");
    }
    const QJsonValue content = message.toObject().value(u"content");
    if (!content.isString())
        return std::nullopt;
    return content.toString();
}

QCoro::Task<AIDiagnosticExplanation>
LocalServerAIDiagnosticExplainer::explain(SanitizedDiagnosticContext context,
                                          std::vector<DiagnosticFinding> findings, std::stop_token stop) {
    if (!m_server)
        throw makeError(AIDiagnosticServiceError::modelUnavailable);
    const bool ollama = m_server->api == LocalLanguageModelServer::API::ollama;
    const QString path = ollama ? QStringLiteral("/api/chat") : QStringLiteral("/v1/chat/completions");
    const std::optional<QUrl> url = co_await checkedURL(path, stop);
    if (!url)
        throw makeError(AIDiagnosticServiceError::modelUnavailable);
    // Ollama needs to be told which model; an OpenAI-compatible server answers with the one it has.
    const std::optional<QString> model = knownModel();
    if (ollama && !model)
        throw makeError(AIDiagnosticServiceError::modelUnavailable);

    HTTPRequest request = makeRequest("POST", *url, m_limits.explanationTimeoutSeconds);
    request.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    request.body = requestBody(AIDiagnosticPromptBuilder::prompt(context, findings, m_english), model);

    HTTPResponse response;
    try {
        QFuture<HTTPResponse> sending = m_transport->send(std::move(request), stop);
        response = co_await sending;
    } catch (const HTTPTransportError& error) {
        if (error.kind() == HTTPTransportError::Kind::cancelled || stop.stop_requested())
            throw CancellationError();
        qCWarning(lcDiagnosis) << "language-model request failed:" << kindName(error.kind());
        throw makeError(AIDiagnosticServiceError::modelUnavailable);
    }
    if (stop.stop_requested())
        throw CancellationError();
    if (response.statusCode < 200 || response.statusCode > 299) {
        qCWarning(lcDiagnosis) << "language-model server answered with status" << response.statusCode;
        throw makeError(AIDiagnosticServiceError::modelUnavailable);
    }
    const std::optional<QString> text =
        response.exceededByteLimit ? std::nullopt : responseText(response.body);
    if (!text || text->trimmed().isEmpty())
        throw makeError(AIDiagnosticServiceError::emptyResponse);
    const DiagnosticCategory category = AIDiagnosticCategoryClassifier::category(*text);
    AIDiagnosticExplanation explanation;
    explanation.category = category;
    explanation.narrative = AIDiagnosticOutputGuard::sanitize(
        AIDiagnosticNarrativeBuilder::narrative(category, context, findings, m_english));
    co_return explanation;
}

} // namespace kestrum
