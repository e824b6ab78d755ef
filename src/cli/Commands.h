#pragma once

#include "CliSupport.h"
#include "measurement/DefaultSystemMetricsSampler.h"

namespace kestrum {
struct HealthArchive;
struct PersonalBaseline;
} // namespace kestrum

namespace kestrum::cli {

int runSnapshot(Arguments& arguments);
int runHealth(Arguments& arguments);
int runSummary(Arguments& arguments);
int runDiagnose(Arguments& arguments);
int runBaseline(Arguments& arguments);
int runMenubar(Arguments& arguments);
int runMonitor(Arguments& arguments);
int runEvents(Arguments& arguments);
int runHistory(Arguments& arguments);
// The range's samples of one metric drawn as a chart (or its points as JSON).
int runHistoryChart(const QString& metric, const std::optional<QString>& range, bool asJson);
int runTimeline(Arguments& arguments);
int runIncident(Arguments& arguments);
int runNotifications(Arguments& arguments);
int runStorage(Arguments& arguments);
int runExport(Arguments& arguments);
int runAnalytics(Arguments& arguments);

// The data folder's lock: whoever holds it is the one process writing the archive.
QString monitorLockPath();
int runCulprits(Arguments& arguments);
int runSession(Arguments& arguments);
int runCompareCpu(Arguments& arguments);

int runNet(Arguments& arguments);
int runNetworkQuality(Arguments& arguments);
int runNetworkSpeed(Arguments& arguments);
int runWiFi(Arguments& arguments);
int runTest(Arguments& arguments);
int runBenchmark(Arguments& arguments);
int runResults(Arguments& arguments);
int runHardware(Arguments& arguments);
int runDiagnosticsCode(Arguments& arguments);
int runSensors(Arguments& arguments);
int runFan(Arguments& arguments);
int runReport(Arguments& arguments);
// The full system scan, its report and its history.
int runScan(Arguments& arguments);

// This machine now: two samples `interval` seconds apart, so that usage and traffic rates are real; the
// second is returned. Absent when Ctrl-C interrupted the wait.
std::optional<SystemSnapshot> takeMachineSnapshot(double interval);

// The personal baseline from the archive; without a readable archive the message is printed and the
// baseline is empty (the verdict then stands on fixed limits only).
kestrum::PersonalBaseline baselineFromArchiveOrEmpty();

// The archive at the data directory, for reading only. Throws KestrumError with the store's wording.
kestrum::HealthArchive loadArchiveForReading();

} // namespace kestrum::cli
