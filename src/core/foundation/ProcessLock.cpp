#include "ProcessLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrum {

ProcessLock::ProcessLock(QString path) : m_path(std::move(path)) {}

ProcessLock::~ProcessLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

bool ProcessLock::tryLock() {
    if (m_fd >= 0)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

} // namespace kestrum
