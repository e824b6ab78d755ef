#pragma once

#include "foundation/KestrumError.h"
#include "foundation/Uuid.h"
#include "monitor/SystemMonitorStore.h"

#include <QFuture>
#include <QPromise>
#include <deque>

namespace kestrum::test {

// Snapshots on demand; each sample is stamped with the fake wall clock. Can hold a sample back, or fail.
class FakeSampler : public SystemMetricsSampling {
public:
    explicit FakeSampler(Date* now) : m_now(now) {}

    SystemSnapshot next;   // what the next sample returns (new id and the current time are filled in)
    bool deferred = false; // hold samples until release()
    bool failing = false;
    int calls = 0;

    QFuture<SystemSnapshot> sample() override {
        ++calls;
        if (failing)
            return QtFuture::makeExceptionalFuture<SystemSnapshot>(
                KestrumError(QStringLiteral("x"), QStringLiteral("Örnek alınamadı.")));
        if (!deferred)
            return QtFuture::makeReadyFuture(stamped());
        m_pending.emplace_back();
        m_pending.back().start();
        return m_pending.back().future();
    }
    void release() {
        while (!m_pending.empty()) {
            m_pending.front().addResult(stamped());
            m_pending.front().finish();
            m_pending.pop_front();
        }
    }
    size_t pending() const { return m_pending.size(); }

private:
    SystemSnapshot stamped() {
        SystemSnapshot s = next;
        s.id = newUuid();
        s.timestamp = *m_now;
        return s;
    }
    Date* m_now;
    std::deque<QPromise<SystemSnapshot>> m_pending;
};

// The archive in memory; loads and saves can fail or be held back.
class FakeRepository : public HealthArchivePersisting {
public:
    HealthArchive stored;
    bool failLoad = false;
    bool failSave = false;
    bool deferSaves = false;
    int saves = 0;

    QFuture<HealthArchive> load() override {
        if (failLoad)
            return QtFuture::makeExceptionalFuture<HealthArchive>(
                KestrumError(QStringLiteral("decoding"), QStringLiteral("JSON biçimi bozuk (konum 3).")));
        return QtFuture::makeReadyFuture(stored);
    }
    QFuture<void> save(const HealthArchive& archive) override {
        ++saves;
        if (failSave)
            return QtFuture::makeExceptionalFuture<void>(
                KestrumError(QStringLiteral("fileWrite"), QStringLiteral("Disk dolu.")));
        if (!deferSaves) {
            stored = archive;
            return QtFuture::makeReadyFuture();
        }
        m_pending.emplace_back(archive, QPromise<void>());
        m_pending.back().second.start();
        return m_pending.back().second.future();
    }
    // Completes held saves in order, as the serial repository would.
    void completeSaves() {
        while (!m_pending.empty()) {
            stored = m_pending.front().first;
            m_pending.front().second.finish();
            m_pending.pop_front();
        }
    }

private:
    std::deque<std::pair<HealthArchive, QPromise<void>>> m_pending;
};

class FakeNotifications : public HealthNotificationDelivering {
public:
    bool grant = true;
    std::vector<HealthEvent> delivered;
    QCoro::Task<bool> requestAuthorization() override { co_return grant; }
    void deliver(const HealthEvent& event) override { delivered.push_back(event); }
};

// Loop waits that end at once, counted; a stop request ends them with false.
class InstantSleeper : public LoopSleeping {
public:
    int sleeps = 0;
    double lastSeconds = 0;
    int stopAfter = -1; // end the loop after this many sleeps
    QCoro::Task<bool> sleep(double seconds, std::stop_token stop) override {
        ++sleeps;
        lastSeconds = seconds;
        co_return !stop.stop_requested() && sleeps != stopAfter;
    }
};

} // namespace kestrum::test
