#include "ProcessLock.h"

#include "Translatable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrum {

namespace {

constexpr qsizetype kRecordLimit = 4096;

// Creates the missing folders of `folder` (private to the user); the errno of the first that could not be
// made, 0 when the folder exists.
int makeFolders(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return 0;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder) {
        if (const int error = makeFolders(parent))
            return error;
    }
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// The program and its command word ("kestrum-cli monitor"); notes and other arguments are no business of
// whoever reads the lock file.
QString thisCommand() {
    if (!QCoreApplication::instance())
        return {};
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.isEmpty())
        return {};
    QString command = QFileInfo(arguments.first()).fileName();
    if (arguments.size() > 1 && !arguments[1].startsWith(u'-'))
        command += u' ' + arguments[1];
    return command;
}

bool processRuns(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

QString reasonText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return trText("izin yok");
    case EROFS:
        return trText("dosya sistemi salt okunur");
    case ENOSPC:
        return trText("diskte yer kalmadı");
    case EDQUOT:
        return trText("disk kotası doldu");
    case ENOTDIR:
        return trText("yolun bir parçası klasör değil");
    case ENOENT:
        return trText("klasör bulunamadı");
    default:
        // The system's own wording for the rarer cases.
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace

ProcessLock::ProcessLock(QString path) : m_path(std::move(path)) {}

ProcessLock::~ProcessLock() {
    if (m_fd >= 0)
        ::close(m_fd); // closing releases the lock
}

bool ProcessLock::tryLock() {
    if (m_fd >= 0)
        return true;
    m_holder.reset();
    m_error = makeFolders(QFileInfo(m_path).absolutePath());
    const int fd =
        m_error == 0 ? ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600) : -1;
    if (fd < 0) {
        if (m_error == 0)
            m_error = errno;
        m_state = State::unavailable;
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            QByteArray record(kRecordLimit, '\0');
            const ssize_t n = ::pread(fd, record.data(), record.size(), 0);
            record.truncate(std::max<ssize_t>(n, 0));
            m_holder = parseHolderRecord(record);
            if (m_holder && !processRuns(m_holder->pid))
                m_holder.reset(); // an old record; its writer is gone and another has not written yet
            m_state = State::busy;
        } else {
            m_error = error;
            m_state = State::unavailable;
        }
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_state = State::held;
    // Best effort: the lock works without the record.
    const QByteArray record = holderRecord(::getpid(), thisCommand());
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, record.constData(), record.size(), 0);
    }
    return true;
}

bool ProcessLock::tryLock(std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!tryLock()) {
        if (m_state != State::busy || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

QString ProcessLock::failureDescription() const {
    switch (m_state) {
    case State::unlocked:
    case State::held:
        break;
    case State::unavailable:
        return trTemplate("Kilit dosyası oluşturulamadı: \\(path) (\\(reason)).",
                          {m_path, reasonText(m_error)});
    case State::busy:
        if (m_holder && !m_holder->command.isEmpty())
            return trTemplate(
                "Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor: \\(command) (PID \\(pid)).",
                {m_holder->command, QString::number(m_holder->pid)});
        if (m_holder)
            return trTemplate("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor (PID \\(pid)).",
                              {QString::number(m_holder->pid)});
        return trText("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor.");
    }
    return {};
}

QByteArray ProcessLock::holderRecord(qint64 pid, const QString& command) {
    QString clean;
    for (const QChar c : command)
        clean += c.isPrint() ? c : QChar(u' ');
    return QByteArray::number(pid) + '\n' + clean.left(200).toUtf8() + '\n';
}

std::optional<ProcessLock::Holder> ProcessLock::parseHolderRecord(const QByteArray& record) {
    const QList<QByteArray> lines = record.left(kRecordLimit).split('\n');
    bool ok = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return Holder{pid, QString::fromUtf8(lines.value(1)).trimmed()};
}

} // namespace kestrum
