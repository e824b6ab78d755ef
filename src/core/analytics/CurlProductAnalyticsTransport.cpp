#include "CurlProductAnalyticsTransport.h"

#include <QDateTime>
#include <QPromise>

namespace kestrum {

namespace {

QString kindText(ProductAnalyticsTransportError::Kind kind) {
    using K = ProductAnalyticsTransportError::Kind;
    switch (kind) {
    case K::invalidEndpoint:
        return QStringLiteral("invalid endpoint");
    case K::emptyBatch:
        return QStringLiteral("empty batch");
    case K::batchTooLarge:
        return QStringLiteral("batch too large");
    case K::invalidResponse:
        return QStringLiteral("invalid response");
    case K::serverRejected:
        return QStringLiteral("server rejected the batch");
    case K::permanentServerRejection:
        return QStringLiteral("server rejected the batch permanently");
    case K::responseTooLarge:
        return QStringLiteral("response too large");
    }
    return {};
}

QFuture<void> failed(const ProductAnalyticsTransportError& error) {
    QPromise<void> promise;
    promise.start();
    promise.setException(error);
    promise.finish();
    return promise.future();
}

} // namespace

ProductAnalyticsTransportError::ProductAnalyticsTransportError(Kind kind, int statusCode,
                                                               std::optional<double> retryAfterSeconds)
    : m_kind(kind), m_statusCode(statusCode), m_retryAfter(retryAfterSeconds),
      m_utf8((kindText(kind) + (statusCode ? QStringLiteral(" (status %1)").arg(statusCode) : QString()))
                 .toUtf8()) {}

bool ProductAnalyticsTransportError::isRetryable() const noexcept {
    return m_kind == Kind::serverRejected || m_kind == Kind::invalidResponse ||
           m_kind == Kind::responseTooLarge;
}

CurlProductAnalyticsTransport::CurlProductAnalyticsTransport(QUrl endpoint,
                                                             std::shared_ptr<HTTPTransporting> client,
                                                             DateProvider dateProvider)
    : m_endpoint(std::move(endpoint)), m_client(std::move(client)), m_dateProvider(std::move(dateProvider)) {}

std::optional<double> CurlProductAnalyticsTransport::parseRetryAfter(const QByteArray& value, Date now) {
    const QByteArray text = value.trimmed();
    bool isNumber = false;
    const qlonglong seconds = text.toLongLong(&isNumber);
    if (isNumber)
        return seconds >= 0 ? std::optional<double>(double(seconds)) : std::nullopt;
    // An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"); Qt's RFC 2822 reader wants a numeric zone.
    QString dateText = QString::fromLatin1(text);
    if (dateText.endsWith(QLatin1String(" GMT")))
        dateText = dateText.chopped(3) + QLatin1String("+0000");
    const QDateTime date = QDateTime::fromString(dateText, Qt::RFC2822Date);
    if (!date.isValid())
        return std::nullopt;
    return std::max(0.0, Date::fromDateTime(date).secondsSince(now));
}

QFuture<void> CurlProductAnalyticsTransport::send(const ProductAnalyticsEventBatch& batch) {
    using K = ProductAnalyticsTransportError::Kind;
    if (batch.events.empty())
        return failed(ProductAnalyticsTransportError(K::emptyBatch));
    if (batch.events.size() > ProductAnalyticsEventBatch::kMaximumEventCount)
        return failed(ProductAnalyticsTransportError(K::batchTooLarge));
    if (!m_endpoint.isValid() || m_endpoint.scheme() != u"https" || m_endpoint.host().isEmpty())
        return failed(ProductAnalyticsTransportError(K::invalidEndpoint));

    HTTPRequest request;
    request.method = "POST";
    request.url = m_endpoint;
    request.headers = {{"Content-Type", "application/json"}, {"Accept", "application/json"}};
    request.body = batch.encoded();
    request.idleTimeoutSeconds = kIdleTimeoutSeconds;
    request.totalTimeoutSeconds = kTotalTimeoutSeconds;
    request.maximumResponseBytes = kMaximumResponseBytes;
    request.keepBody = false;
    request.maximumRedirects = 0;
    std::stop_token token;
    {
        std::lock_guard lock(m_mutex);
        token = m_stop.get_token();
    }
    DateProvider now = m_dateProvider;
    return m_client->send(std::move(request), token)
        .then(QtFuture::Launch::Sync, [now](const HTTPResponse& response) {
            const int status = response.statusCode;
            if (response.exceededByteLimit)
                throw ProductAnalyticsTransportError(K::responseTooLarge, status);
            if (status < 100 || status > 599)
                throw ProductAnalyticsTransportError(K::invalidResponse, status);
            if (status >= 200 && status <= 299)
                return;
            if (status >= 400 && status <= 499 && status != 408 && status != 429)
                throw ProductAnalyticsTransportError(K::permanentServerRejection, status);
            const auto retryAfter = response.header("retry-after");
            throw ProductAnalyticsTransportError(
                K::serverRejected, status, retryAfter ? parseRetryAfter(*retryAfter, now()) : std::nullopt);
        });
}

void CurlProductAnalyticsTransport::cancelPendingRequests() {
    std::lock_guard lock(m_mutex);
    m_stop.request_stop();
    m_stop = std::stop_source();
}

} // namespace kestrum
