#include "ProcessLock.h"

#include "AtomicFile.h"
#include "KestrumPaths.h"
#include "Logging.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kestrum {

ProcessLock::ProcessLock(QString path, QStringList guardedFileNames)
    : m_path(std::move(path)), m_guardedFileNames(std::move(guardedFileNames)) {}

ProcessLock::~ProcessLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

QStringList ProcessLock::defaultGuardedFileNames() {
    return KestrumPaths::lockedDataFileNames();
}

bool ProcessLock::tryLock() {
    if (m_fd >= 0)
        return true;
    const QString folder = QFileInfo(m_path).absolutePath();
    KestrumPaths::createPrivateFolder(folder);
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    // Nobody else writes these files now: a temporary of theirs is what a killed save left.
    for (const QString& name : m_guardedFileNames) {
        if (const int removed = removeStaleTemporaries(folder + u'/' + name))
            qCInfo(lcArchive) << "removed" << removed << "temporaries a killed save of" << name << "left";
    }
    return true;
}

} // namespace kestrum
