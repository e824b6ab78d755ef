#include "AtomicFile.h"

#include "KestrumError.h"
#include "Translatable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrum {

namespace {

[[noreturn]] void failWrite(const QString& path, int error) {
    throw KestrumError(QStringLiteral("fileWrite"),
                       trTemplate("Dosya yazılamadı: \\(path) (\\(reason))",
                                  {path, QString::fromLocal8Bit(std::strerror(error))}));
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

} // namespace

void writeFileAtomically(const QString& path, const QByteArray& data) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        throw KestrumError(QStringLiteral("fileWrite"),
                           trTemplate("Klasör oluşturulamadı: \\(path)", {folder}));
    }
    QByteArray temporary =
        QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        failWrite(path, errno);
    const auto cleanUp = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        failWrite(path, error);
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
        failWrite(path, error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        failWrite(path, error);
    }
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

std::optional<QByteArray> readFileIfExists(const QString& path, qint64 maximumBytes) {
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        throw KestrumError(QStringLiteral("fileRead"),
                           trTemplate("Dosya okunamadı: \\(path) (\\(reason))", {path, file.errorString()}));
    }
    if (file.size() > maximumBytes) {
        throw KestrumError(QStringLiteral("fileRead"),
                           trTemplate("Dosya beklenenden büyük: \\(path)", {path}));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw KestrumError(QStringLiteral("fileRead"),
                           trTemplate("Dosya okunamadı: \\(path) (\\(reason))", {path, file.errorString()}));
    }
    return bytes;
}

} // namespace kestrum
