#pragma once

#include "foundation/KestrumError.h"
#include "measurement/ThermalLevel.h"

#include <cstdint>

namespace kestrum {

// The failures of the quick and deep health tests; each code is the case name.
namespace QuickHealthTestError {
KestrumError unsafeThermalState(ThermalLevel level);
// `workloadName` is one of the names below.
KestrumError invalidWorkloadResult(const QString& workloadName);
KestrumError deepTestInsufficientStorage(uint64_t requiredBytes);
KestrumError measurementRequired();
KestrumError deepTestThermalUnavailable();
KestrumError deepTestStorageUnavailable();

QString processorWorkloadName();    // "İşlemci"
QString memoryWorkloadName();       // "Bellek"
QString storageWriteWorkloadName(); // "Depolama yazma"
QString storageReadWorkloadName();  // "Depolama okuma"
QString storageWorkloadName();      // "Depolama"
} // namespace QuickHealthTestError

// The failures of the processor benchmark.
namespace CPUBenchmarkError {
KestrumError unsafeThermalState(ThermalLevel level);
KestrumError measurementRequired();
KestrumError thermalUnavailable();
KestrumError lowBattery();
KestrumError invalidWorkloadResult();
} // namespace CPUBenchmarkError

// The warning a result carries when the machine offers no thermal signal at all, so the test could not
// be stopped on heat.
QString thermalProtectionUnavailableWarning();

} // namespace kestrum
