#pragma once

#include <QString>

namespace kestrum {

// An exclusive advisory lock on a file (flock), released when the object goes away or the process dies.
// Keeps two monitors from writing one archive.
class ProcessLock {
public:
    explicit ProcessLock(QString path);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    // True when this process now holds the lock (also when it already did).
    bool tryLock();
    bool isHeld() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace kestrum
