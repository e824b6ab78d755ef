#pragma once

#include "CliSupport.h"
#include "measurement/DefaultSystemMetricsSampler.h"

namespace kestrum {
struct HealthArchive;
}

namespace kestrum::cli {

int runSnapshot(Arguments& arguments);
int runHealth(Arguments& arguments);
int runBaseline(Arguments& arguments);
int runMenubar(Arguments& arguments);
int runMonitor(Arguments& arguments);
int runEvents(Arguments& arguments);
int runHistory(Arguments& arguments);
int runIncident(Arguments& arguments);
int runNotifications(Arguments& arguments);
int runStorage(Arguments& arguments);

// Two samples `interval` seconds apart, so that usage and traffic rates are real; the second is returned.
SystemSnapshot takeSettledSnapshot(DefaultSystemMetricsSampler& sampler, double interval, bool& interrupted);

// The archive at the data directory, for reading only. Throws KestrumError with the store's wording.
kestrum::HealthArchive loadArchiveForReading();

} // namespace kestrum::cli
