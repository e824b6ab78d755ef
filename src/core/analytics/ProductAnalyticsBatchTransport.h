#pragma once

#include "ProductAnalyticsEnvelope.h"

#include <QException>
#include <QFuture>
#include <optional>

namespace kestrum {

// Why a batch did not reach the collector. Crosses QFuture boundaries intact.
class ProductAnalyticsTransportError : public QException {
public:
    enum class Kind {
        invalidEndpoint,
        emptyBatch,
        batchTooLarge,
        invalidResponse,
        serverRejected,           // a status worth retrying: 408, 429, 3xx, 5xx
        permanentServerRejection, // 400–499 except 408 and 429
        responseTooLarge,
    };

    ProductAnalyticsTransportError(Kind kind, int statusCode = 0,
                                   std::optional<double> retryAfterSeconds = {});
    Kind kind() const noexcept { return m_kind; }
    int statusCode() const noexcept { return m_statusCode; }
    // What the collector asked for in "Retry-After", in seconds from now.
    std::optional<double> retryAfterSeconds() const noexcept { return m_retryAfter; }
    // Whether sending the same batch later may succeed.
    bool isRetryable() const noexcept;
    const char* what() const noexcept override { return m_utf8.constData(); }
    void raise() const override { throw *this; }
    ProductAnalyticsTransportError* clone() const override {
        return new ProductAnalyticsTransportError(*this);
    }

private:
    Kind m_kind;
    int m_statusCode;
    std::optional<double> m_retryAfter;
    QByteArray m_utf8;
};

// Sends one batch to the collection endpoint. The future finishes when the collector accepted the batch,
// or fails with ProductAnalyticsTransportError, or with HTTPTransportError for a transfer that did not
// complete (kind `cancelled` after cancelPendingRequests).
class ProductAnalyticsBatchTransport {
public:
    virtual ~ProductAnalyticsBatchTransport() = default;
    virtual QFuture<void> send(const ProductAnalyticsEventBatch& batch) = 0;
    // Ends every request in flight; safe from any thread.
    virtual void cancelPendingRequests() = 0;
};

} // namespace kestrum
