#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace kestrum {

// Writes `data` to a temporary file (".<name>.XXXXXX") in the same folder, flushes it to disk with fsync,
// then renames it over `path` and syncs the folder: a reader sees the old file or the new one, never a
// half-written one. When `path` is a symbolic link the file it points to is replaced, and the link stays.
// Missing folders are created private to the user (0700) whatever the umask. Throws KestrumError (code
// "fileWrite") with a Turkish description.
void writeFileAtomically(const QString& path, const QByteArray& data);

// Reads a whole file. Absent when it does not exist; throws KestrumError (code "fileRead") when it exists
// but cannot be read, is not a regular file (a device, a FIFO, a folder: never waited on), or is larger
// than `maximumBytes`.
std::optional<QByteArray> readFileIfExists(const QString& path, qint64 maximumBytes = 256LL * 1024 * 1024);

// Removes the temporaries a writer of `path` left behind when it was killed between creating and renaming
// them. Only the process that alone may write `path` (the holder of its folder's lock) may call this.
// Returns how many it removed.
int removeStaleTemporaries(const QString& path);

} // namespace kestrum
