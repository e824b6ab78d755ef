// Opening a folder of many direct children in the window: from the moment the scan hands its result
// over (on its thread) until the first frame with the map on screen, offscreen with the software renderer,
// plus the process's resident memory before and at its peak.
//
//   storage_map_view_bench [CHILDREN]   (default 250000; prints one line per run, three runs)

#include "KestrumApplication.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "history/HealthArchivePersisting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <ctime>
Q_IMPORT_QML_PLUGIN(KestrumPlugin)
Q_IMPORT_QML_PLUGIN(Kestrum_PresentationPlugin)

using namespace kestrum;

namespace {

// kB from /proc/self/status: VmRSS now, VmHWM the peak.
long statusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double threadCpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// A home folder's worth of children: a few large folders, then many files with a long tail of sizes.
StorageScanResult children(int count) {
    StorageScanResult r;
    r.rootName = QStringLiteral("bench");
    r.rootPath = QStringLiteral("/bench");
    r.items.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const QString name =
            i < 20 ? QStringLiteral("Klasör %1").arg(i) : QStringLiteral("fotoğraf-%1.jpg").arg(i);
        const uint64_t bytes = i < 20 ? 40'000'000'000ull / uint64_t(i + 1) : 4096 + uint64_t(count - i) * 37;
        r.items.push_back({name, name, bytes, i < 20 ? 2000 : 1});
        r.allocatedBytes += bytes;
        r.fileCount += r.items.back().fileCount;
    }
    r.categories = {{StorageCategory::images, r.allocatedBytes, r.fileCount}};
    return r;
}

// Hands over a result built beforehand, so that what is timed is the window's work, not the walk.
class PreparedScanner : public StorageMapScanning {
public:
    explicit PreparedScanner(int count) : m_result(children(count)) {}
    StorageScanResult scan(const QString&, std::stop_token) override {
        returned.start();
        return std::move(m_result);
    }
    QElapsedTimer returned; // read on the main thread once the result has arrived there

private:
    StorageScanResult m_result;
};

class MemoryArchive : public HealthArchivePersisting {
public:
    QFuture<HealthArchive> load() override { return QtFuture::makeReadyFuture(HealthArchive{}); }
    QFuture<void> save(const HealthArchive&) override { return QtFuture::makeReadyFuture(); }
};

class IdleSampler : public SystemMetricsSampling {
public:
    QFuture<SystemSnapshot> sample() override { return QtFuture::makeReadyFuture(SystemSnapshot::empty()); }
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 250'000;
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir folders;
        qputenv("KESTRUM_DATA_DIR", QFile::encodeName(folders.path() + QStringLiteral("/data")));
        qputenv("KESTRUM_CONFIG_DIR", QFile::encodeName(folders.path() + QStringLiteral("/config")));
        LinuxServices::MonitorServices services;
        services.savedPreferences = std::make_unique<InMemoryPreferencesStore>();
        services.preferences = std::make_unique<InMemoryPreferencesStore>();
        SystemMonitorStore::Dependencies d;
        d.sampler = std::make_shared<IdleSampler>();
        d.preferences = services.preferences.get();
        d.archiveRepository = std::make_shared<MemoryArchive>();
        services.store = std::make_unique<SystemMonitorStore>(std::move(d));
        KestrumApplication::Options options;
        options.desktopBus = QDBusConnection(QStringLiteral("bench-no-bus"));
        options.otherTray = [] { return false; };
        options.colorScheme = ColorScheme::light;
        auto scanner = std::make_shared<PreparedScanner>(count);
        KestrumApplication application(options, std::move(services), scanner);
        application.shell().selectSectionByKey(QStringLiteral("storageMap"));
        if (!application.start())
            return 1;
        QQuickWindow* window = application.mainWindow();
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        const long before = statusKilobytes("VmRSS:");

        qint64 ms = -1;
        double cpu = 0;
        QObject::connect(window, &QQuickWindow::frameSwapped, [&] {
            if (ms < 0 && application.storageMap().hasResult()) {
                ms = scanner->returned.elapsed();
                cpu = threadCpuMilliseconds() - cpu;
            }
        });
        cpu = threadCpuMilliseconds();
        application.storageMap().authorizeAndScan(QStringLiteral("/bench"));
        while (ms < 0)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf(
            "%d children: map on screen %lld ms after the result (main thread busy %.0f ms); resident "
            "%ld MiB before, peak %ld MiB (%d tiles drawn)\n",
            count, static_cast<long long>(ms), cpu, before / 1024, statusKilobytes("VmHWM:") / 1024,
            application.storageMapViewModel().treemap()->tiles()->count());
    }
    return 0;
}
