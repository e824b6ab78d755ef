#pragma once

#include "HealthArchive.h"
#include "HealthArchiveJournal.h"

#include <QFuture>
#include <QStringList>

namespace kestrum {

// What changed in the archive since it was last handed to the repository, so that the change can be
// appended rather than the whole archive rewritten.
struct HealthArchiveChanges {
    bool needsRewrite = false;                    // something changed that only a whole rewrite records
    std::vector<HealthSample> samples;            // appended, oldest first
    std::vector<std::vector<HealthEvent>> events; // each batch as it was added
    HealthArchiveJournal::ItemChanges items;      // incidents and performance sessions, item by item
    QStringList replacedFields; // archive keys whose whole value changed (results; lists without item form)
    bool isEmpty() const {
        return !needsRewrite && samples.empty() && events.empty() && items.isEmpty() &&
               replacedFields.isEmpty();
    }
};

// Loads and saves the archive off the main thread; failures travel in the future.
class HealthArchivePersisting {
public:
    virtual ~HealthArchivePersisting() = default;
    virtual QFuture<HealthArchive> load() = 0;
    virtual QFuture<void> save(const HealthArchive& archive) = 0;
    // Records `archive`, which differs from the last one recorded by `changes`. A repository that keeps
    // no journal saves it whole.
    virtual QFuture<void> record(const HealthArchive& archive, const HealthArchiveChanges& changes) {
        (void)changes;
        return save(archive);
    }
};

} // namespace kestrum
