#pragma once

#include "HTTPTransport.h"

#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace kestrum {

// Kestrum's one HTTP client: libcurl's multi interface driven by a thread of its own. HTTPS only, HTTP/2
// where the server offers it (transfers to one host share a connection), TLS always verified against the
// system's trust store plus an optional extra CA bundle, no cookies, no cache, "identity" encoding.
// Callers on any thread get futures; every libcurl call happens on the client's thread.
class CurlHTTPClient : public HTTPTransporting {
public:
    struct Configuration {
        // Extra trusted certificates (PEM), for a self-hosted server with a private CA.
        std::optional<QString> caBundleFile;
        // Transfers running at once; further requests wait their turn.
        int maximumConcurrentTransfers = 16;
        int maximumConnectionsPerHost = 20;
        // Also plain http, but only to a literal loopback address (a server on this machine, such as a
        // local language model): never through a proxy, never following a redirect.
        bool allowPlainHTTPToLoopback = false;
    };

    CurlHTTPClient();
    explicit CurlHTTPClient(Configuration configuration);
    // Cancels whatever is still running or waiting (those futures finish with `cancelled`).
    ~CurlHTTPClient() override;

    QFuture<HTTPResponse> send(HTTPRequest request, std::stop_token stop = {}) override;

    struct Job;

private:
    void run();
    void requestCancel(quint64 id);

    const Configuration m_configuration;
    std::mutex m_mutex;
    std::deque<std::unique_ptr<Job>> m_pending;
    std::set<quint64> m_cancelled;
    quint64 m_nextId = 1;
    bool m_stopping = false;
    void* m_multi = nullptr; // CURLM*, touched only by the thread
    std::thread m_thread;
};

} // namespace kestrum
