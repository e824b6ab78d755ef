#include "CurlHTTPClient.h"

#include "NetworkLogging.h"

#include <QFile>
#include <QHostAddress>
#include <QPromise>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <curl/curl.h>
#include <map>
#include <vector>

namespace kestrum {

HTTPTransportError::HTTPTransportError(Kind kind, int libraryCode, QString detail)
    : m_kind(kind), m_libraryCode(libraryCode), m_detail(std::move(detail)),
      m_utf8((kindName(kind) + QStringLiteral(": ") + m_detail).toUtf8()) {}

QString kindName(HTTPTransportError::Kind kind) {
    using K = HTTPTransportError::Kind;
    switch (kind) {
    case K::cancelled:
        return QStringLiteral("cancelled");
    case K::timedOut:
        return QStringLiteral("timed out");
    case K::couldNotResolveHost:
        return QStringLiteral("could not resolve host");
    case K::couldNotConnect:
        return QStringLiteral("could not connect");
    case K::tlsFailure:
        return QStringLiteral("TLS failure");
    case K::insecureRedirect:
        return QStringLiteral("insecure redirect");
    case K::tooManyRedirects:
        return QStringLiteral("too many redirects");
    case K::brokenTransfer:
        return QStringLiteral("broken transfer");
    case K::invalidRequest:
        return QStringLiteral("invalid request");
    case K::other:
        return QStringLiteral("transfer failed");
    }
    return {};
}

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long milliseconds(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        return 1;
    return long(std::min(seconds * 1000.0, 24.0 * 3600 * 1000));
}

HTTPTransportError::Kind kindOf(CURLcode code) {
    using K = HTTPTransportError::Kind;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return K::timedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return K::couldNotResolveHost;
    case CURLE_COULDNT_CONNECT:
        return K::couldNotConnect;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return K::tlsFailure;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return K::insecureRedirect;
    case CURLE_TOO_MANY_REDIRECTS:
        return K::tooManyRedirects;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_BAD_CONTENT_ENCODING:
        return K::brokenTransfer;
    case CURLE_URL_MALFORMAT:
    case CURLE_BAD_FUNCTION_ARGUMENT:
        return K::invalidRequest;
    default:
        return K::other;
    }
}

// libcurl is initialised once per process, before the first client thread starts.
void initialiseLibraryOnce() {
    static const bool initialised = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    Q_UNUSED(initialised);
}

} // namespace

struct CurlHTTPClient::Job {
    quint64 id = 0;
    HTTPRequest request;
    QPromise<HTTPResponse> promise;
    std::optional<std::stop_callback<std::function<void()>>> stopCallback;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    QByteArray urlText;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    int64_t received = 0;
    int64_t uploaded = 0;
    bool tooLarge = false;
    double queuedAt = 0;
    double startedAt = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    ~Job() {
        if (headerList)
            curl_slist_free_all(headerList);
    }

    void fail(HTTPTransportError::Kind kind, int code, const QString& detail) {
        promise.setException(HTTPTransportError(kind, code, detail));
        promise.finish();
    }

    static size_t onWrite(char* data, size_t size, size_t count, void* context) {
        auto* job = static_cast<Job*>(context);
        const size_t n = size * count;
        job->received += int64_t(n);
        if (job->request.maximumResponseBytes >= 0 && job->received > job->request.maximumResponseBytes) {
            job->tooLarge = true;
            return 0; // ends the transfer with a write error
        }
        if (job->request.keepBody)
            job->body.append(data, qsizetype(n));
        return n;
    }

    // Header lines of every response block (redirects, interim answers); each status line starts anew,
    // so the final response's fields remain.
    static size_t onHeader(char* data, size_t size, size_t count, void* context) {
        auto* job = static_cast<Job*>(context);
        const size_t n = size * count;
        const QByteArray line = QByteArray(data, qsizetype(n)).trimmed();
        if (line.startsWith("HTTP/")) {
            job->headers.clear();
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            job->headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
        return n;
    }

    static size_t onRead(char* buffer, size_t size, size_t count, void* context) {
        auto* job = static_cast<Job*>(context);
        const int64_t total =
            job->request.zeroBodyBytes >= 0 ? job->request.zeroBodyBytes : int64_t(job->request.body.size());
        const int64_t left = total - job->uploaded;
        const size_t n = size_t(std::max<int64_t>(0, std::min<int64_t>(left, int64_t(size * count))));
        if (n == 0)
            return 0;
        if (job->request.zeroBodyBytes >= 0)
            std::memset(buffer, 0, n);
        else
            std::memcpy(buffer, job->request.body.constData() + job->uploaded, n);
        job->uploaded += int64_t(n);
        return n;
    }
};

CurlHTTPClient::CurlHTTPClient() : CurlHTTPClient(Configuration{}) {}

CurlHTTPClient::CurlHTTPClient(Configuration configuration) : m_configuration(std::move(configuration)) {
    initialiseLibraryOnce();
    m_multi = curl_multi_init();
    auto* multi = static_cast<CURLM*>(m_multi);
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS,
                      long(std::max(1, m_configuration.maximumConnectionsPerHost)));
    m_thread = std::thread([this] { run(); });
}

CurlHTTPClient::~CurlHTTPClient() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    curl_multi_wakeup(static_cast<CURLM*>(m_multi));
    m_thread.join();
    curl_multi_cleanup(static_cast<CURLM*>(m_multi));
}

QFuture<HTTPResponse> CurlHTTPClient::send(HTTPRequest request, std::stop_token stop) {
    auto job = std::make_unique<Job>();
    job->request = std::move(request);
    job->queuedAt = steadySeconds();
    job->promise.start();
    QFuture<HTTPResponse> future = job->promise.future();
    {
        std::lock_guard lock(m_mutex);
        job->id = m_nextId++;
    }
    const quint64 id = job->id;
    // Registered before the job is queued: a stop that already happened records the cancel first.
    if (stop.stop_possible())
        job->stopCallback.emplace(stop, std::function<void()>([this, id] { requestCancel(id); }));
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(job));
    }
    curl_multi_wakeup(static_cast<CURLM*>(m_multi));
    return future;
}

void CurlHTTPClient::requestCancel(quint64 id) {
    {
        std::lock_guard lock(m_mutex);
        m_cancelled.insert(id);
    }
    curl_multi_wakeup(static_cast<CURLM*>(m_multi));
}

void CurlHTTPClient::run() {
    auto* multi = static_cast<CURLM*>(m_multi);
    std::map<CURL*, std::unique_ptr<Job>> active;
    const size_t capacity = size_t(std::max(1, m_configuration.maximumConcurrentTransfers));

    // Ends a job outside the lock: its stop callback may be running on another thread right now and
    // would wait for the lock.
    const auto retire = [this](std::unique_ptr<Job> job) {
        const quint64 id = job->id;
        job->stopCallback.reset();
        job.reset();
        std::lock_guard lock(m_mutex);
        m_cancelled.erase(id);
    };

    const auto startJob = [&](std::unique_ptr<Job> job) {
        const HTTPRequest& r = job->request;
        const QString scheme = r.url.scheme().toLower();
        const bool plainLoopback = m_configuration.allowPlainHTTPToLoopback && scheme == u"http" &&
                                   QHostAddress(r.url.host()).isLoopback();
        if (!r.url.isValid() || (scheme != u"https" && !plainLoopback) || r.url.host().isEmpty()) {
            job->fail(scheme == u"https" || scheme.isEmpty() ? HTTPTransportError::Kind::invalidRequest
                                                             : HTTPTransportError::Kind::insecureRedirect,
                      0, QStringLiteral("not an https URL: %1").arg(r.url.toDisplayString()));
            retire(std::move(job));
            return;
        }
        CURL* easy = curl_easy_init();
        job->easy = easy;
        job->urlText = r.url.toEncoded();
        curl_easy_setopt(easy, CURLOPT_URL, job->urlText.constData());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, job.get());
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, job->errorBuffer);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, plainLoopback ? "http" : "https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, r.maximumRedirects > 0 && !plainLoopback ? 1L : 0L);
        if (plainLoopback)
            curl_easy_setopt(easy, CURLOPT_PROXY, ""); // what is meant for this machine stays on it
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long(std::max(0, r.maximumRedirects)));
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
        curl_easy_setopt(easy, CURLOPT_PIPEWAIT, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (m_configuration.caBundleFile) {
            const QByteArray path = QFile::encodeName(*m_configuration.caBundleFile);
            curl_easy_setopt(easy, CURLOPT_CAINFO, path.constData()); // copied by libcurl
        }
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "identity");
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                         milliseconds(std::min(r.idleTimeoutSeconds, r.totalTimeoutSeconds)));
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds(r.totalTimeoutSeconds));
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(
            easy, CURLOPT_LOW_SPEED_TIME,
            long(std::max(1.0, std::ceil(std::isfinite(r.idleTimeoutSeconds) ? r.idleTimeoutSeconds : 60))));
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
        curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Job::onWrite);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, job.get());
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Job::onHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, job.get());
        if (r.maximumResponseBytes >= 0)
            curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(r.maximumResponseBytes));

        const QByteArray method = r.method.toUpper();
        const bool hasBody = r.zeroBodyBytes >= 0 || !r.body.isEmpty();
        if (method == "HEAD") {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        } else if (method == "POST" || (hasBody && method != "GET")) {
            const int64_t size = r.zeroBodyBytes >= 0 ? r.zeroBodyBytes : r.body.size();
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(size));
            curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Job::onRead);
            curl_easy_setopt(easy, CURLOPT_READDATA, job.get());
            if (method != "POST")
                curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.constData());
        } else if (method != "GET") {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.constData());
        }
        // No "Expect: 100-continue" round trip before large bodies.
        job->headerList = curl_slist_append(job->headerList, "Expect:");
        for (const auto& [name, value] : r.headers) {
            const QByteArray line = name + ": " + value;
            job->headerList = curl_slist_append(job->headerList, line.constData());
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, job->headerList);

        job->startedAt = steadySeconds();
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
            curl_easy_cleanup(easy);
            job->easy = nullptr;
            job->fail(HTTPTransportError::Kind::other, 0, QStringLiteral("could not start the transfer"));
            retire(std::move(job));
            return;
        }
        active.emplace(easy, std::move(job));
    };

    const auto finishJob = [&](CURL* easy, CURLcode code) {
        auto it = active.find(easy);
        if (it == active.end())
            return;
        std::unique_ptr<Job> job = std::move(it->second);
        active.erase(it);
        curl_multi_remove_handle(multi, easy);
        // A body cut off at the ceiling is still a response: its status decides what it means.
        const bool cutOff = code == CURLE_FILESIZE_EXCEEDED || (code == CURLE_WRITE_ERROR && job->tooLarge);
        if (code == CURLE_OK || cutOff) {
            HTTPResponse response;
            long status = 0;
            curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
            long version = 0;
            curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &version);
            char* effective = nullptr;
            curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
            const auto seconds = [easy](CURLINFO info) {
                curl_off_t us = 0;
                curl_easy_getinfo(easy, info, &us);
                return double(us) / 1e6;
            };
            response.statusCode = int(status);
            response.httpMajorVersion = version == CURL_HTTP_VERSION_2_0 ? 2 : 1;
            response.body = std::move(job->body);
            response.headers = std::move(job->headers);
            response.bodyByteCount = job->received;
            response.uploadedByteCount = job->uploaded;
            response.exceededByteLimit = cutOff;
            if (effective)
                response.effectiveUrl = QUrl::fromEncoded(effective);
            response.timings.queuedSeconds = std::max(0.0, job->startedAt - job->queuedAt);
            response.timings.nameLookupSeconds = seconds(CURLINFO_NAMELOOKUP_TIME_T);
            response.timings.connectSeconds = seconds(CURLINFO_CONNECT_TIME_T);
            response.timings.tlsHandshakeSeconds = seconds(CURLINFO_APPCONNECT_TIME_T);
            response.timings.firstByteSeconds = seconds(CURLINFO_STARTTRANSFER_TIME_T);
            response.timings.totalSeconds = seconds(CURLINFO_TOTAL_TIME_T);
            curl_easy_cleanup(easy);
            if (status <= 0) {
                job->fail(HTTPTransportError::Kind::brokenTransfer, 0, QStringLiteral("no HTTP status"));
            } else {
                job->promise.addResult(std::move(response));
                job->promise.finish();
            }
        } else {
            const QString detail =
                QString::fromUtf8(job->errorBuffer[0] ? job->errorBuffer : curl_easy_strerror(code));
            curl_easy_cleanup(easy);
            job->fail(kindOf(code), int(code), detail);
        }
        retire(std::move(job));
    };

    for (;;) {
        std::vector<std::unique_ptr<Job>> toStart;
        std::vector<std::unique_ptr<Job>> cancelledPending;
        std::set<quint64> cancelled;
        bool stopping = false;
        {
            std::lock_guard lock(m_mutex);
            stopping = m_stopping;
            cancelled = m_cancelled;
            for (auto it = m_pending.begin(); it != m_pending.end();) {
                if (stopping || cancelled.count((*it)->id)) {
                    cancelledPending.push_back(std::move(*it));
                    it = m_pending.erase(it);
                } else {
                    ++it;
                }
            }
            while (!m_pending.empty() && active.size() + toStart.size() < capacity) {
                toStart.push_back(std::move(m_pending.front()));
                m_pending.pop_front();
            }
        }
        for (auto& job : cancelledPending) {
            job->fail(HTTPTransportError::Kind::cancelled, 0, QStringLiteral("cancelled before it started"));
            retire(std::move(job));
        }
        // Cancelled transfers are simply removed: libcurl then reports nothing more about them.
        for (auto it = active.begin(); it != active.end();) {
            if (stopping || cancelled.count(it->second->id)) {
                std::unique_ptr<Job> job = std::move(it->second);
                CURL* easy = it->first;
                it = active.erase(it);
                curl_multi_remove_handle(multi, easy);
                curl_easy_cleanup(easy);
                job->fail(HTTPTransportError::Kind::cancelled, 0, QStringLiteral("cancelled"));
                retire(std::move(job));
            } else {
                ++it;
            }
        }
        if (stopping) {
            for (auto& job : toStart) {
                job->fail(HTTPTransportError::Kind::cancelled, 0, QStringLiteral("client closed"));
                retire(std::move(job));
            }
            break;
        }
        for (auto& job : toStart)
            startJob(std::move(job));

        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE)
                finishJob(message->easy_handle, message->data.result);
        }
        bool morePending = false;
        {
            std::lock_guard lock(m_mutex);
            morePending = !m_pending.empty() && active.size() < capacity;
        }
        if (morePending)
            continue;
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
    }
}

} // namespace kestrum
