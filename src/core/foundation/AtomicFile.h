#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kestrum {

// Writes `data` to a temporary file in the same folder, flushes it to disk with fsync, then renames it
// over `path` and syncs the folder: a reader sees the old file or the new one, never a half-written one.
// Creates missing folders. Throws KestrumError (code "fileWrite") with a Turkish description.
void writeFileAtomically(const QString& path, const QByteArray& data);

// Reads a whole file. Absent when it does not exist; throws KestrumError (code "fileRead") when it exists
// but cannot be read or is larger than `maximumBytes`.
std::optional<QByteArray> readFileIfExists(const QString& path, qint64 maximumBytes = 256LL * 1024 * 1024);

} // namespace kestrum
