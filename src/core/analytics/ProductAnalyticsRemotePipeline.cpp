#include "ProductAnalyticsRemotePipeline.h"

#include "AnalyticsLogging.h"
#include "foundation/Uuid.h"
#include "network/HTTPTransport.h"

#include <QPromise>
#include <QTimer>
#include <cmath>
#include <mutex>

namespace kestrum {

class ProductAnalyticsRemotePipeline::Worker : public QObject {
public:
    Worker(ProductAnalyticsRemotePipeline& owner, Dependencies dependencies)
        : m_owner(owner), m_deps(std::move(dependencies)),
          m_queue(m_deps.queueFile, m_deps.queueConfiguration), m_timer(new QTimer(this)) {
        m_timer->setSingleShot(true);
        QObject::connect(m_timer, &QTimer::timeout, this, [this] { requestFlush(std::nullopt); });
        if (!m_deps.idProvider)
            m_deps.idProvider = newUuid;
        if (!m_deps.dateProvider)
            m_deps.dateProvider = systemDateProvider();
    }

    ~Worker() override {
        std::lock_guard lock(m_self->mutex);
        m_self->worker = nullptr;
    }

    bool record(const ProductAnalyticsEvent& event, const ProductAnalyticsConsentSnapshot& expected) {
        const ProductAnalyticsConsentSnapshot current = m_deps.consent->snapshot();
        if (!current.allowsRemoteAnalytics || !current.anonymousInstallationID ||
            current.anonymousInstallationID != expected.anonymousInstallationID)
            return false;
        const Date now = m_deps.dateProvider();
        ProductAnalyticsEnvelope envelope;
        envelope.eventID = m_deps.idProvider();
        envelope.anonymousInstallationID = *current.anonymousInstallationID;
        envelope.eventSchemaVersion = ProductAnalyticsEnvelope::kEventSchemaVersion;
        envelope.name = event.name;
        envelope.properties = event.properties;
        envelope.occurredAtEpochSeconds = int64_t(std::floor(now.unixSeconds()));
        envelope.appVersion = m_deps.metadata.appVersion;
        envelope.appBuild = m_deps.metadata.appBuild;
        envelope.distribution = m_deps.metadata.distribution;
        envelope.language = m_deps.metadata.language;
        try {
            ProductAnalyticsContract::validate(envelope);
        } catch (const ProductAnalyticsValidationError& error) {
            qCWarning(lcAnalytics) << "Analytics event dropped:" << rawValue(event.name) << error.what();
            return false;
        }
        m_queue.enqueue(envelope, now);
        requestFlush(std::nullopt);
        return true;
    }

    // A flush now (or at `at`); `waiter` finishes once no flush runs any more.
    void requestFlush(std::optional<Date> at, std::shared_ptr<QPromise<void>> waiter = {}) {
        if (waiter)
            m_waiters.push_back(std::move(waiter));
        if (!m_deps.deliversEvents || !m_deps.transport) {
            finishWaiters();
            return;
        }
        if (at)
            m_flushDate = at;
        if (m_flushing) {
            m_flushAgain = true;
            return;
        }
        startPass();
    }

    void optIn(const QUuid& installationID) {
        m_deps.consent->optIn(installationID);
        requestFlush(std::nullopt);
    }

    void optOut() {
        discardEverything();
        m_deps.consent->optOut();
    }

    void discardQueue() { discardEverything(); }

    void prepareForLaunch() {
        if (!m_deps.consent->reload().allowsRemoteAnalytics)
            discardEverything();
        else
            requestFlush(std::nullopt);
    }

    std::vector<ProductAnalyticsQueuedEvent> queuedEvents() { return m_queue.entries(m_deps.dateProvider()); }

    void shutDown() {
        ++m_generation;
        m_flushing = false;
        m_flushAgain = false;
        if (m_deps.transport)
            m_deps.transport->cancelPendingRequests();
        m_timer->stop();
        finishWaiters();
    }

private:
    void discardEverything() {
        // A delivery in flight no longer touches the queue or starts another pass, even when its
        // cancellation answers at once, on this thread.
        ++m_generation;
        m_flushing = false;
        m_flushAgain = false;
        if (m_deps.transport)
            m_deps.transport->cancelPendingRequests();
        m_queue.removeAll();
        m_notBefore.reset();
        schedule(std::nullopt);
        finishWaiters();
    }

    void startPass() {
        m_flushing = true;
        m_flushAgain = false;
        const Date now = m_flushDate.value_or(m_deps.dateProvider());
        m_flushDate.reset();
        // The saved consent decides, even when another Kestrum process changed it.
        const ProductAnalyticsConsentSnapshot consent = m_deps.consent->reload();
        if (!consent.allowsRemoteAnalytics || !consent.anonymousInstallationID) {
            if (!m_queue.entries(now).empty()) {
                discardEverything();
                if (m_deps.consentWithdrawn)
                    m_deps.consentWithdrawn();
            }
            return finishPass(false);
        }
        const double longest = m_deps.queueConfiguration.maximumRetryDelay;
        if (m_notBefore && (*m_notBefore <= now || m_notBefore->secondsSince(now) > longest))
            m_notBefore.reset(); // passed, or the clock went back
        if (m_notBefore) {
            // The collector asked for a pause; entries whose own back-off lasts longer wait for it.
            const std::optional<Date> earliest =
                m_queue.earliestAttempt(*consent.anonymousInstallationID, now);
            schedule(earliest && *earliest > *m_notBefore ? earliest : earliest ? m_notBefore : std::nullopt);
            return finishPass(false);
        }
        ProductAnalyticsEventBatch batch;
        batch.privacyContractVersion = m_deps.privacyContractVersion;
        batch.events = m_queue.nextBatch(*consent.anonymousInstallationID, now);
        if (batch.events.empty()) {
            schedule(m_queue.earliestAttempt(*consent.anonymousInstallationID, now));
            return finishPass(false);
        }
        std::vector<QUuid> ids;
        for (const ProductAnalyticsEnvelope& envelope : batch.events)
            ids.push_back(envelope.eventID);
        const quint64 generation = m_generation;
        // The answer comes back as a posted call, never inside this pass (a transport may answer at once)
        // and never to a worker that is gone (a cancelled delivery may answer after shutdown).
        m_deps.transport->send(batch).then(
            QtFuture::Launch::Sync, [self = m_self, ids, generation](QFuture<void> sent) {
                std::lock_guard lock(self->mutex);
                if (self->worker)
                    QMetaObject::invokeMethod(
                        self->worker,
                        [worker = self->worker, sent, ids, generation]() mutable {
                            worker->onSent(sent, ids, generation);
                        },
                        Qt::QueuedConnection);
            });
    }

    void onSent(QFuture<void>& sent, const std::vector<QUuid>& ids, quint64 generation) {
        if (generation != m_generation)
            return; // discarded or shutting down meanwhile: that pass is over already
        const Date now = m_deps.dateProvider();
        try {
            sent.waitForFinished(); // rethrows the failure
            m_queue.removeDelivered(ids, now);
            return finishPass(true);
        } catch (const ProductAnalyticsTransportError& error) {
            if (!error.isRetryable()) {
                // Sending the same events again cannot succeed.
                qCWarning(lcAnalytics) << "Analytics batch refused, dropped:" << error.what();
                m_queue.removeDelivered(ids, now);
                return finishPass(true);
            }
            qCInfo(lcAnalytics) << "Analytics batch not delivered:" << error.what();
            const std::optional<Date> next = m_queue.markFailed(ids, now);
            if (const auto wait = error.retryAfterSeconds(); wait && *wait > 0)
                m_notBefore = now.addingSeconds(std::min(*wait, m_deps.queueConfiguration.maximumRetryDelay));
            schedule(m_notBefore && next && *m_notBefore > *next ? m_notBefore : next);
        } catch (const HTTPTransportError& error) {
            if (error.kind() != HTTPTransportError::Kind::cancelled) {
                qCInfo(lcAnalytics) << "Analytics batch not delivered:" << error.what();
                schedule(m_queue.markFailed(ids, now));
            }
        } catch (...) {
            schedule(m_queue.markFailed(ids, now));
        }
        finishPass(false);
    }

    // `delivered`: the pass sent (or dropped) a batch, so the next one is worth taking at once.
    void finishPass(bool delivered) {
        m_flushing = false;
        if (delivered || m_flushAgain)
            return startPass();
        finishWaiters();
    }

    void finishWaiters() {
        if (m_flushing)
            return;
        for (const auto& waiter : m_waiters)
            waiter->finish();
        m_waiters.clear();
    }

    void schedule(std::optional<Date> at) {
        {
            std::lock_guard lock(m_owner.m_scheduleMutex);
            m_owner.m_scheduled = at;
        }
        if (!at) {
            m_timer->stop();
            return;
        }
        const double seconds = std::clamp(at->secondsSince(m_deps.dateProvider()), 0.0,
                                          m_deps.queueConfiguration.maximumRetryDelay);
        m_timer->start(int(std::ceil(seconds * 1000)));
    }

    ProductAnalyticsRemotePipeline& m_owner;
    Dependencies m_deps;
    ProductAnalyticsDeliveryQueue m_queue;
    QTimer* m_timer;
    bool m_flushing = false;
    bool m_flushAgain = false;
    std::optional<Date> m_flushDate;
    std::optional<Date> m_notBefore;
    quint64 m_generation = 0;
    // What a delivery's answer reaches: this worker while it lives. Posting under the lock means a call is
    // queued only to a live worker, and deleting the worker drops what is still queued to it.
    struct Self {
        explicit Self(Worker* w) : worker(w) {}
        std::mutex mutex;
        Worker* worker;
    };
    std::shared_ptr<Self> m_self = std::make_shared<Self>(this);
    std::vector<std::shared_ptr<QPromise<void>>> m_waiters;
};

namespace {

template <class T> std::shared_ptr<QPromise<T>> startedPromise() {
    auto promise = std::make_shared<QPromise<T>>();
    promise->start();
    return promise;
}

} // namespace

ProductAnalyticsRemotePipeline::ProductAnalyticsRemotePipeline(Dependencies dependencies)
    : m_thread(std::make_unique<QThread>()) {
    m_thread->setObjectName(QStringLiteral("kestrum-analytics"));
    m_worker = new Worker(*this, std::move(dependencies));
    m_worker->moveToThread(m_thread.get());
    m_thread->start();
}

ProductAnalyticsRemotePipeline::~ProductAnalyticsRemotePipeline() {
    // Runs after everything posted before it, so handed-over events reach the queue file.
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker] {
            worker->shutDown();
            delete worker;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void ProductAnalyticsRemotePipeline::post(std::function<void()> work) {
    QMetaObject::invokeMethod(m_worker, std::move(work), Qt::QueuedConnection);
}

bool ProductAnalyticsRemotePipeline::recordOnPipelineThread(const ProductAnalyticsEvent& event,
                                                            const ProductAnalyticsConsentSnapshot& expected) {
    Q_ASSERT(QThread::currentThread() == m_thread.get());
    return m_worker->record(event, expected);
}

QFuture<bool> ProductAnalyticsRemotePipeline::record(ProductAnalyticsEvent event,
                                                     ProductAnalyticsConsentSnapshot expected) {
    auto promise = startedPromise<bool>();
    post([worker = m_worker, promise, event = std::move(event), expected] {
        promise->addResult(worker->record(event, expected));
        promise->finish();
    });
    return promise->future();
}

QFuture<void> ProductAnalyticsRemotePipeline::flush(Date at) {
    auto promise = startedPromise<void>();
    post([worker = m_worker, promise, at] { worker->requestFlush(at, promise); });
    return promise->future();
}

QFuture<void> ProductAnalyticsRemotePipeline::optIn(QUuid installationID) {
    auto promise = startedPromise<void>();
    post([worker = m_worker, promise, installationID] {
        worker->optIn(installationID);
        promise->finish();
    });
    return promise->future();
}

QFuture<void> ProductAnalyticsRemotePipeline::optOut() {
    auto promise = startedPromise<void>();
    post([worker = m_worker, promise] {
        worker->optOut();
        promise->finish();
    });
    return promise->future();
}

QFuture<void> ProductAnalyticsRemotePipeline::discardQueue() {
    auto promise = startedPromise<void>();
    post([worker = m_worker, promise] {
        worker->discardQueue();
        promise->finish();
    });
    return promise->future();
}

QFuture<void> ProductAnalyticsRemotePipeline::prepareForLaunch() {
    auto promise = startedPromise<void>();
    post([worker = m_worker, promise] {
        worker->prepareForLaunch();
        promise->finish();
    });
    return promise->future();
}

QFuture<std::vector<ProductAnalyticsQueuedEvent>> ProductAnalyticsRemotePipeline::queuedEvents() {
    auto promise = startedPromise<std::vector<ProductAnalyticsQueuedEvent>>();
    post([worker = m_worker, promise] {
        promise->addResult(worker->queuedEvents());
        promise->finish();
    });
    return promise->future();
}

std::optional<Date> ProductAnalyticsRemotePipeline::scheduledFlush() const {
    std::lock_guard lock(m_scheduleMutex);
    return m_scheduled;
}

} // namespace kestrum
