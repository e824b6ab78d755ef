#include "FanHelperManualControlRecord.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

const QString FanHelperManualControlRecord::kDefaultPath =
    QStringLiteral("/run/kestrum-fan-helper/manual-control");

bool FanHelperManualControlRecord::mark() {
    if (m_path.isEmpty())
        return true;
    const QByteArray path = QFile::encodeName(m_path);
    // The unit makes the folder; started some other way, the helper makes it itself.
    ::mkdir(QFile::encodeName(QFileInfo(m_path).absolutePath()).constData(), 0700);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void FanHelperManualControlRecord::clear() {
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool FanHelperManualControlRecord::needsRestore() const {
    if (m_path.isEmpty())
        return true;
    struct stat st {};
    return ::lstat(QFile::encodeName(m_path).constData(), &st) == 0;
}

} // namespace kestrum
