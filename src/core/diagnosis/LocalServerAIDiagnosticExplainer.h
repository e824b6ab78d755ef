#pragma once

#include "AIDiagnosticExplaining.h"
#include "LocalLanguageModelServer.h"
#include "network/HTTPTransport.h"

#include <memory>
#include <mutex>

namespace kestrum {

// How long and how much the explainer waits for the local server.
struct LocalLanguageModelLimits {
    double availabilityTimeoutSeconds = 5;
    // A model answering on the processor alone can take a while for its first token.
    double explanationTimeoutSeconds = 120;
    double idleTimeoutSeconds = 60;
    int64_t maximumResponseBytes = 256 * 1024;
};

// The explainer on Linux: a language-model server on this machine (llama.cpp's server or Ollama),
// reached over loopback only. The address is checked before anything is sent; one request per
// explanation; the answer is read as a label only, and the narrative is built and guarded locally.
class LocalServerAIDiagnosticExplainer : public AIDiagnosticExplaining {
public:
    using Limits = LocalLanguageModelLimits;

    // `server` absent: nothing configured. `transport` must allow plain http to loopback.
    LocalServerAIDiagnosticExplainer(std::optional<LocalLanguageModelServer> server,
                                     std::shared_ptr<HTTPTransporting> transport,
                                     HostAddressResolver resolver = systemHostAddressResolver(),
                                     Limits limits = {}, bool english = false);

    // The product's HTTP client, set up for this machine's loopback server.
    static std::shared_ptr<HTTPTransporting> makeDefaultTransport();

    QCoro::Task<AIDiagnosticAvailability> availability(std::stop_token stop = {}) override;
    QCoro::Task<AIDiagnosticExplanation> explain(SanitizedDiagnosticContext context,
                                                 std::vector<DiagnosticFinding> findings,
                                                 std::stop_token stop = {}) override;

    // The request body the explanation sends (for the tests and the log).
    QByteArray requestBody(const QString& prompt, const std::optional<QString>& model) const;
    // The answer's text out of a reply body; absent when the body is not the API's reply.
    std::optional<QString> responseText(const QByteArray& body) const;

private:
    // The URL with its host replaced by the checked loopback address; absent when the host is not this
    // machine (nothing is sent then).
    QCoro::Task<std::optional<QUrl>> checkedURL(const QString& path, std::stop_token stop);
    QFuture<std::optional<QHostAddress>> lookUpLoopbackAddress() const;
    QUrl urlAt(const QHostAddress& address, const QString& path) const;
    HTTPRequest makeRequest(QByteArray method, QUrl url, double timeout) const;
    std::optional<QString> knownModel() const;

    std::optional<LocalLanguageModelServer> m_server;
    std::shared_ptr<HTTPTransporting> m_transport;
    HostAddressResolver m_resolver;
    Limits m_limits;
    bool m_english;
    mutable std::mutex m_mutex;
    std::optional<QString> m_discoveredModel; // the server's first model, when none is configured
};

} // namespace kestrum
