#include "ScreenshotSupport.h"

#include "CgroupApplicationUsageReader.h"
#include "DesktopEntryCatalog.h"
#include "KestrumApplication.h"
#include "Theme.h"
#include "TrayItem.h"
#include "foundation/AtomicFile.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "foundation/Uuid.h"
#include "fullscan/FullSystemScanReportBuilder.h"
#include "history/FileHealthArchiveRepository.h"
#include "localisation/L10n.h"
#include "measurement/MetricStatsProviders.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QQuickItem>
#include <QQuickWindow>
#include <cmath>
#include <fcntl.h>
#include <qcoro/qcorotask.h>
#include <unistd.h>

namespace kestrum::ScreenshotSupport {

namespace {

void wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The recorded tree's reading with load and traffic varied along fixed curves.
class VariedSampler : public SystemMetricsSampling {
public:
    explicit VariedSampler(std::unique_ptr<DefaultSystemMetricsSampler> recorded)
        : m_recorded(std::move(recorded)) {}

    QFuture<SystemSnapshot> sample() override {
        SystemSnapshot s = m_recorded->sampleNow();
        const double k = m_calls++;
        const double load =
            std::clamp(0.24 + 0.14 * std::sin(k / 5.0) + 0.07 * std::sin(k / 1.7), 0.02, 0.98);
        s.cpu.availability = MetricAvailability::available();
        s.cpu.perCoreUsage.clear();
        for (int core = 0; core < 8; ++core)
            s.cpu.perCoreUsage.push_back(std::clamp(load + 0.18 * std::sin(k / 3.0 + core), 0.01, 1.0));
        s.cpu.totalUsage = load;
        if (s.memory.totalBytes > 0)
            s.memory.usedBytes =
                static_cast<uint64_t>(double(s.memory.totalBytes) * (0.52 + 0.03 * std::sin(k / 9.0)));
        s.network.trafficAvailability = MetricAvailability::available();
        s.network.downloadBytesPerSecond = 1.6e6 * (1.05 + std::sin(k / 4.0)) + 2e5;
        s.network.uploadBytesPerSecond = 1.8e5 * (1.1 + std::sin(k / 6.0));
        if (s.battery.chargeFraction)
            s.battery.chargeFraction = *s.battery.chargeFraction - 0.0005 * k;
        return QtFuture::makeReadyFuture(s);
    }
    int calls() const { return m_calls; }

private:
    std::unique_ptr<DefaultSystemMetricsSampler> m_recorded;
    int m_calls = 0;
};

// Which application is "in front": one follows the load curve's busy stretches, one its quiet ones, so
// that the resource screen has a ranking to show.
class RecordedForeground : public ForegroundApplicationProviding {
public:
    explicit RecordedForeground(std::shared_ptr<VariedSampler> sampler) : m_sampler(std::move(sampler)) {}
    std::optional<ForegroundApplication> currentApplication() override {
        const double phase = std::sin(m_sampler->calls() / 5.0);
        const char* name = phase > 0.3 ? "GIMP" : phase < -0.3 ? "Firefox ESR" : "Konsole";
        return ForegroundApplication{QString::fromLatin1(name), {}};
    }
    MetricAvailability availability() const override { return MetricAvailability::available(); }

private:
    std::shared_ptr<VariedSampler> m_sampler;
};

PerformanceSession recordedSession(const QString& name, Date startedAt, double cpu, double memory) {
    PerformanceSession s;
    s.id = newUuid();
    s.name = name;
    s.startedAt = startedAt;
    s.endedAt = startedAt.addingSeconds(600);
    s.baseline.timestamp = startedAt;
    s.baseline.batteryCharge = 0.82;
    s.ending = s.baseline;
    s.ending->timestamp = *s.endedAt;
    s.ending->batteryCharge = 0.82 - cpu / 10;
    s.sampleCount = s.cpuSampleCount = s.memorySampleCount = s.downloadSampleCount = s.uploadSampleCount =
        300;
    s.cpuUsageTotal = cpu * 300;
    s.peakCPUUsage = std::min(1.0, cpu * 1.9);
    s.memoryUsageTotal = memory * 300;
    s.peakMemoryUsage = memory + 0.06;
    s.downloadRateTotal = 8e5 * 300;
    s.uploadRateTotal = 6e4 * 300;
    s.highestThermalLevel = cpu > 0.4 ? ThermalLevel::fair : ThermalLevel::nominal;
    s.lastRecordedAt = s.endedAt;
    return s;
}

} // namespace

// A full scan of a healthy laptop without the network tests, as the history shows one.
FullSystemScanResult recordedFullScan(Date endedAt) {
    FullSystemScanEvidence e;
    e.startedAt = endedAt.addingSeconds(-498);
    e.endedAt = endedAt;
    HardwareProfile profile;
    profile.modelIdentifier = QStringLiteral("20L5CTO1WW");
    profile.components.resize(5);
    e.hardware = FullSystemScanStep<HardwareProfile>::completed(profile);
    SystemSnapshot s = SystemSnapshot::empty(newUuid(), e.startedAt);
    s.battery.isPresent = true;
    s.battery.availability = MetricAvailability::available();
    s.battery.healthCondition = QStringLiteral("Fair");
    s.battery.chargeFraction = 0.74;
    s.battery.isConnectedToPowerAdapter = true;
    s.thermal = ThermalLevel::nominal;
    s.disk = DiskStats{512'000'000'000, 141'000'000'000, MetricAvailability::available()};
    s.network.isConnected = true;
    s.network.interfaceKind = NetworkInterfaceKind::wifi;
    s.network.wifiRSSI = -61;
    e.snapshot = s;
    e.assessment = HealthAssessment{HealthLevel::normal, trText("Temel sağlık sinyalleri normal")};
    HealthTestResult quick;
    quick.healthScore = 92;
    quick.stabilityScore = 96;
    quick.confidence = HealthTestConfidence::high;
    e.quickHealth = FullSystemScanStep<HealthTestResult>::completed(quick);
    DeepHealthTestResult deep;
    deep.healthScore = 86;
    deep.sustainedCapacityScore = 91;
    deep.confidence = HealthTestConfidence::medium;
    deep.highestThermalLevel = ThermalLevel::fair;
    e.deepHealth = FullSystemScanStep<DeepHealthTestResult>::completed(deep);
    return FullSystemScanReportBuilder{}.makeResult(e, newUuid());
}

void prepareData(const QString& dataDirectory) {
    HealthArchive archive;
    const Date now = Date::now();
    for (int i = 3 * 144; i >= 1; --i) { // every ten minutes for three days
        HealthSample s;
        s.id = newUuid();
        s.timestamp = now.addingSeconds(-600.0 * i);
        s.cpuUsage = std::clamp(0.2 + 0.15 * std::sin(i / 11.0) + 0.05 * std::sin(i / 2.3), 0.0, 1.0);
        s.memoryUsage = 0.5 + 0.06 * std::sin(i / 17.0);
        s.batteryCharge = 0.3 + 0.6 * (0.5 + 0.5 * std::sin(i / 30.0));
        s.batteryIsCharging = std::cos(i / 30.0) > 0;
        s.batteryUsesPowerAdapter = std::cos(i / 30.0) > 0;
        s.diskUsage = 0.61;
        s.thermalLevel = ThermalLevel::nominal;
        s.wifiRSSI = -55 - (i % 7);
        s.healthLevel = HealthLevel::normal;
        archive.samples.push_back(s);
    }
    const auto event = [&](double hoursAgo, HealthInsightKind kind, HealthLevel level, const char* title,
                           const QString& evidence, const char* recommendation, const char* signature) {
        archive.events.push_back({newUuid(), now.addingSeconds(-hoursAgo * 3600), kind, level,
                                  QString::fromUtf8(title), evidence, QString::fromUtf8(recommendation),
                                  QLatin1String(signature)});
    };
    event(26, HealthInsightKind::thermal, HealthLevel::critical, "Isıl baskı ciddi",
          QStringLiteral("macOS performansın ısıdan etkilenebileceğini bildiriyor."),
          "Yüksek işlemci kullanan işleri azalt.", "thermal-serious");
    for (const double hours : {3.0, 2.7, 2.4}) {
        event(hours, HealthInsightKind::cpu, HealthLevel::attention,
              "İşlemci kullanımı kişisel normalin üzerinde",
              QStringLiteral("Anlık kullanım %93; uyarı eşiği %85."),
              "Yoğun kullanım sürerse en çok işlemci kullanan uygulamaları Etkinlik Monitörü’nde kontrol et.",
              "cpu-high");
    }
    archive.performanceSessions = {
        recordedSession(QStringLiteral("Güncellemeden önce"), now.addingSeconds(-26 * 3600), 0.46, 0.61),
        recordedSession(QStringLiteral("Güncellemeden sonra"), now.addingSeconds(-3 * 3600), 0.21, 0.55),
    };
    archive.processorComparisons = {{newUuid(), now.addingSeconds(-2 * 3600),
                                     ProcessorComparisonAction::pausedKnownTask,
                                     ProcessorComparisonResult::lower, std::nullopt, 0.43, 0.18}};
    archive.events.push_back(archive.events.front());
    archive.events.pop_back();
    std::sort(archive.events.begin(), archive.events.end(),
              [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
    archive.incidents.push_back({newUuid(), now.addingSeconds(-5 * 3600), now.addingSeconds(-4.5 * 3600),
                                 QStringLiteral("Fan sesi yükseldi")});
    archive.fullSystemScanResults.push_back(
        fullSystemScanResultToJson(recordedFullScan(now.addingSeconds(-6 * 3600))).toObject());
    FileHealthArchiveRepository(dataDirectory + QStringLiteral("/health-archive.json")).saveNow(archive);
}

QString prepareStorageTree(const QString& parent) {
    const QString root = parent + QStringLiteral("/Ev klasörü");
    struct File {
        const char* path;
        long long megabytes;
    } files[] = {
        {"Videolar/tatil-2025.mp4", 1800},
        {"Videolar/sunum-kaydı.mkv", 900},
        {"Fotoğraflar/IMG_0001.jpg", 6},
        {"Fotoğraflar/IMG_0002.jpg", 7},
        {"Fotoğraflar/albüm.heic", 420},
        {"Projeler/kestrum/src/main.cpp", 1},
        {"Projeler/kestrum/build.tar.gz", 640},
        {"Projeler/notlar.md", 1},
        {"Müzik/konser.flac", 380},
        {"Müzik/podcast.mp3", 95},
        {"Belgeler/rapor.pdf", 24},
        {"Belgeler/bütçe.xlsx", 3},
        {"İndirilenler/debian-12.iso", 650},
        {"İndirilenler/kurulum.AppImage", 120},
        {"yedek.zip", 210},
    };
    for (const auto& f : files) {
        const QString path = root + u'/' + QString::fromUtf8(f.path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            continue;
        // Allocated without writing: the map measures allocated blocks.
        ::posix_fallocate(fd, 0, f.megabytes * 1024 * 1024);
        ::close(fd);
    }
    return root;
}

LinuxServices::MonitorServices makeServices(const QString& fixtureRoot) {
    LinuxServices::Roots roots = LinuxServices::Roots::recordedTree(fixtureRoot);
    // The recorded laptop's Wi-Fi interface has an IPv4 address.
    roots.addresses = [] {
        return std::map<QString, std::pair<bool, bool>>{{QStringLiteral("wlp0s20f3"), {true, false}}};
    };
    LinuxServices::MonitorServices services;
    services.savedPreferences = std::make_unique<JsonFilePreferencesStore>(KestrumPaths::preferencesFile());
    services.preferences = std::make_unique<InMemoryPreferencesStore>();
    SystemMonitorStore::Dependencies d;
    auto sampler = std::make_shared<VariedSampler>(LinuxServices::makeSampler(roots));
    d.sampler = sampler;
    // The resource screen: a foreground that follows the load, and the recorded application slice.
    d.resourceAnalysis.foregroundApplicationProvider = std::make_shared<RecordedForeground>(sampler);
    const QString slice = fixtureRoot + QStringLiteral("/../cgroup/app-slice");
    d.resourceAnalysis.applicationUsageReader = std::make_shared<CgroupApplicationUsageReader>(
        CgroupApplicationUsageReader::Roots{slice + QStringLiteral("/sys/fs/cgroup"),
                                            slice + QStringLiteral("/proc")},
        1000, std::make_shared<DesktopEntryCatalog>(QStringList{slice + QStringLiteral("/applications")}));
    d.preferences = services.preferences.get();
    d.archiveRepository = std::make_shared<FileHealthArchiveRepository>(KestrumPaths::archiveFile());
    services.store = std::make_unique<SystemMonitorStore>(std::move(d));
    return services;
}

void run(KestrumApplication& application, const QString& outputDirectory) {
    QDir().mkpath(outputDirectory);
    // overview-en.png, overview-en-dark.png
    const QString suffix = (L10n::isEnglish() ? QStringLiteral("en") : QStringLiteral("tr")) +
                           (application.theme().isDark() ? QStringLiteral("-dark") : QString());
    QQuickWindow* window = application.mainWindow();
    wait(300);
    // Enough samples for the charts.
    for (int i = 0; i < 60; ++i)
        QCoro::waitFor(application.store().refresh());
    const QString tree = prepareStorageTree(QFileInfo(KestrumPaths::dataDirectory()).absolutePath());
    application.storageMap().authorizeAndScan(tree);
    QElapsedTimer timer;
    timer.start();
    while (application.storageMap().isScanning() && timer.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);

    ShellViewModel& shell = application.shell();
    for (int i = 0; i < static_cast<int>(shell.sectionList().size()); ++i) {
        shell.selectSection(i);
        wait(700);
        window->grabWindow().save(outputDirectory +
                                  QStringLiteral("/%1-%2.png").arg(shell.currentKey(), suffix));
    }
    // The first health summary over the overview.
    shell.selectSectionByKey(QStringLiteral("overview"));
    application.healthSummary().open(QStringLiteral("overview"));
    wait(700);
    window->grabWindow().save(outputDirectory + QStringLiteral("/summary-%1.png").arg(suffix));
    application.healthSummary().close();
    // The resource screen and the battery's application section once the observation has consent.
    application.store().setResourceAnalysisEnabled(true);
    for (int i = 0; i < 45; ++i)
        QCoro::waitFor(application.store().refresh());
    for (const QString& key : {QStringLiteral("resourceAnalysis"), QStringLiteral("battery")}) {
        shell.selectSectionByKey(key);
        wait(700);
        window->grabWindow().save(outputDirectory + QStringLiteral("/%1-observed-%2.png").arg(key, suffix));
    }
    application.store().setResourceAnalysisEnabled(false);
    if (auto* settings = window->findChild<QQuickWindow*>(QStringLiteral("settingsWindow"))) {
        settings->show();
        wait(700);
        settings->grabWindow().save(outputDirectory + QStringLiteral("/settings-%1.png").arg(suffix));
        settings->hide();
    }
    if (!application.theme().isDark()) {
        std::vector<MenuBarPrimaryMetric> rows;
        for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
            rows.push_back(metric);
        const TrayPresentation tray = TrayPresentation::make(application.store().currentSnapshot(),
                                                             application.store().activeInsights(), true,
                                                             MenuBarPrimaryMetric::cpu, rows);
        TrayItem::renderIcon(tray).pixmap(64, 64).save(outputDirectory +
                                                       QStringLiteral("/tray-%1.png").arg(suffix));
    }
    QApplication::quit();
}

} // namespace kestrum::ScreenshotSupport
