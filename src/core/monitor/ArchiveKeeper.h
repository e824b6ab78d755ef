#pragma once

#include "OperationContext.h"
#include "foundation/Clocks.h"
#include "history/HealthArchive.h"
#include "history/HealthArchiveJournal.h"
#include "history/HealthArchivePersisting.h"
#include "interpretation/PersonalBaseline.h"

#include <QObject>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace kestrum {

// Keeps the persisted history: loads and compacts it once, holds its lists, appends one sample a minute,
// records every change (appended to the repository's journal where it can be, the whole archive where
// not), erases it on request, and derives the personal baseline from it. Lives on
// the main thread; the repository does the file work elsewhere.
class ArchiveKeeper : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kEventLimit = HealthArchiveJournal::kEventLimit;
    static constexpr double kPersistEverySeconds = 60;

    struct Dependencies {
        std::shared_ptr<HealthArchivePersisting> repository;
        DateProvider dateProvider;
        std::function<QUuid()> idProvider;
    };
    explicit ArchiveKeeper(Dependencies dependencies, QObject* parent = nullptr);

    const HealthArchive& archive() const { return m_archive; }
    const PersonalBaseline& personalBaseline() const { return m_personalBaseline; }
    bool isPrepared() const { return m_isPrepared; }
    QString persistenceError() const { return m_persistenceError; }
    quint64 eraseGeneration() const { return m_eraseGeneration; }

    // Loads, compacts and applies the archive once; concurrent callers wait for the one load.
    QCoro::Task<void> prepare();
    // Compacts the lists as of now and saves them. False while unprepared, on failure, or when an erase
    // overtook the save.
    QCoro::Task<bool> persist();
    // Erases every persisted list and saves the empty archive.
    QCoro::Task<void> clear();

    // Keeps the sample when a minute has passed since the last one kept (or the clock went backwards);
    // recomputes the baseline when it was kept.
    bool appendSampleIfNeeded(const HealthSample& sample);
    // Adds new events in time order, keeping the newest 500.
    void addEvents(const std::vector<HealthEvent>& events);
    // Applies a finished operation's result to the lists.
    void commit(const ArchiveCommit& commit);

    std::optional<IncidentSession> activeIncident() const;
    // False (nothing changes) when a marker is already open, or when none is open to stop.
    bool startIncident(const QString& note);
    bool stopIncident(const QString& note);

Q_SIGNALS:
    void samplesChanged();
    void eventsChanged();
    void incidentsChanged();
    void resultsChanged();
    void personalBaselineChanged();
    void persistenceErrorChanged();
    void eraseGenerationChanged();
    void preparedChanged();
    void preparationFinished();
    // The history was erased: whatever remembers it (alerts, observation) starts over.
    void erased();

private:
    void apply(const HealthArchive& archive);
    void setPersistenceError(const QString& text);

    Dependencies m_deps;
    HealthArchive m_archive;
    PersonalBaseline m_personalBaseline;
    std::optional<Date> m_lastPersistedSampleAt;
    // What changed since the repository last recorded the archive.
    std::vector<HealthSample> m_unrecordedSamples;
    std::vector<std::vector<HealthEvent>> m_unrecordedEvents;
    HealthArchive m_recordedRest; // the last recorded archive's fields other than samples and events
    bool m_needsRewrite = false;
    QString m_persistenceError;
    quint64 m_eraseGeneration = 0;
    bool m_isPrepared = false;
    bool m_isPreparing = false;
};

} // namespace kestrum
