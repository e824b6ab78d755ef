#include "StorageScanDirectories.h"

#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrum::storagescan {

OpenDirectories::~OpenDirectories() {
    for (Node* node : m_queue) {
        if (node->fd >= 0 && !node->fdPinned) {
            ::close(node->fd);
            node->fd = -1;
        }
    }
    if (m_root && m_root->fd >= 0)
        ::close(m_root->fd);
}

void OpenDirectories::pinRoot(Node& root, int fd) {
    root.fd = fd;
    root.fdPinned = true;
    m_root = &root;
}

Opened OpenDirectories::open(Node& node, int& fd) {
    fd = -1;
    Opened reopened = Opened::ok;
    const int parentFd = acquire(*node.parent, reopened);
    if (parentFd < 0)
        return reopened;
    fd = ::openat(parentFd, node.name, kDirectoryOpenFlags);
    const int error = errno;
    release(*node.parent);
    if (fd < 0)
        return openOutcome(error);
    if (!sameDirectory(fd, node)) {
        ::close(fd);
        fd = -1;
        return Opened::vanished;
    }
    return Opened::ok;
}

void OpenDirectories::keep(Node& node, int fd) {
    std::lock_guard lock(m_mutex);
    node.fd = fd;
    node.fdUsers = 1;
    cacheLocked(node);
}

void OpenDirectories::release(Node& node) {
    std::lock_guard lock(m_mutex);
    --node.fdUsers;
    closeIfUnusedLocked(node);
}

void OpenDirectories::forget(Node& node) {
    std::lock_guard lock(m_mutex);
    if (node.fdCached) {
        node.fdCached = false;
        --m_cached;
    }
    closeIfUnusedLocked(node);
}

int OpenDirectories::acquire(Node& node, Opened& outcome) {
    std::unique_lock lock(m_mutex);
    if (node.fd >= 0) {
        ++node.fdUsers;
        return node.fd;
    }
    std::vector<Node*> chain;
    Node* held = &node;
    while (held->fd < 0) { // the root is always open
        chain.push_back(held);
        held = held->parent;
    }
    ++held->fdUsers;
    int fd = held->fd;
    lock.unlock();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        Node* next = *it;
        int opened = ::openat(fd, next->name, kDirectoryOpenFlags);
        outcome = opened < 0 ? openOutcome(errno) : Opened::ok;
        if (opened >= 0 && !sameDirectory(opened, *next)) {
            ::close(opened);
            opened = -1;
            outcome = Opened::vanished;
        }
        lock.lock();
        --held->fdUsers;
        closeIfUnusedLocked(*held);
        if (opened < 0)
            return -1;
        if (next->fd >= 0) {
            ::close(opened); // another thread opened it meanwhile
            ++next->fdUsers;
        } else {
            next->fd = opened;
            next->fdUsers = 1; // before caching: the cache must not close it under us
            cacheLocked(*next);
        }
        held = next;
        fd = next->fd;
        lock.unlock();
    }
    return fd;
}

void OpenDirectories::closeIfUnusedLocked(Node& node) {
    if (node.fdUsers == 0 && !node.fdCached && !node.fdPinned && node.fd >= 0) {
        ::close(node.fd);
        node.fd = -1;
    }
}

void OpenDirectories::cacheLocked(Node& node) {
    if (!node.fdCached) {
        node.fdCached = true;
        ++m_cached;
    }
    if (!node.fdQueued) {
        node.fdQueued = true;
        m_queue.push_back(&node);
    }
    while (m_cached > m_limit && !m_queue.empty()) {
        Node* oldest = m_queue.front();
        m_queue.pop_front();
        oldest->fdQueued = false;
        if (oldest->fdCached) {
            oldest->fdCached = false;
            --m_cached;
            closeIfUnusedLocked(*oldest);
        }
    }
    if (m_queue.size() > 4 * m_limit + 1024) {
        // Drop the entries of nodes that are no longer cached.
        std::deque<Node*> kept;
        for (Node* entry : m_queue) {
            if (entry->fdCached)
                kept.push_back(entry);
            else
                entry->fdQueued = false;
        }
        m_queue.swap(kept);
    }
}

const char* NameArena::copy(std::string_view name) {
    const size_t needed = name.size() + 1;
    if (m_chunks.empty() || m_used + needed > m_chunkSize) {
        m_chunkSize = std::max(kNameChunkSize, needed);
        m_chunks.push_back(std::make_unique<char[]>(m_chunkSize));
        m_used = 0;
    }
    char* out = m_chunks.back().get() + m_used;
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = 0;
    m_used += needed;
    return out;
}

std::string pathOf(const Node& node) {
    std::vector<const Node*> chain;
    size_t length = 0;
    for (const Node* n = &node; n->parent != nullptr; n = n->parent) {
        chain.push_back(n);
        length += n->nameLength + 1;
    }
    std::string path;
    path.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path.append((*it)->name, (*it)->nameLength);
    }
    return path;
}

size_t openDirectoryLimitFor(int requested) {
    if (requested > 0)
        return static_cast<size_t>(requested);
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 256;
    return static_cast<size_t>(std::clamp<rlim_t>(limit.rlim_cur / 4, 8, 1024));
}

} // namespace kestrum::storagescan
