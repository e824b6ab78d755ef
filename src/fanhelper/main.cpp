// kestrum-fan-helper: the privileged fan helper, started by systemd on the first connection to its socket.

#include "FanHelperDaemon.h"
#include "FanHelperFanControlling.h"
#include "FanHelperLogging.h"
#include "FanHelperService.h"
#include "PolkitFanHelperCallerAuthoriser.h"
#include "advanced/AdvancedFanSafetyController.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

using namespace kestrum;

namespace {

constexpr int firstListenFd = 3;

// The socket systemd passed (sd_listen_fds without libsystemd), or -1.
int socketFromSystemd() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    const bool forUs =
        pid && fds && std::strtol(pid, nullptr, 10) == long(::getpid()) && std::strtol(fds, nullptr, 10) >= 1;
    // Not passed on to pkcheck.
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (!forUs)
        return -1;
    int listening = 0;
    socklen_t length = sizeof listening;
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(firstListenFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening ||
        ::getsockopt(firstListenFd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_STREAM)
        return -1;
    ::fcntl(firstListenFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(firstListenFd, F_SETFL, ::fcntl(firstListenFd, F_GETFL) | O_NONBLOCK);
    return firstListenFd;
}

QString kernelRelease() {
    utsname names{};
    return ::uname(&names) == 0 ? QString::fromLocal8Bit(names.release) : QString();
}

} // namespace

int main(int argc, char** argv) {
    // Blocked before any thread exists, so that they arrive only through the signalfd below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, signal);
    ::sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

    // The unit's ExecStopPost: whatever ended the helper (a crash, SIGKILL, the OOM killer), the fans go
    // back to automatic control before systemd considers it stopped.
    if (argc == 2 && std::strcmp(argv[1], "--restore-automatic") == 0) {
        const FanHelperHardware hardware =
            detectFanHelperHardware(QStringLiteral("/proc"), QStringLiteral("/sys"), kernelRelease(),
                                    AdvancedFanCompatibilityCatalog::releaseRecords());
        FanHelperManualControlRecord record(FanHelperManualControlRecord::kDefaultPath);
        if (!hardware.controller || !record.needsRestore())
            return 0; // the fans were not left under the helper's control
        if (!hardware.controller->restoreAutomatic()) {
            std::fprintf(stderr, "kestrum-fan-helper: restoring automatic fan control failed\n");
            return 1;
        }
        record.clear();
        return 0;
    }

    const int listeningSocket = socketFromSystemd();
    if (listeningSocket < 0) {
        std::fprintf(stderr,
                     "kestrum-fan-helper: not started through systemd socket activation (no listening "
                     "socket in LISTEN_FDS for this process).\nEnable it with: sudo systemctl enable "
                     "--now kestrum-fan-helper.socket\n");
        return 1;
    }
    if (::geteuid() != 0)
        std::fprintf(stderr, "kestrum-fan-helper: not running as root; fan writes will fail\n");

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum-fan-helper"));

    FanHelperHardware hardware =
        detectFanHelperHardware(QStringLiteral("/proc"), QStringLiteral("/sys"), kernelRelease(),
                                AdvancedFanCompatibilityCatalog::releaseRecords());
    if (hardware.controller)
        qCInfo(lcFanHelper) << "controlling the" << hardware.controller->driver() << "fans";
    else
        qCInfo(lcFanHelper) << "no fan can be boosted:" << hardware.refusal;

    const QString bindir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                                           QStringLiteral(KESTRUM_BINDIR_FROM_LIBEXECDIR));
    PolkitFanHelperCallerAuthoriser authoriser(
        QStringLiteral("/proc"),
        {bindir + QStringLiteral("/kestrum"), bindir + QStringLiteral("/kestrum-cli")},
        fanHelperPkcheckProcess());
    // The boot clock keeps counting through suspend, so a lease that lapsed while asleep ends on waking.
    const MonotonicClock clock = systemContinuousClock();
    FanHelperService service(hardware.controller.get(), hardware.refusal, clock, authoriser,
                             FanHelperManualControlRecord(FanHelperManualControlRecord::kDefaultPath));
    // A previous helper may have died with the fans under its manual control.
    service.restoreAutomatic("the helper started");

    FanHelperDaemon daemon(listeningSocket, service, clock);
    QObject::connect(&daemon, &FanHelperDaemon::idle, &application, [] {
        qCInfo(lcFanHelper) << "idle; exiting until the next connection";
        QCoreApplication::quit();
    });

    const int signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    QSocketNotifier signalNotifier(signalFd, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &application, [&] {
        signalfd_siginfo information{};
        if (::read(signalFd, &information, sizeof information) <= 0)
            return;
        qCInfo(lcFanHelper) << "stopping on signal" << information.ssi_signo;
        service.restoreAutomatic("the helper was asked to stop");
        QCoreApplication::quit();
    });

    const int status = QCoreApplication::exec();
    signalNotifier.setEnabled(false);
    ::close(signalFd);
    return status;
}
