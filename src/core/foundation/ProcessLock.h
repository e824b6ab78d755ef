#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace kestrum {

// An exclusive advisory lock on a file (flock), released when the object goes away or the process dies.
// Keeps two monitors from writing one archive. The holder writes its process id and command into the
// file, so that a process that finds the lock busy can say who holds it.
class ProcessLock {
public:
    enum class State { unlocked, held, busy, unavailable };
    struct Holder {
        qint64 pid = 0;
        QString command; // "kestrum-cli monitor", "kestrum"
        bool operator==(const Holder&) const = default;
    };

    explicit ProcessLock(QString path);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    // True when this process now holds the lock (also when it already did).
    bool tryLock();
    // Tries again until `patience` has passed while the lock is busy: a short command that holds it is
    // usually done by then. A lock file that cannot be created fails at once.
    bool tryLock(std::chrono::milliseconds patience);
    bool isHeld() const { return m_fd >= 0; }
    const QString& path() const { return m_path; }

    // What the last attempt found.
    State state() const { return m_state; }
    // The process the lock file names, when the last attempt found the lock busy and that process runs.
    const std::optional<Holder>& holder() const { return m_holder; }
    // Why the last attempt failed, as a Turkish text for the user (the lock file and the system's reason,
    // or who holds the lock). Empty when it did not fail.
    QString failureDescription() const;

    // The holder record as written into the file, and read back (absent when it names no process).
    static QByteArray holderRecord(qint64 pid, const QString& command);
    static std::optional<Holder> parseHolderRecord(const QByteArray& record);

private:
    QString m_path;
    int m_fd = -1;
    State m_state = State::unlocked;
    int m_error = 0;
    std::optional<Holder> m_holder;
};

} // namespace kestrum
