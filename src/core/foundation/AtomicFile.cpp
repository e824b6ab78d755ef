#include "AtomicFile.h"

#include "KestrumError.h"
#include "KestrumPaths.h"
#include "Translatable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failWrite(const QString& path, int error) {
    throw KestrumError(QStringLiteral("fileWrite"),
                       trTemplate("Dosya yazılamadı: \\(path) (\\(reason))", {path, errorText(error)}));
}

[[noreturn]] void failRead(const QString& path, const QString& reason) {
    throw KestrumError(QStringLiteral("fileRead"),
                       trTemplate("Dosya okunamadı: \\(path) (\\(reason))", {path, reason}));
}

[[noreturn]] void failTooLarge(const QString& path) {
    throw KestrumError(QStringLiteral("fileRead"), trTemplate("Dosya beklenenden büyük: \\(path)", {path}));
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The file a path finally names: symbolic links followed, each relative target taken from the link's
// own folder. A dangling link names the file it would create.
QString finalTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(QFile::encodeName(current).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(QFile::encodeName(current).constData(), target.data(),
                                          static_cast<size_t>(target.size()));
        if (length < 0 || length >= target.size())
            failWrite(path, length < 0 ? errno : ENAMETOOLONG);
        target.truncate(length);
        const QString text = QFile::decodeName(target);
        current = QDir::isAbsolutePath(text)
                      ? QDir::cleanPath(text)
                      : QDir::cleanPath(QFileInfo(current).absolutePath() + u'/' + text);
    }
    failWrite(path, ELOOP);
}

bool isTemporaryOf(const QString& entry, const QString& fileName) {
    // mkstemp's ".<name>.XXXXXX": six letters or digits.
    const QString prefix = u'.' + fileName + u'.';
    if (entry.size() != prefix.size() + 6 || !entry.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < entry.size(); ++i) {
        const QChar c = entry[i];
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

} // namespace

void writeFileAtomically(const QString& requestedPath, const QByteArray& data) {
    const QString path = finalTarget(requestedPath);
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!KestrumPaths::createPrivateFolder(folder)) {
        throw KestrumError(QStringLiteral("fileWrite"),
                           trTemplate("Klasör oluşturulamadı: \\(path)", {folder}));
    }
    QByteArray temporary =
        QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        failWrite(requestedPath, errno);
    const auto cleanUp = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        failWrite(requestedPath, error);
    };
    // Keep the permissions the old file had, else the usual private default.
    struct stat old {};
    const mode_t mode = ::stat(QFile::encodeName(path).constData(), &old) == 0 ? (old.st_mode & 07777) : 0600;
    if (::fchmod(fd, mode) != 0)
        cleanUp(errno);
    if (!writeAll(fd, data.constData(), data.size()))
        cleanUp(errno);
    if (::fsync(fd) != 0)
        cleanUp(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        failWrite(requestedPath, error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        failWrite(requestedPath, error);
    }
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

std::optional<QByteArray> readFileIfExists(const QString& path, qint64 maximumBytes) {
    // Non-blocking: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        failRead(path, errorText(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        failRead(path, errorText(errno));
    if (!S_ISREG(st.st_mode))
        failRead(path, trText("sıradan bir dosya değil"));
    if (st.st_size > maximumBytes)
        failTooLarge(path);
    // Read at most one byte more than allowed: a file that grows while it is read is caught too.
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size, maximumBytes) + 1));
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maximumBytes)
                failTooLarge(path);
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, static_cast<qsizetype>(maximumBytes) + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            failRead(path, errorText(errno));
        }
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > maximumBytes)
        failTooLarge(path);
    bytes.truncate(filled);
    return bytes;
}

int removeStaleTemporaries(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    int removed = 0;
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!isTemporaryOf(entry, info.fileName()))
            continue;
        struct stat st {};
        const QByteArray name = QFile::encodeName(folder.filePath(entry));
        if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(name.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace kestrum
