#pragma once

#include "CPUBenchmarkResult.h"

#include <QByteArray>
#include <QString>

namespace kestrum {

// The benchmark history file beside the archive ("cpu-benchmark-history-v1.json"): {"schemaVersion": 1,
// "results": [CPUBenchmarkResult…]}. It keeps a second copy of the benchmark results.
namespace CPUBenchmarkHistorySidecar {

constexpr int kSchemaVersion = 1;

QByteArray encode(const std::vector<CPUBenchmarkResult>& results);
// Throws KestrumError: "decoding" naming the field, or "unsupportedSchema" for another version.
std::vector<CPUBenchmarkResult> decode(const QByteArray& bytes);

struct LoadOutcome {
    // Absent when there is no file or it could not be used.
    std::optional<std::vector<CPUBenchmarkResult>> results;
    // A Turkish sentence when the file was unusable and moved aside; empty otherwise.
    QString problem;
};
// A missing file gives nothing. A file that cannot be decoded, or was written by a newer Kestrum, is never
// overwritten: it is renamed to "<path>.unreadable-<unix seconds>" and the problem says so.
LoadOutcome load(const QString& path);
// Atomic: a temporary file in the same folder, synced, renamed over the old one.
void save(const QString& path, const std::vector<CPUBenchmarkResult>& results);

} // namespace CPUBenchmarkHistorySidecar

} // namespace kestrum
