#pragma once

#include "StorageScanResult.h"
#include "foundation/Clocks.h"
#include "foundation/KestrumError.h"

#include <atomic>
#include <optional>
#include <stop_token>

namespace kestrum {

class StorageMapScanning {
public:
    virtual ~StorageMapScanning() = default;
    // Walks the folder once. Blocking: callers run it off the main thread. Throws KestrumError with
    // the scanner's messages, or CancellationError once `stop` is requested.
    virtual StorageScanResult scan(const QString& rootPath, std::stop_token stop) = 0;
    // Files counted so far by the scan that runs now (or ran last), for a live counter; read from any
    // thread. Absent for a scanner that does not count as it goes.
    virtual std::optional<int64_t> filesCountedSoFar() const { return std::nullopt; }
};

namespace StorageMapScannerError {
KestrumError locationIsNotDirectory(); // "Seçilen konum bir klasör değil."
KestrumError locationCannotBeRead();   // "Seçilen klasör okunamadı veya izin artık geçerli değil."
} // namespace StorageMapScannerError

// A parallel walk with openat/readdir/fstatat relative to each directory, no path strings per file, no
// symbolic link ever followed and no other file system entered. Allocated size is st_blocks × 512.
//
// The walk goes one depth level at a time; worker threads share each level's directories and keep
// their own sums, merged when the level is done, so the result is the same whatever the thread count
// and scheduling. When the file limit is reached, the counted files are the shallowest ones: every
// level above the one where the limit falls is counted whole, and on that level directories are taken
// in byte order of their paths and, in the directory where the limit falls, files in byte order of
// their names.
class FileSystemStorageMapScanner : public StorageMapScanning {
public:
    static constexpr int64_t kDefaultMaximumFileCount = 500'000;

    explicit FileSystemStorageMapScanner(int64_t maximumFileCount = kDefaultMaximumFileCount,
                                         int threadCount = 4, DateProvider dateProvider = {});
    StorageScanResult scan(const QString& rootPath, std::stop_token stop) override;
    std::optional<int64_t> filesCountedSoFar() const override { return m_counted.load(); }

private:
    std::atomic<int64_t> m_counted{0};
    int64_t m_maximumFileCount;
    int m_threadCount;
    DateProvider m_dateProvider;
};

} // namespace kestrum
