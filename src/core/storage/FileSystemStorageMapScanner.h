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

// A parallel walk that opens every directory relative to its parent's open descriptor
// (openat with O_NOFOLLOW, checked against the device and inode seen in the parent), lists it with
// getdents64 and reads each entry's status with fstatat: no path strings, no symbolic link followed
// below the chosen folder (the folder itself may be one: it is followed, like `du -L` on its argument),
// no other file system entered (mount points are counted as skipped). Allocated size is st_blocks × 512.
//
// Threads take directories from a shared stack as they are found, so deep and uneven trees keep every
// thread busy. Each directory's own sums are kept with it and added up at the end, so the result is the
// same whatever the thread count and scheduling. Open descriptors are bounded: a directory's descriptor
// stays open while its subdirectories still need it, beyond the bound the oldest are closed and opened
// again through their parents when needed, so trees of any depth are counted whole.
//
// When the file limit is reached, the counted files are the shallowest ones: every level above the one
// where the limit falls is counted whole, and on that level directories are taken in byte order of their
// paths and, in the directory where the limit falls, files in byte order of their names. The walk stops
// as soon as the listed files show that the limit will be passed; a second pass then lists (without
// reading file status) only the levels down to the one where the limit falls and reads the status of
// the files it keeps that the walk had not read yet.
class FileSystemStorageMapScanner : public StorageMapScanning {
public:
    static constexpr int64_t kDefaultMaximumFileCount = 500'000;

    explicit FileSystemStorageMapScanner(int64_t maximumFileCount = kDefaultMaximumFileCount,
                                         int threadCount = 4, DateProvider dateProvider = {});
    StorageScanResult scan(const QString& rootPath, std::stop_token stop) override;
    std::optional<int64_t> filesCountedSoFar() const override { return m_counted.load(); }

    // How many directory descriptors a scan keeps open for later use (besides a few per thread);
    // 0 (the default) derives it from the process's descriptor limit.
    void setOpenDirectoryLimit(int limit) { m_openDirectoryLimit = limit; }

    // What the last finished scan did.
    struct Work {
        int64_t directoriesRead = 0; // directory listings
        int64_t fileStatusReads = 0; // fstatat calls on files (not on directories)
        bool limitPassRan = false;   // the file limit was reached and decided in its own pass
    };
    Work lastWork() const;

private:
    std::atomic<int64_t> m_counted{0};
    int64_t m_maximumFileCount;
    int m_threadCount;
    DateProvider m_dateProvider;
    int m_openDirectoryLimit = 0;
    std::atomic<int64_t> m_lastDirectoriesRead{0};
    std::atomic<int64_t> m_lastFileStatusReads{0};
    std::atomic<bool> m_lastLimitPassRan{false};
};

} // namespace kestrum
