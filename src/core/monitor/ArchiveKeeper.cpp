#include "ArchiveKeeper.h"

#include "foundation/KestrumError.h"
#include "foundation/Translatable.h"
#include "foundation/UserText.h"
#include "history/HealthArchiveCompaction.h"
#include "interpretation/PersonalBaselineEngine.h"

#include <QPointer>
#include <algorithm>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorosignal.h>
#include <utility>

namespace kestrum {

ArchiveKeeper::ArchiveKeeper(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)) {
    Q_ASSERT(m_deps.repository && m_deps.dateProvider && m_deps.idProvider);
}

QCoro::Task<void> ArchiveKeeper::prepare() {
    QPointer<ArchiveKeeper> self(this);
    if (m_isPrepared)
        co_return;
    if (m_isPreparing) {
        co_await qCoro(this, &ArchiveKeeper::preparationFinished);
        co_return;
    }
    m_isPreparing = true;
    std::shared_ptr<HealthArchivePersisting> repository = m_deps.repository;
    std::optional<HealthArchive> loaded;
    try {
        loaded = co_await repository->load();
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (self)
            setPersistenceError(
                trTemplate("Kalıcı sağlık geçmişi açılamadı: \\(description)", {description}));
    }
    if (!self)
        co_return;
    bool changed = false;
    if (loaded) {
        HealthArchive compacted = HealthArchiveCompaction::compacted(*loaded, m_deps.dateProvider());
        // Sessions left open by an earlier run end at their last recorded moment.
        for (PerformanceSession& session : compacted.performanceSessions)
            session.completeLeftOpen();
        changed = !(compacted == *loaded);
        apply(compacted);
        m_recordedRest = HealthArchiveJournal::withoutSamplesAndEvents(compacted);
        // The journal's lines are replayed and compacted alike on every load; what compaction changed
        // here is written whole, so the files on disk start out as what is shown.
        m_needsRewrite = changed;
        m_isPrepared = true;
        Q_EMIT preparedChanged();
    }
    m_isPreparing = false;
    Q_EMIT preparationFinished();
    if (changed)
        co_await persist();
}

void ArchiveKeeper::apply(const HealthArchive& archive) {
    m_archive = archive;
    m_lastPersistedSampleAt.reset();
    if (!m_archive.samples.empty())
        m_lastPersistedSampleAt = m_archive.samples.back().timestamp;
    m_personalBaseline = PersonalBaselineEngine::makeBaseline(m_archive.samples, m_deps.dateProvider(),
                                                              PersonalBaselineEngine::kLookbackSeconds);
    Q_EMIT samplesChanged();
    Q_EMIT eventsChanged();
    Q_EMIT incidentsChanged();
    Q_EMIT resultsChanged();
    Q_EMIT personalBaselineChanged();
}

QCoro::Task<bool> ArchiveKeeper::persist() {
    QPointer<ArchiveKeeper> self(this);
    if (!m_isPrepared)
        co_return false;
    const quint64 eraseGeneration = m_eraseGeneration;
    const HealthArchive compacted = HealthArchiveCompaction::compacted(m_archive, m_deps.dateProvider());
    apply(compacted);
    // Compaction needs no record of its own: a load compacts the replayed journal the same way.
    HealthArchiveChanges changes;
    HealthArchive rest = HealthArchiveJournal::withoutSamplesAndEvents(compacted);
    changes.needsRewrite = m_needsRewrite || rest.unknownFields != m_recordedRest.unknownFields;
    changes.samples = std::exchange(m_unrecordedSamples, {});
    changes.events = std::exchange(m_unrecordedEvents, {});
    changes.replacedFields = HealthArchiveJournal::differingFields(m_recordedRest, rest);
    changes.items = HealthArchiveJournal::itemChanges(m_recordedRest, rest, changes.replacedFields);
    m_recordedRest = std::move(rest);
    m_needsRewrite = false;
    std::shared_ptr<HealthArchivePersisting> repository = m_deps.repository;
    try {
        co_await repository->record(compacted, changes);
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (self)
            m_needsRewrite = true; // the changes stay in memory; the next save writes them all
        if (self)
            setPersistenceError(
                trTemplate("Kalıcı sağlık geçmişi kaydedilemedi: \\(description)", {description}));
        co_return false;
    }
    if (!self || eraseGeneration != m_eraseGeneration)
        co_return false; // an erase happened meanwhile; its own save decides
    setPersistenceError({});
    co_return true;
}

QCoro::Task<void> ArchiveKeeper::clear() {
    QPointer<ArchiveKeeper> self(this);
    const quint64 generation = ++m_eraseGeneration;
    Q_EMIT eraseGenerationChanged();
    m_archive = HealthArchive::empty();
    m_personalBaseline = PersonalBaseline::empty();
    m_lastPersistedSampleAt.reset();
    m_unrecordedSamples.clear();
    m_unrecordedEvents.clear();
    m_recordedRest = HealthArchive::empty();
    m_needsRewrite = false;
    Q_EMIT erased();
    Q_EMIT samplesChanged();
    Q_EMIT eventsChanged();
    Q_EMIT incidentsChanged();
    Q_EMIT resultsChanged();
    Q_EMIT personalBaselineChanged();
    if (!m_isPrepared)
        co_return;
    std::shared_ptr<HealthArchivePersisting> repository = m_deps.repository;
    try {
        co_await repository->save(HealthArchive::empty());
    } catch (...) {
        const QString description = describeException(std::current_exception());
        if (self)
            m_needsRewrite = true;
        if (self)
            setPersistenceError(trTemplate("Sağlık geçmişi silinemedi: \\(description)", {description}));
        co_return;
    }
    if (self && generation == m_eraseGeneration)
        setPersistenceError({});
}

bool ArchiveKeeper::appendSampleIfNeeded(const HealthSample& sample) {
    if (m_lastPersistedSampleAt) {
        const double since = sample.timestamp.secondsSince(*m_lastPersistedSampleAt);
        if (since >= 0 && since < kPersistEverySeconds)
            return false;
    }
    m_archive.samples.push_back(sample);
    m_unrecordedSamples.push_back(sample);
    m_archive.samples = HealthArchiveCompaction::compactedSamples(m_archive.samples, sample.timestamp);
    m_lastPersistedSampleAt.reset();
    if (!m_archive.samples.empty())
        m_lastPersistedSampleAt = m_archive.samples.back().timestamp;
    m_personalBaseline = PersonalBaselineEngine::makeBaseline(m_archive.samples, sample.timestamp,
                                                              PersonalBaselineEngine::kLookbackSeconds);
    Q_EMIT samplesChanged();
    Q_EMIT personalBaselineChanged();
    return true;
}

void ArchiveKeeper::addEvents(const std::vector<HealthEvent>& newEvents) {
    if (newEvents.empty())
        return;
    HealthArchiveJournal::mergeEvents(m_archive.events, newEvents, kEventLimit);
    m_unrecordedEvents.push_back(newEvents);
    Q_EMIT eventsChanged();
}

void ArchiveKeeper::commit(const ArchiveCommit& commit) {
    if (!commit)
        return;
    // Results are found by comparison when saved; a commit that touched samples or events is saved whole.
    const std::vector<HealthSample> samples = m_archive.samples;
    const std::vector<HealthEvent> events = m_archive.events;
    commit(m_archive);
    if (m_archive.samples != samples || m_archive.events != events)
        m_needsRewrite = true;
    Q_EMIT resultsChanged();
}

std::optional<IncidentSession> ArchiveKeeper::activeIncident() const {
    for (auto it = m_archive.incidents.rbegin(); it != m_archive.incidents.rend(); ++it) {
        if (!it->endedAt)
            return *it;
    }
    return std::nullopt;
}

bool ArchiveKeeper::startIncident(const QString& note) {
    if (activeIncident())
        return false;
    m_archive.incidents.push_back({m_deps.idProvider(), m_deps.dateProvider(), std::nullopt,
                                   boundedUserText(note, kMaximumIncidentNoteCharacters)});
    Q_EMIT incidentsChanged();
    return true;
}

bool ArchiveKeeper::stopIncident(const QString& note) {
    for (auto it = m_archive.incidents.rbegin(); it != m_archive.incidents.rend(); ++it) {
        if (it->endedAt)
            continue;
        it->endedAt = std::max(m_deps.dateProvider(), it->startedAt);
        if (const QString bounded = boundedUserText(note, kMaximumIncidentNoteCharacters); !bounded.isEmpty())
            it->note = bounded;
        Q_EMIT incidentsChanged();
        return true;
    }
    return false;
}

void ArchiveKeeper::setPersistenceError(const QString& text) {
    if (m_persistenceError == text)
        return;
    m_persistenceError = text;
    Q_EMIT persistenceErrorChanged();
}

} // namespace kestrum
