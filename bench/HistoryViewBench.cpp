// The history section over a full 30-day archive, offscreen with the software renderer: from choosing
// the section until its first frame, from each range switch until the next frame, and one chart handed
// 40,000 points unthinned until the next frame (what thinning to the plot's width saves).
//
//   history_view_bench   (prints one line per measurement, three runs)

#include "FullSizeArchive.h"
#include "KestrumApplication.h"
#include "history/HealthArchivePersisting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <cmath>
#include <cstdio>
#include <ctime>
Q_IMPORT_QML_PLUGIN(KestrumPlugin)
Q_IMPORT_QML_PLUGIN(Kestrum_PresentationPlugin)

using namespace kestrum;

namespace {

class FullArchive : public HealthArchivePersisting {
public:
    explicit FullArchive(Date now) : m_archive(bench::fullSizeArchive(now)) {}
    QFuture<HealthArchive> load() override { return QtFuture::makeReadyFuture(m_archive); }
    QFuture<void> save(const HealthArchive&) override { return QtFuture::makeReadyFuture(); }
    size_t sampleCount() const { return m_archive.samples.size(); }

private:
    HealthArchive m_archive;
};

class IdleSampler : public SystemMetricsSampling {
public:
    QFuture<SystemSnapshot> sample() override { return QtFuture::makeReadyFuture(SystemSnapshot::empty()); }
};

void settle(int ms) {
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

double threadCpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// From `change` until the window has swapped a frame after it: the wall time, and the main thread's
// processor time (the software renderer draws on it too), which other load on the machine does not inflate.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

template <class F> Timing untilNextFrame(QQuickWindow* window, F change) {
    bool swapped = false;
    const auto connection = QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
    QElapsedTimer timer;
    timer.start();
    const double cpu = threadCpuMilliseconds();
    change();
    window->requestUpdate();
    while (!swapped)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    QObject::disconnect(connection);
    return {double(timer.nsecsElapsed()) / 1e6, threadCpuMilliseconds() - cpu};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir folders;
        qputenv("KESTRUM_DATA_DIR", QFile::encodeName(folders.path() + QStringLiteral("/data")));
        qputenv("KESTRUM_CONFIG_DIR", QFile::encodeName(folders.path() + QStringLiteral("/config")));
        LinuxServices::MonitorServices services;
        services.savedPreferences = std::make_unique<InMemoryPreferencesStore>();
        services.preferences = std::make_unique<InMemoryPreferencesStore>();
        auto archive = std::make_shared<FullArchive>(Date::now());
        SystemMonitorStore::Dependencies d;
        d.sampler = std::make_shared<IdleSampler>();
        d.preferences = services.preferences.get();
        d.archiveRepository = archive;
        services.store = std::make_unique<SystemMonitorStore>(std::move(d));
        KestrumApplication::Options options;
        options.desktopBus = QDBusConnection(QStringLiteral("bench-no-bus"));
        options.otherTray = [] { return false; };
        options.colorScheme = ColorScheme::light;
        KestrumApplication application(options, std::move(services));
        if (!application.start())
            return 1;
        QQuickWindow* window = application.mainWindow();
        window->resize(1280, 860);
        while (!application.store().isArchivePrepared())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        application.store().stop();
        settle(500);

        auto* history =
            static_cast<HistoryViewModel*>(application.sectionViewModel(NavigationSection::history));
        // The range it opens on is the one last chosen; a month is the heaviest.
        history->setRange(QStringLiteral("month"));
        // The first frame, and the frame after the charts were rebuilt for the plot's real width.
        QElapsedTimer sinceOpen;
        double lastChange = -1;
        double settled = -1;
        const auto changes = QObject::connect(history->chart(QStringLiteral("cpu")), &HistoryChart::changed,
                                              [&] { lastChange = double(sinceOpen.nsecsElapsed()) / 1e6; });
        const auto frames = QObject::connect(window, &QQuickWindow::frameSwapped, [&] {
            if (lastChange >= 0 && settled < lastChange)
                settled = double(sinceOpen.nsecsElapsed()) / 1e6;
        });
        sinceOpen.start();
        const Timing open = untilNextFrame(
            window, [&] { application.shell().selectSectionByKey(QStringLiteral("history")); });
        settle(300);
        QObject::disconnect(changes);
        QObject::disconnect(frames);
        std::printf("run %d: %zu samples; history section (month) first frame %.1f ms (main thread %.1f ms), "
                    "charts at the plot's width %.1f ms; plot %d px wide\n",
                    run, application.store().persistentHistory().size(), open.wall, open.cpu, settled,
                    history->plotWidth());
        for (const char* range : {"hour", "day", "week", "month"}) {
            const Timing ms = untilNextFrame(window, [&] { history->setRange(QString::fromLatin1(range)); });
            settle(100);
            std::printf("run %d: switch to %-5s %.1f ms (main thread %.1f ms; cpu chart %d points)\n", run,
                        range, ms.wall, ms.cpu, history->chart(QStringLiteral("cpu"))->pointCount());
        }
        QElapsedTimer model;
        model.start();
        history->rebuildNow();
        std::printf("run %d: view model rebuild (month) %.1f ms; %d timeline entries, %d markers\n", run,
                    double(model.nsecsElapsed()) / 1e6, history->timeline()->count(),
                    history->markers()->count());
        // 40,000 points in one chart, not thinned: what the painted item costs when given everything.
        HistoryChart::Content raw;
        raw.title = QStringLiteral("CPU");
        raw.seriesTitles = {QStringLiteral("CPU")};
        raw.valueText = [](double v) { return QString::number(v); };
        HistoryChart::Line line;
        for (int i = 0; i < 40000; ++i)
            line.points.emplace_back(i / 39999.0, 0.5 + 0.45 * std::sin(i * 0.37) * ((i % 97) ? 0.3 : 1.0));
        raw.lines.push_back(std::move(line));
        const Timing full =
            untilNextFrame(window, [&] { history->chart(QStringLiteral("cpu"))->set(std::move(raw)); });
        std::printf(
            "run %d: one chart with 40000 unthinned points: %.1f ms to the frame (main thread %.1f ms)\n",
            run, full.wall, full.cpu);
    }
    return 0;
}
