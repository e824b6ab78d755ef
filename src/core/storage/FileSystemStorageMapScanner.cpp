#include "FileSystemStorageMapScanner.h"

#include "NaturalOrder.h"
#include "StorageClassifier.h"
#include "StorageScanDirectories.h"
#include "foundation/Translatable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace kestrum {

namespace StorageMapScannerError {
KestrumError locationIsNotDirectory() {
    return KestrumError(QStringLiteral("locationIsNotDirectory"), trText("Seçilen konum bir klasör değil."));
}
KestrumError locationCannotBeRead() {
    return KestrumError(QStringLiteral("locationCannotBeRead"),
                        trText("Seçilen klasör okunamadı veya izin artık geçerli değil."));
}
} // namespace StorageMapScannerError

namespace {

constexpr size_t kCheckEvery = 64; // files between looks at cancellation and at the limit
constexpr size_t kDirentBufferSize = 64 * 1024;

using namespace storagescan;

// One listed entry of the directory being read; its name is in the workspace's name buffer.
struct Entry {
    uint32_t nameOffset = 0;
    uint32_t nameLength = 0;
    int64_t bytes = -1; // known when the listing had to read the status already
};

// What one thread reuses from directory to directory, so that reading one allocates nothing per entry.
struct Workspace {
    StorageClassifier classifier;
    std::unique_ptr<char[]> direntBuffer = std::make_unique<char[]>(kDirentBufferSize);
    std::vector<char> names;
    std::vector<Entry> files;
    std::vector<Entry> directories;
    std::vector<Node*> children; // subdirectories to read, in name order
    std::vector<Node*> created;  // every node made since the owner last took them
    std::deque<Node> nodes;
    std::deque<Contents> contents;
    NameArena nameArena;
    int64_t directoriesRead = 0;
    int64_t fileStatusReads = 0;

    const char* nameAt(const Entry& entry) const { return names.data() + entry.nameOffset; }
};

// The root's direct children: each is an item of the result, files included.
struct Items {
    std::vector<std::string> names;
    std::vector<std::pair<int32_t, uint64_t>> rootFiles; // the root's counted files: item, size
    int32_t add(std::string_view name) {
        names.emplace_back(name);
        return static_cast<int32_t>(names.size() - 1);
    }
};

// What every thread of a scan shares.
struct Walk {
    dev_t device = 0;
    int64_t limit = 0;
    std::stop_token stop;
    OpenDirectories* open = nullptr;
    Items* items = nullptr; // touched only while the root is read, on the scanning thread
    std::atomic<int64_t> listedFiles{0};
    std::atomic<bool> overLimit{false};
    std::atomic<int64_t>* found = nullptr; // the scanner's live count of the files listed so far
};

struct LinuxDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
};
constexpr size_t kDirentNameOffset = offsetof(LinuxDirent64, d_type) + 1;

// Lists an open directory into w.files and w.directories.
void readEntries(int fd, Node& node, Workspace& w) {
    w.names.clear();
    w.files.clear();
    w.directories.clear();
    ++w.directoriesRead;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, w.direntBuffer.get(), kDirentBufferSize);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno != ENOENT) // removed while being read: not an access problem
                ++node.listingProblems;
            break;
        }
        for (long offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(w.direntBuffer.get() + offset);
            offset += entry->d_reclen;
            const char* name = reinterpret_cast<const char*>(entry) + kDirentNameOffset;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            unsigned char type = entry->d_type;
            int64_t bytes = -1;
            if (type == DT_UNKNOWN) { // file systems that do not say: read the status now
                struct stat st {};
                if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno != ENOENT)
                        ++node.listingProblems;
                    continue;
                }
                if (S_ISREG(st.st_mode)) {
                    type = DT_REG;
                    bytes = st.st_blocks > 0 ? static_cast<int64_t>(st.st_blocks) * 512 : 0;
                    ++w.fileStatusReads;
                } else if (S_ISDIR(st.st_mode)) {
                    type = DT_DIR;
                }
            }
            if (type != DT_REG && type != DT_DIR)
                continue; // links are never followed; special files hold no data
            const size_t length = std::strlen(name);
            Entry listed{static_cast<uint32_t>(w.names.size()), static_cast<uint32_t>(length), bytes};
            w.names.insert(w.names.end(), name, name + length + 1);
            (type == DT_REG ? w.files : w.directories).push_back(listed);
        }
    }
}

// Turns the listed subdirectories into nodes. w.children receives those to read, in name order;
// w.created every node made.
void makeChildren(int fd, Node& parent, Workspace& w, const Walk& walk) {
    w.children.clear();
    const bool isRoot = parent.parent == nullptr;
    for (const Entry& entry : w.directories) {
        const char* name = w.nameAt(entry);
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
            if (errno != ENOENT)
                ++parent.listingProblems;
            continue;
        }
        if (!S_ISDIR(st.st_mode))
            continue; // replaced meanwhile
        Node& child = w.nodes.emplace_back();
        const std::string_view childName(name, entry.nameLength);
        child.parent = &parent;
        child.name = w.nameArena.copy(childName);
        child.nameLength = entry.nameLength;
        child.depth = parent.depth + 1;
        child.item = isRoot ? walk.items->add(childName) : parent.item;
        child.bundle = StorageClassifier::bundleOf(childName, parent.bundle);
        child.device = st.st_dev;
        child.inode = st.st_ino;
        w.created.push_back(&child);
        if (st.st_dev != walk.device) {
            child.state = NodeState::mountPoint;
            continue;
        }
        w.children.push_back(&child);
    }
    std::sort(w.children.begin(), w.children.end(),
              [](const Node* a, const Node* b) { return std::strcmp(a->name, b->name) < 0; });
}

// Reads the status of files[begin, end) (names in `names`) and adds them to `contents`. False when it
// gave up: the scan was cancelled or, with `stopAtLimit`, the walk passed the file limit.
bool tallyFiles(int fd, const Node& node, const std::vector<char>& names, const std::vector<Entry>& files,
                size_t begin, size_t end, Contents& contents, Workspace& w, Walk& walk, bool stopAtLimit) {
    const bool isRoot = node.parent == nullptr;
    for (size_t i = begin; i < end; ++i) {
        if ((i - begin) % kCheckEvery == 0 &&
            (walk.stop.stop_requested() || (stopAtLimit && walk.overLimit.load(std::memory_order_relaxed))))
            return false;
        const Entry& entry = files[i];
        const char* name = names.data() + entry.nameOffset;
        uint64_t bytes = 0;
        if (entry.bytes >= 0) {
            bytes = static_cast<uint64_t>(entry.bytes);
        } else {
            struct stat st {};
            ++w.fileStatusReads;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) // vanished meanwhile: not an access problem
                    ++contents.unreadable;
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue;
            bytes = st.st_blocks > 0 ? static_cast<uint64_t>(st.st_blocks) * 512u : 0u;
        }
        const std::string_view fileName(name, entry.nameLength);
        const StorageCategory category = w.classifier.classify(fileName, node.bundle);
        contents.files.add(bytes);
        contents.categories[static_cast<size_t>(declarationIndex(category))].add(bytes);
        if (isRoot) // a file directly in the root is an item of its own
            walk.items->rootFiles.emplace_back(walk.items->add(fileName), bytes);
    }
    return true;
}

// Counts the files of the directory the workspace has just listed; leaves the node uncounted when it
// gives up.
void countFiles(int fd, Node& node, Workspace& w, Walk& walk, bool stopAtLimit) {
    if (node.parent == nullptr)
        walk.items->rootFiles.clear();
    Contents contents;
    if (!tallyFiles(fd, node, w.names, w.files, 0, w.files.size(), contents, w, walk, stopAtLimit))
        return;
    node.contents = &w.contents.emplace_back(contents);
    node.state = NodeState::counted;
}

// The files of one large directory, counted in slices by whichever threads are free, so that one folder
// of 18,000 files does not leave the others waiting at the end of the walk.
struct FileBatch {
    Node* node = nullptr;
    int fd = -1;
    bool fdKept = false; // the node's cached descriptor: released through OpenDirectories, else closed
    std::vector<char> names;
    std::vector<Entry> files;
    std::vector<Contents> slices;
    std::atomic<size_t> remaining{0};
    std::atomic<bool> abandoned{false};
};
constexpr size_t kSliceFiles = 1024;
constexpr size_t kSlicedFrom = 2 * kSliceFiles;

// A directory to read, or one slice of a large directory's files.
struct Task {
    Node* node = nullptr;
    FileBatch* batch = nullptr;
    size_t slice = 0;
};

// The shared stack of work waiting to be done.
class WorkStack {
public:
    void push(const std::vector<Node*>& nodes) {
        if (nodes.empty())
            return;
        {
            std::lock_guard lock(m_mutex);
            for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) // first name on top
                m_items.push_back({*it, nullptr, 0});
        }
        if (nodes.size() == 1)
            m_wake.notify_one();
        else
            m_wake.notify_all();
    }
    void pushSlices(FileBatch* batch, size_t from, size_t to) {
        {
            std::lock_guard lock(m_mutex);
            for (size_t slice = to; slice-- > from;)
                m_items.push_back({batch->node, batch, slice});
        }
        m_wake.notify_all();
    }
    // The next task, or none when everything is done or the walk was stopped.
    std::optional<Task> pop() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_stopped)
                return std::nullopt;
            if (!m_items.empty()) {
                const Task task = m_items.back();
                m_items.pop_back();
                ++m_busy;
                return task;
            }
            if (m_busy == 0) {
                m_stopped = true;
                m_wake.notify_all();
                return std::nullopt;
            }
            m_wake.wait(lock);
        }
    }
    void finished() {
        std::lock_guard lock(m_mutex);
        if (--m_busy == 0 && m_items.empty())
            m_wake.notify_all();
    }
    void stop() {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_wake.notify_all();
    }
    // What was left when the walk stopped early.
    std::vector<Task> leftovers() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_items, {});
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Task> m_items;
    int m_busy = 0;
    bool m_stopped = false;
};

// One slice done (or given up, with `abandon`); the last one adds the slices up and lets the directory go.
void finishSlice(FileBatch* batch, bool abandon, Workspace& w, Walk& walk) {
    if (abandon)
        batch->abandoned = true;
    if (batch->remaining.fetch_sub(1) != 1)
        return;
    Node& node = *batch->node;
    if (!batch->abandoned) {
        Contents total;
        for (const Contents& slice : batch->slices) {
            total.files.add(slice.files);
            total.unreadable += slice.unreadable;
            for (size_t c = 0; c < kCategoryCount; ++c)
                total.categories[c].add(slice.categories[c]);
        }
        node.contents = &w.contents.emplace_back(total);
        node.state = NodeState::counted;
    }
    if (batch->fdKept)
        walk.open->release(node);
    else
        ::close(batch->fd);
    delete batch;
}

void countSlice(FileBatch* batch, size_t slice, Workspace& w, Walk& walk) {
    const size_t begin = slice * kSliceFiles;
    const size_t end = std::min(begin + kSliceFiles, batch->files.size());
    const bool done = tallyFiles(batch->fd, *batch->node, batch->names, batch->files, begin, end,
                                 batch->slices[slice], w, walk, true);
    finishSlice(batch, !done, w, walk);
}

void noteOpenFailure(Node& node, Opened outcome) {
    node.state = outcome == Opened::failed ? NodeState::failed : NodeState::vanished;
}

// The walk: one directory taken from the stack, listed, its subdirectories handed out at once, then
// its files counted.
void readDirectory(Node& node, Workspace& w, Walk& walk, WorkStack& stack) {
    int fd = -1;
    const Opened outcome = walk.open->open(node, fd);
    if (node.parent->unopenedChildren.fetch_sub(1) == 1 && node.parent->parent != nullptr)
        walk.open->forget(*node.parent);
    if (outcome != Opened::ok) {
        noteOpenFailure(node, outcome);
        return;
    }
    readEntries(fd, node, w);
    makeChildren(fd, node, w, walk);
    w.created.clear();
    node.fileCount = static_cast<int64_t>(w.files.size());
    node.state = NodeState::listed;
    if (walk.listedFiles.fetch_add(node.fileCount) + node.fileCount > walk.limit)
        walk.overLimit.store(true);
    walk.found->fetch_add(node.fileCount, std::memory_order_relaxed);
    const bool keepOpen = !w.children.empty();
    if (keepOpen) {
        node.unopenedChildren.store(static_cast<int32_t>(w.children.size()));
        walk.open->keep(node, fd);
        stack.push(w.children);
    }
    if (walk.overLimit.load(std::memory_order_relaxed)) {
        if (keepOpen)
            walk.open->release(node);
        else
            ::close(fd);
        return;
    }
    if (w.files.size() >= kSlicedFrom) {
        auto* batch = new FileBatch;
        batch->node = &node;
        batch->fd = fd;
        batch->fdKept = keepOpen;
        batch->names.swap(w.names);
        batch->files.swap(w.files);
        const size_t slices = (batch->files.size() + kSliceFiles - 1) / kSliceFiles;
        batch->slices.resize(slices);
        batch->remaining = slices;
        stack.pushSlices(batch, 1, slices);
        countSlice(batch, 0, w, walk);
        return;
    }
    countFiles(fd, node, w, walk, true);
    if (keepOpen)
        walk.open->release(node);
    else
        ::close(fd);
}

void walkFromStack(Workspace& w, Walk& walk, WorkStack& stack) {
    while (const std::optional<Task> task = stack.pop()) {
        const bool goOn = !walk.stop.stop_requested() && !walk.overLimit.load(std::memory_order_relaxed);
        if (task->batch)
            goOn ? countSlice(task->batch, task->slice, w, walk) : finishSlice(task->batch, true, w, walk);
        else if (goOn)
            readDirectory(*task->node, w, walk, stack);
        stack.finished();
        if (walk.stop.stop_requested() || walk.overLimit.load(std::memory_order_relaxed))
            stack.stop();
    }
}

// Runs `work(node, workspace)` over `nodes` on up to one thread per workspace (the calling thread
// included). Few nodes are done on the calling thread alone.
template <typename Work>
void forEachNode(const std::vector<Node*>& nodes, std::vector<std::unique_ptr<Workspace>>& workspaces,
                 const std::stop_token& stop, Work work) {
    const size_t threads = std::min(workspaces.size(), nodes.size() / 8 + 1);
    std::atomic<size_t> next{0};
    const auto run = [&](Workspace& w) {
        for (size_t i = next++; i < nodes.size(); i = next++) {
            if (stop.stop_requested())
                return;
            work(*nodes[i], w);
        }
    };
    std::vector<std::jthread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back([&, t] { run(*workspaces[t]); });
    run(*workspaces[0]);
}

// One scan: the walk, and the limit pass when the walk found more files than the limit.
class Scan {
public:
    Scan(int64_t limit, int threads, size_t openLimit, std::stop_token stop, std::atomic<int64_t>& found)
        : m_threads(std::max(threads, 1)), m_open(openLimit) {
        m_walk.found = &found;
        m_walk.limit = limit;
        m_walk.stop = std::move(stop);
        m_walk.open = &m_open;
        m_walk.items = &m_items;
        for (int i = 0; i < m_threads; ++i)
            m_workspaces.push_back(std::make_unique<Workspace>());
    }

    void run(int rootFd, const struct stat& rootStat) {
        m_walk.device = rootStat.st_dev;
        m_root.device = rootStat.st_dev;
        m_root.inode = rootStat.st_ino;
        m_open.pinRoot(m_root, rootFd);
        Workspace& w = *m_workspaces[0];

        readEntries(rootFd, m_root, w);
        makeChildren(rootFd, m_root, w, m_walk);
        w.created.clear();
        m_root.fileCount = static_cast<int64_t>(w.files.size());
        m_root.state = NodeState::listed;
        m_walk.listedFiles = m_root.fileCount;
        m_walk.found->fetch_add(m_root.fileCount, std::memory_order_relaxed);
        if (m_root.fileCount > m_walk.limit) {
            m_walk.overLimit = true;
        } else {
            countFiles(rootFd, m_root, w, m_walk, true);
            m_root.unopenedChildren = static_cast<int32_t>(w.children.size());
            WorkStack stack;
            stack.push(w.children);
            std::vector<std::jthread> helpers;
            for (int t = 1; t < m_threads; ++t)
                helpers.emplace_back([this, t, &stack] { walkFromStack(*m_workspaces[t], m_walk, stack); });
            walkFromStack(w, m_walk, stack);
            helpers.clear(); // joined
            for (const Task& left : stack.leftovers()) {
                if (left.batch) // slices nobody took: the directory stays uncounted
                    finishSlice(left.batch, true, w, m_walk);
            }
        }
        if (m_walk.stop.stop_requested())
            return;
        if (m_walk.overLimit)
            limitPass();
        else
            keepEverything();
    }

    bool truncated() const { return m_cutLevel.has_value(); }
    bool limitPassRan() const { return m_limitPassRan; }
    const Items& items() const { return m_items; }

    StorageScanResult resultTotals() const {
        StorageScanResult result;
        Tally total;
        std::array<Tally, kCategoryCount> categories{};
        for (const Node* node : m_kept) {
            switch (node->state) {
            case NodeState::failed:
                ++result.inaccessibleItemCount;
                break;
            case NodeState::mountPoint:
                ++result.skippedMountPointCount;
                break;
            case NodeState::listed:
            case NodeState::counted:
                result.inaccessibleItemCount += node->listingProblems;
                if (node->contents) {
                    total.add(node->contents->files);
                    result.inaccessibleItemCount += node->contents->unreadable;
                    for (size_t c = 0; c < kCategoryCount; ++c)
                        categories[c].add(node->contents->categories[c]);
                }
                break;
            case NodeState::unread:
            case NodeState::vanished:
                break;
            }
        }
        result.allocatedBytes = total.bytes;
        result.fileCount = total.files;
        for (const StorageCategory category : allCases<StorageCategory>()) {
            const Tally& tally = categories[static_cast<size_t>(declarationIndex(category))];
            if (tally.files > 0)
                result.categories.push_back({category, tally.bytes, tally.files});
        }
        return result;
    }

    // Per item, from the kept directories and the root's own files.
    std::vector<Tally> itemTallies() const {
        std::vector<Tally> tallies(m_items.names.size());
        for (const Node* node : m_kept) {
            if (node->item >= 0 && node->contents)
                tallies[static_cast<size_t>(node->item)].add(node->contents->files);
            if (node == &m_root && node->contents) {
                for (const auto& [item, bytes] : m_items.rootFiles)
                    tallies[static_cast<size_t>(item)].add(bytes);
            }
        }
        return tallies;
    }

    FileSystemStorageMapScanner::Work work() const {
        FileSystemStorageMapScanner::Work work;
        for (const auto& w : m_workspaces) {
            work.directoriesRead += w->directoriesRead;
            work.fileStatusReads += w->fileStatusReads;
        }
        work.limitPassRan = m_limitPassRan;
        return work;
    }

private:
    std::vector<Node*> allNodes() {
        std::vector<Node*> nodes{&m_root};
        for (auto& w : m_workspaces) {
            for (Node& node : w->nodes)
                nodes.push_back(&node);
        }
        return nodes;
    }

    void keepEverything() { m_kept = allNodes(); }

    // Lists a directory the walk did not reach; its subdirectories land in w.created.
    void listOnly(Node& node, Workspace& w) {
        int fd = -1;
        const Opened outcome = m_open.open(node, fd);
        if (outcome != Opened::ok) {
            noteOpenFailure(node, outcome);
            return;
        }
        readEntries(fd, node, w);
        makeChildren(fd, node, w, m_walk);
        node.fileCount = static_cast<int64_t>(w.files.size());
        node.state = NodeState::listed;
        ::close(fd);
    }

    // Counts the files of a listed directory, or the first `firstFiles` of them in byte order of their
    // names.
    void countListed(Node& node, Workspace& w, std::optional<int64_t> firstFiles = std::nullopt) {
        int fd = node.parent == nullptr ? node.fd : -1;
        if (node.parent == nullptr) {
            ::lseek(fd, 0, SEEK_SET); // the root's descriptor was read to its end once
        } else {
            const Opened outcome = m_open.open(node, fd);
            if (outcome != Opened::ok) {
                noteOpenFailure(node, outcome);
                return;
            }
        }
        const int64_t problemsBefore = node.listingProblems;
        readEntries(fd, node, w);
        node.listingProblems = problemsBefore; // counted when it was listed
        w.created.clear();
        if (firstFiles) {
            std::sort(w.files.begin(), w.files.end(), [&w](const Entry& a, const Entry& b) {
                return std::strcmp(w.nameAt(a), w.nameAt(b)) < 0;
            });
            if (static_cast<int64_t>(w.files.size()) > *firstFiles)
                w.files.resize(static_cast<size_t>(*firstFiles));
        }
        countFiles(fd, node, w, m_walk, false);
        if (node.parent != nullptr)
            ::close(fd);
    }

    // The walk found more files than the limit. Levels are completed one at a time (listing only)
    // until the one where the limit falls; the files kept are then counted where the walk had not.
    void limitPass() {
        m_limitPassRan = true;
        std::vector<std::vector<Node*>> levels;
        for (Node* node : allNodes()) {
            if (node->depth >= levels.size())
                levels.resize(node->depth + 1);
            levels[node->depth].push_back(node);
        }
        int64_t counted = 0;
        for (size_t depth = 0; depth < levels.size(); ++depth) {
            std::vector<Node*>& level = levels[depth];
            // Tree order, so that siblings are opened one after another through their parent.
            std::sort(level.begin(), level.end(), [](const Node* a, const Node* b) {
                if (a->parent != b->parent)
                    return a->parent->order < b->parent->order;
                return std::strcmp(a->name, b->name) < 0;
            });
            std::vector<Node*> unread;
            for (uint32_t i = 0; i < level.size(); ++i) {
                level[i]->order = i;
                if (level[i]->state == NodeState::unread)
                    unread.push_back(level[i]);
            }
            forEachNode(unread, m_workspaces, m_walk.stop,
                        [this](Node& node, Workspace& w) { listOnly(node, w); });
            if (m_walk.stop.stop_requested())
                return;
            for (auto& w : m_workspaces) {
                if (!w->created.empty() && levels.size() <= depth + 1)
                    levels.resize(depth + 2);
                for (Node* child : w->created)
                    levels[depth + 1].push_back(child);
                w->created.clear();
            }
            int64_t levelFiles = 0;
            for (const Node* node : level)
                levelFiles += isListed(*node) ? node->fileCount : 0;
            if (counted + levelFiles > m_walk.limit) {
                m_cutLevel = depth;
                break;
            }
            counted += levelFiles;
            m_kept.insert(m_kept.end(), level.begin(), level.end());
        }

        Node* partial = nullptr;
        int64_t room = 0;
        if (m_cutLevel) {
            // On the level where the limit falls: directories in byte order of their paths.
            std::vector<std::pair<std::string, Node*>> byPath;
            for (Node* node : levels[*m_cutLevel])
                byPath.emplace_back(pathOf(*node), node);
            std::sort(byPath.begin(), byPath.end(),
                      [](const auto& a, const auto& b) { return a.first < b.first; });
            room = m_walk.limit - counted;
            for (const auto& [path, node] : byPath) {
                const int64_t files = isListed(*node) ? node->fileCount : 0;
                if (files > room) {
                    partial = node;
                    break;
                }
                room -= files;
                m_kept.push_back(node);
            }
        }

        std::vector<Node*> toCount;
        for (Node* node : m_kept) {
            if (node->state == NodeState::listed)
                toCount.push_back(node);
        }
        forEachNode(toCount, m_workspaces, m_walk.stop,
                    [this](Node& node, Workspace& w) { countListed(node, w); });
        if (m_walk.stop.stop_requested())
            return;
        if (partial) {
            partial->contents = nullptr;
            countListed(*partial, *m_workspaces[0], room);
            m_kept.push_back(partial);
        }
    }

    int m_threads;
    Walk m_walk;
    Items m_items;
    Node m_root;
    std::vector<std::unique_ptr<Workspace>> m_workspaces;
    OpenDirectories m_open; // after the nodes: closed before they go
    std::vector<Node*> m_kept;
    std::optional<size_t> m_cutLevel;
    bool m_limitPassRan = false;
};

} // namespace

FileSystemStorageMapScanner::FileSystemStorageMapScanner(int64_t maximumFileCount, int threadCount,
                                                         DateProvider dateProvider)
    : m_maximumFileCount(maximumFileCount), m_threadCount(std::max(threadCount, 1)),
      m_dateProvider(dateProvider ? std::move(dateProvider) : systemDateProvider()) {}

FileSystemStorageMapScanner::Work FileSystemStorageMapScanner::lastWork() const {
    return {m_lastDirectoriesRead.load(), m_lastFileStatusReads.load(), m_lastLimitPassRan.load()};
}

StorageScanResult FileSystemStorageMapScanner::scan(const QString& rootPath, std::stop_token stop) {
    // A trailing slash or "." components must not change the folder's name.
    const QString cleaned = QDir::cleanPath(QFileInfo(rootPath).absoluteFilePath());
    const QByteArray nativeRoot = QFile::encodeName(cleaned);
    // The chosen folder is followed if it is a symbolic link; nothing below it is.
    struct stat rootStat {};
    if (::stat(nativeRoot.constData(), &rootStat) != 0)
        throw StorageMapScannerError::locationCannotBeRead();
    if (!S_ISDIR(rootStat.st_mode))
        throw StorageMapScannerError::locationIsNotDirectory();
    if (::access(nativeRoot.constData(), R_OK | X_OK) != 0)
        throw StorageMapScannerError::locationCannotBeRead();
    const int rootFd = ::open(nativeRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        throw StorageMapScannerError::locationCannotBeRead();
    if (::fstat(rootFd, &rootStat) != 0 || !S_ISDIR(rootStat.st_mode)) {
        ::close(rootFd);
        throw StorageMapScannerError::locationCannotBeRead();
    }

    m_counted.store(0);
    Scan walk(m_maximumFileCount, m_threadCount, openDirectoryLimitFor(m_openDirectoryLimit), stop,
              m_counted);
    walk.run(rootFd, rootStat); // the scan owns the descriptor from here
    if (stop.stop_requested())
        throw CancellationError();
    const Work work = walk.work();
    m_lastDirectoriesRead = work.directoriesRead;
    m_lastFileStatusReads = work.fileStatusReads;
    m_lastLimitPassRan = work.limitPassRan;

    StorageScanResult result = walk.resultTotals();
    result.rootPath = cleaned;
    result.rootName = cleaned == u"/" ? QStringLiteral("/")
                                      : storageDisplayName(QFile::encodeName(QFileInfo(cleaned).fileName()));
    result.scannedAt = m_dateProvider();
    result.wasTruncated = walk.truncated();
    const std::vector<Tally> tallies = walk.itemTallies();
    const Items& items = walk.items();
    for (size_t i = 0; i < tallies.size(); ++i) {
        if (tallies[i].files == 0)
            continue;
        const QByteArray nativeName(items.names[i].data(), static_cast<qsizetype>(items.names[i].size()));
        const QString name = storageDisplayName(nativeName);
        result.items.push_back({name, name, tallies[i].bytes, tallies[i].files, nativeName});
    }
    std::sort(result.items.begin(), result.items.end(), [](const StorageMapItem& a, const StorageMapItem& b) {
        if (a.allocatedBytes != b.allocatedBytes)
            return a.allocatedBytes > b.allocatedBytes;
        if (const int order = naturalCompare(a.name, b.name); order != 0)
            return order < 0;
        return a.nativeName < b.nativeName;
    });
    std::stable_sort(result.categories.begin(), result.categories.end(),
                     [](const auto& a, const auto& b) { return a.allocatedBytes > b.allocatedBytes; });
    return result;
}

} // namespace kestrum
