#pragma once

#include "ProductAnalyticsBatchTransport.h"
#include "foundation/Clocks.h"
#include "network/HTTPTransport.h"

#include <QUrl>
#include <memory>
#include <mutex>
#include <stop_token>

namespace kestrum {

// Batches over Kestrum's one HTTP client: HTTPS only, no cookies, cache or stored credentials, no
// redirects followed (a collector that moves is answered as a failure to retry, so nothing ever goes to
// another address, let alone a plain http: one). Each request is a POST of the JSON batch.
class CurlProductAnalyticsTransport : public ProductAnalyticsBatchTransport {
public:
    // Nothing may arrive for this long; the whole request ends after the longer limit.
    static constexpr double kIdleTimeoutSeconds = 15;
    static constexpr double kTotalTimeoutSeconds = 30;
    // A collector answers briefly; a long answer is not a collector's.
    static constexpr int64_t kMaximumResponseBytes = 64 * 1024;

    CurlProductAnalyticsTransport(QUrl endpoint, std::shared_ptr<HTTPTransporting> client,
                                  DateProvider dateProvider = systemDateProvider());

    QFuture<void> send(const ProductAnalyticsEventBatch& batch) override;
    void cancelPendingRequests() override;

    // "Retry-After" as seconds from `now`: a number of seconds or an HTTP date; absent when unreadable.
    static std::optional<double> parseRetryAfter(const QByteArray& value, Date now);

private:
    const QUrl m_endpoint;
    const std::shared_ptr<HTTPTransporting> m_client;
    const DateProvider m_dateProvider;
    std::mutex m_mutex;
    std::stop_source m_stop;
};

} // namespace kestrum
