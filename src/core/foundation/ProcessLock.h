#pragma once

#include <QString>
#include <QStringList>

namespace kestrum {

// An exclusive advisory lock on a file (flock), released when the object goes away or the process dies.
// Keeps two monitors from writing one archive. Whoever takes it is the only writer of the guarded files
// beside it, so it also clears the temporaries a killed writer of theirs left behind.
class ProcessLock {
public:
    explicit ProcessLock(QString path, QStringList guardedFileNames = defaultGuardedFileNames());
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    // True when this process now holds the lock (also when it already did).
    bool tryLock();
    bool isHeld() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }

    // The data folder's own files (the archive and the benchmark history).
    static QStringList defaultGuardedFileNames();

private:
    QString m_path;
    QStringList m_guardedFileNames;
    int m_fd = -1;
};

} // namespace kestrum
