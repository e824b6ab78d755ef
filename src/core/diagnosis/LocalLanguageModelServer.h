#pragma once

#include "foundation/PreferencesStore.h"

#include <QHostAddress>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

namespace kestrum {

// Where the local language-model server listens and how to talk to it. The address must point at this
// machine: hardware data never leaves it.
struct LocalLanguageModelServer {
    enum class API {
        openAICompatible, // POST /v1/chat/completions, GET /v1/models (llama.cpp's server and the like)
        ollama            // POST /api/chat, GET /api/tags
    };

    static constexpr const char* kURLKey = "diagnosis.localModel.url";
    static constexpr const char* kAPIKey = "diagnosis.localModel.api";
    static constexpr const char* kModelKey = "diagnosis.localModel.name";
    static constexpr quint16 kOllamaDefaultPort = 11434;

    QUrl baseURL; // scheme, host and port; any path is kept as a prefix
    API api = API::openAICompatible;
    std::optional<QString> modelName;

    // "http://127.0.0.1:8080" etc.; an "api" of "ollama" or "openai" (absent: Ollama on its usual port,
    // else OpenAI-compatible). Absent when the text is not an http(s) URL with a host.
    static std::optional<LocalLanguageModelServer> make(const QString& url,
                                                        const std::optional<QString>& api = {},
                                                        const std::optional<QString>& modelName = {});
    // Absent when no address is configured (or the configured one cannot be read as a URL).
    static std::optional<LocalLanguageModelServer> fromPreferences(const PreferencesStore& preferences);
    static void save(PreferencesStore& preferences, const std::optional<LocalLanguageModelServer>& server);

    QString apiName() const; // "openai" or "ollama"
    bool operator==(const LocalLanguageModelServer&) const = default;
};

// Every address a host name stands for (a literal address stands for itself). Blocking.
using HostAddressResolver = std::function<std::vector<QHostAddress>(const QString& host)>;
HostAddressResolver systemHostAddressResolver();

// The address to connect to when `host` resolves to loopback addresses only (127.0.0.0/8, ::1); absent
// when it resolves to nothing or to anything else. A literal address is judged without any lookup.
std::optional<QHostAddress> loopbackAddress(const QString& host, const HostAddressResolver& resolver);

} // namespace kestrum
