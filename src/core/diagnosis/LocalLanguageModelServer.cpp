#include "LocalLanguageModelServer.h"

#include <netdb.h>
#include <sys/socket.h>

namespace kestrum {

std::optional<LocalLanguageModelServer>
LocalLanguageModelServer::make(const QString& url, const std::optional<QString>& api,
                               const std::optional<QString>& modelName) {
    const QUrl parsed(url.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != u"http" && scheme != u"https") || parsed.host().isEmpty() ||
        !parsed.userInfo().isEmpty() || parsed.hasQuery() || parsed.hasFragment())
        return std::nullopt;
    LocalLanguageModelServer server;
    server.baseURL = parsed;
    QString path = parsed.path();
    while (path.endsWith(u'/'))
        path.chop(1);
    server.baseURL.setPath(path);
    const QString apiText = api.value_or(QString()).trimmed().toLower();
    if (apiText == u"ollama")
        server.api = API::ollama;
    else if (apiText == u"openai")
        server.api = API::openAICompatible;
    else if (!apiText.isEmpty())
        return std::nullopt;
    else
        server.api = parsed.port() == kOllamaDefaultPort ? API::ollama : API::openAICompatible;
    if (modelName && !modelName->trimmed().isEmpty())
        server.modelName = modelName->trimmed();
    return server;
}

std::optional<LocalLanguageModelServer>
LocalLanguageModelServer::fromPreferences(const PreferencesStore& preferences) {
    const std::optional<QString> url = preferences.textValue(QString::fromLatin1(kURLKey));
    if (!url || url->trimmed().isEmpty())
        return std::nullopt;
    return make(*url, preferences.textValue(QString::fromLatin1(kAPIKey)),
                preferences.textValue(QString::fromLatin1(kModelKey)));
}

void LocalLanguageModelServer::save(PreferencesStore& preferences,
                                    const std::optional<LocalLanguageModelServer>& server) {
    if (!server) {
        preferences.remove(QString::fromLatin1(kURLKey));
        preferences.remove(QString::fromLatin1(kAPIKey));
        preferences.remove(QString::fromLatin1(kModelKey));
        return;
    }
    preferences.setValue(QString::fromLatin1(kURLKey), server->baseURL.toString());
    preferences.setValue(QString::fromLatin1(kAPIKey), server->apiName());
    if (server->modelName)
        preferences.setValue(QString::fromLatin1(kModelKey), *server->modelName);
    else
        preferences.remove(QString::fromLatin1(kModelKey));
}

QString LocalLanguageModelServer::apiName() const {
    return api == API::ollama ? QStringLiteral("ollama") : QStringLiteral("openai");
}

HostAddressResolver systemHostAddressResolver() {
    return [](const QString& host) {
        std::vector<QHostAddress> addresses;
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &list) != 0 || !list)
            return addresses;
        for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
            if (entry->ai_addr)
                addresses.emplace_back(entry->ai_addr);
        }
        freeaddrinfo(list);
        return addresses;
    };
}

std::optional<QHostAddress> loopbackAddress(const QString& host, const HostAddressResolver& resolver) {
    QString bare = host;
    if (bare.startsWith(u'[') && bare.endsWith(u']'))
        bare = bare.mid(1, bare.size() - 2);
    const QHostAddress literal(bare);
    if (!literal.isNull())
        return literal.isLoopback() ? std::optional<QHostAddress>(literal) : std::nullopt;
    if (!resolver)
        return std::nullopt;
    const std::vector<QHostAddress> addresses = resolver(bare);
    if (addresses.empty())
        return std::nullopt;
    for (const QHostAddress& address : addresses) {
        if (!address.isLoopback())
            return std::nullopt;
    }
    return addresses.front();
}

} // namespace kestrum
