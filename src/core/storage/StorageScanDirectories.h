#pragma once

// The directory tree a storage scan builds, and the bounded set of open directory descriptors it reads
// it through. Internal to the file-system scanner.

#include "StorageClassifier.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace kestrum::storagescan {

constexpr size_t kCategoryCount = 8;
constexpr size_t kNameChunkSize = 64 * 1024;
constexpr int kDirectoryOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

inline uint64_t saturatingAdd(uint64_t a, uint64_t b) {
    uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<uint64_t>::max() : sum;
}

struct Tally {
    uint64_t bytes = 0;
    int64_t files = 0;
    void add(uint64_t size, int64_t count = 1) {
        bytes = saturatingAdd(bytes, size);
        files += count;
    }
    void add(const Tally& other) { add(other.bytes, other.files); }
};

// The counted files of one directory (not those of its subdirectories).
struct Contents {
    Tally files;
    std::array<Tally, kCategoryCount> categories{};
    int64_t unreadable = 0; // files whose status could not be read
};

enum class NodeState : uint8_t {
    unread,     // known from its parent's listing only
    listed,     // its entries are known: file count and subdirectories
    counted,    // and its files' sizes are read (contents)
    failed,     // could not be opened or read: one inaccessible entry
    vanished,   // gone, or no longer the directory the parent listed: nothing
    mountPoint, // another file system: not entered
};

// One directory. Lives in a thread's arena until the scan ends.
struct Node {
    Node* parent = nullptr;
    const char* name = ""; // NUL-terminated
    uint32_t nameLength = 0;
    uint32_t depth = 0;
    int32_t item = -1; // index of the root's direct child it lies in; -1 for the root
    uint32_t order = 0;
    StorageClassifier::Bundle bundle = StorageClassifier::Bundle::none;
    NodeState state = NodeState::unread;
    dev_t device = 0;
    ino_t inode = 0;
    int64_t fileCount = 0;       // regular files the listing found
    int64_t listingProblems = 0; // entries whose status could not be read while listing
    Contents* contents = nullptr;
    std::atomic<int32_t> unopenedChildren{0};
    // Guarded by OpenDirectories' mutex.
    int fd = -1;
    int fdUsers = 0;
    bool fdCached = false;
    bool fdPinned = false;
    bool fdQueued = false;
};

inline bool sameDirectory(int fd, const Node& node) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == node.device &&
           st.st_ino == node.inode;
}

enum class Opened { ok, failed, vanished };

inline Opened openOutcome(int error) {
    // Gone, or replaced by something that is not a directory (a symbolic link is refused, not followed).
    return (error == ENOENT || error == ENOTDIR || error == ELOOP) ? Opened::vanished : Opened::failed;
}

// The node's path below the scan's root ("a/b/c"; empty for the root).
std::string pathOf(const Node& node);

inline bool isListed(const Node& node) {
    return node.state == NodeState::listed || node.state == NodeState::counted;
}

// How many directory descriptors a scan may keep open: `requested`, or a share of this process' limit.
size_t openDirectoryLimitFor(int requested);

// Descriptors of directories that are still needed, bounded: beyond the bound the oldest cached one is
// closed and, when needed again, opened anew through its parent (and its parent's parent, as far up as
// needed), each step checked against the device and inode seen when it was listed.
class OpenDirectories {
public:
    explicit OpenDirectories(size_t limit) : m_limit(std::max<size_t>(limit, 1)) {}
    ~OpenDirectories();
    OpenDirectories(const OpenDirectories&) = delete;
    OpenDirectories& operator=(const OpenDirectories&) = delete;

    void pinRoot(Node& root, int fd);
    // Opens `node` through its parent. On success `fd` is the caller's to close or keep().
    Opened open(Node& node, int& fd);
    // Makes `fd` the node's descriptor for its subdirectories to open through, used by the caller
    // until release().
    void keep(Node& node, int fd);
    void release(Node& node);
    // No subdirectory needs the node's descriptor any more.
    void forget(Node& node);

private:
    // The node's descriptor, opened again if it was closed; -1 when that fails, with `outcome` saying
    // why (vanished: an ancestor is no longer what was listed). Pair with release().
    int acquire(Node& node, Opened& outcome);
    void closeIfUnusedLocked(Node& node);
    void cacheLocked(Node& node);

    std::mutex m_mutex;
    size_t m_limit;
    size_t m_cached = 0;
    std::deque<Node*> m_queue; // cached nodes, oldest first
    Node* m_root = nullptr;
};

// Copies of directory names, kept until the scan ends.
class NameArena {
public:
    const char* copy(std::string_view name);

private:
    std::vector<std::unique_ptr<char[]>> m_chunks;
    size_t m_chunkSize = 0;
    size_t m_used = 0;
};

} // namespace kestrum::storagescan
