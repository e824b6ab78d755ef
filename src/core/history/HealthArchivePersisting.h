#pragma once

#include "HealthArchive.h"

#include <QFuture>

namespace kestrum {

// Loads and saves the archive off the main thread; failures travel in the future.
class HealthArchivePersisting {
public:
    virtual ~HealthArchivePersisting() = default;
    virtual QFuture<HealthArchive> load() = 0;
    virtual QFuture<void> save(const HealthArchive& archive) = 0;
};

} // namespace kestrum
