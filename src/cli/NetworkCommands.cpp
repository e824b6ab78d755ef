// kestrum-cli net quality | net speed | wifi

#include "CliSupport.h"
#include "Commands.h"
#include "LinuxConnectionDetailsProvider.h"
#include "LinuxNetworkPathProvider.h"
#include "LinuxServices.h"
#include "Nl80211LinkMetricsProvider.h"
#include "foundation/ProcessLock.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MeasurementJsonFields.h"
#include "measurement/MetricFormatting.h"
#include "monitor/OperationDescription.h"
#include "monitor/SystemMonitorStore.h"
#include "network/NetworkJson.h"
#include "network/NetworkTestDependencies.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>
#include <QTextStream>
#include <any>
#include <cstdio>
#include <unistd.h>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString milliseconds(double value) {
    return MetricFormatting::number(value, value < 10 ? 1 : 0) + QStringLiteral(" ms");
}

QString megabits(double value) {
    return MetricFormatting::number(value, value < 100 ? 1 : 0) + QStringLiteral(" Mbit/s");
}

QString megabytes(int64_t bytes) {
    return MetricFormatting::number(double(bytes) / 1e6, 1) + QStringLiteral(" MB");
}

// The endpoints and CA file of this run, as preference values that hold for this run only: the saved
// settings stay as they are.
std::map<QString, PreferenceValue> configurationOverrides(Arguments& arguments, bool speed) {
    std::map<QString, PreferenceValue> overrides;
    if (const auto endpoint = arguments.takeOption(QStringLiteral("--endpoint"))) {
        if (endpoint->trimmed().isEmpty())
            throw UsageError{trTemplate("\\(option) bir değer bekliyor.", {QStringLiteral("--endpoint")})};
        overrides.emplace(speed ? NetworkTestConfiguration::speedEndpointKey
                                : NetworkTestConfiguration::qualityEndpointKey,
                          endpoint->trimmed());
    }
    if (const auto caFile = arguments.takeOption(QStringLiteral("--ca-file"))) {
        if (!QFileInfo(*caFile).isReadable())
            throw UsageError{trTemplate("Sertifika dosyası okunamıyor: \\(path)", {*caFile})};
        overrides.emplace(NetworkTestConfiguration::caBundleFileKey, QFileInfo(*caFile).absoluteFilePath());
    }
    return overrides;
}

// One network test as the command runs it through the store.
struct StoreRun {
    UserOperation operation;
    std::function<bool(SystemMonitorStore&)> start;
    std::function<void(const SystemMonitorStore&)> progressed; // whenever the test's progress changes
    std::function<void()> ended;                               // once it has ended, before any output
    std::function<void(const SystemMonitorStore&)> printResult;
};

// Runs one network test as a running Kestrum does, through the monitoring store: its start checks and
// conflict rules, the result committed to the archive and saved, nothing stored when the test fails or is
// cancelled. The data folder's lock keeps a monitor from writing the archive meanwhile; while another
// process holds it, the test is refused.
int runThroughStore(const StoreRun& run, std::map<QString, PreferenceValue> overrides) {
    ProcessLock lock(monitorLockPath());
    if (!lock.tryLock())
        return fail(trText("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor. Ağ testini o süreç "
                           "kapandıktan sonra yeniden deneyin veya --data-dir ile başka bir klasör seçin."));
    const UserOperation operation = run.operation;
    const QString cancelled = QString::fromUtf8(OperationDescription::of(operation).cancellationMessage);
    // Ctrl-C cancels the test once it runs, and keeps it from starting before that.
    SystemMonitorStore* running = nullptr;
    bool interrupted = false;
    installInterruptHandler([&] {
        interrupted = true;
        if (running)
            running->cancelOperation(operation);
    });

    std::shared_ptr<LinuxNetworkPathProvider> path;
    LinuxServices::MonitorServices services =
        LinuxServices::makeMonitorServices({}, std::move(overrides), &path);
    SystemMonitorStore& store = *services.store;
    // The start checks read the current sample: take one once the network path is known. Before the
    // archive is prepared a sample stays in memory, so the test adds nothing to the history but its result.
    if (path)
        path->waitForFirstUpdate(std::chrono::seconds(3));
    waitForTask(store.refresh());
    waitForTask(store.prepareArchive());
    if (!store.isArchivePrepared())
        return fail(store.persistenceError());
    if (interrupted)
        return fail(cancelled, ExitCode::interrupted);

    if (!run.start(store))
        return fail(store.operationError(operation));
    if (store.isRunning(operation)) {
        running = &store;
        QEventLoop loop;
        QObject::connect(&store, &SystemMonitorStore::operationsChanged, &loop, [&] {
            if (!store.isRunning(operation))
                loop.quit();
            else if (run.progressed)
                run.progressed(store);
        });
        if (run.progressed)
            run.progressed(store);
        loop.exec();
        running = nullptr;
    }
    if (run.ended)
        run.ended();
    const QString error = store.operationError(operation);
    if (!error.isEmpty())
        return fail(error, error == cancelled ? ExitCode::interrupted : ExitCode::failure);
    run.printResult(store);
    // The result was committed; a save that failed still fails the command.
    if (!store.persistenceError().isEmpty())
        return fail(store.persistenceError());
    return ExitCode::success;
}

PresentationRow row(const char* label, const QString& value) {
    return {tr(label), value};
}

void printQuality(const NetworkQualityResult& result) {
    PresentationGroup group;
    group.key = QStringLiteral("networkQuality");
    group.title = tr("Gecikme ve Kararlılık Testi");
    group.rows = {
        row("Sonuç", L10n::string(qualityLevelTitle(result.quality))),
        row("DNS çözümü", milliseconds(result.dnsResolutionMilliseconds)),
        row("Ortanca yanıt", milliseconds(result.medianResponseMilliseconds)),
        row("Değişkenlik (jitter)", milliseconds(result.jitterMilliseconds)),
        row("Başarılı deneme",
            QStringLiteral("%1/%2").arg(result.successfulProbes).arg(result.attemptedProbes)),
    };
    printGroups({group});
}

void printSpeed(const NetworkSpeedTestResult& result) {
    const auto latency = [](const std::optional<double>& value) {
        return value ? milliseconds(*value) : MetricFormatting::unavailableText();
    };
    PresentationGroup group;
    group.key = QStringLiteral("networkSpeed");
    group.title = tr("İnternet Hız Testi");
    group.rows = {
        row("İndirme", megabits(result.downloadMegabitsPerSecond)),
        row("Yükleme", megabits(result.uploadMegabitsPerSecond)),
        row("Boşta gecikme", latency(result.idleLatencyMilliseconds)),
        row("İndirme sırasında gecikme", latency(result.downloadLoadedLatencyMilliseconds)),
        row("Yükleme sırasında gecikme", latency(result.uploadLoadedLatencyMilliseconds)),
        row("Kullanılan veri", megabytes(result.transferredBytes)),
        row("Süre", MetricFormatting::duration(result.durationSeconds)),
    };
    if (result.parallelStreamCount && result.measurementSampleCount)
        group.rows.push_back(
            row("Ölçüm yapısı", L10n::string(trTemplate("\\(streams) paralel akış · \\(rounds) kararlı tur",
                                                        {QString::number(*result.parallelStreamCount),
                                                         QString::number(*result.measurementSampleCount)}))));
    else
        group.rows.push_back(row("Ölçüm yapısı", tr("Tek bağlantı · eski sonuç")));
    if (result.confidence) {
        const QString confidence = *result.confidence == NetworkSpeedTestConfidence::high   ? tr("Yüksek")
                                   : *result.confidence == NetworkSpeedTestConfidence::good ? tr("İyi")
                                                                                            : tr("Tahmini");
        group.rows.push_back(row("Güven", confidence));
    }
    group.rows.push_back(row("Sağlayıcı", result.providerName));
    printGroups({group});
}

// The live line: direction, round, current rate and the direction's bytes of its budget.
QString progressLine(const NetworkSpeedTestProgress& progress) {
    switch (progress.phase) {
    case NetworkSpeedTestProgress::Phase::warmup:
        return L10n::string(trTemplate("\\(mode) test: paralel indirme ve yükleme kapasitesi ölçülüyor…",
                                       {modeTitle(progress.mode)}));
    case NetworkSpeedTestProgress::Phase::idleLatency:
        return tr("Boşta gecikme ölçülüyor…");
    case NetworkSpeedTestProgress::Phase::measuring:
        break;
    }
    const QString direction =
        progress.direction == NetworkSpeedTransferDirection::upload ? tr("Yükleme") : tr("İndirme");
    const QString rate = progress.currentMegabitsPerSecond ? megabits(*progress.currentMegabitsPerSecond)
                                                           : QStringLiteral("…");
    return L10n::string(
        trTemplate("\\(direction) · tur \\(round)/\\(maximum) · \\(rate) · \\(used) / \\(budget)",
                   {direction, QString::number(progress.round), QString::number(progress.maximumRounds), rate,
                    megabytes(progress.directionBytesUsed), megabytes(progress.directionBudgetBytes)}));
}

// The consent text on the terminal (standard error, so that --json output stays clean); answers yes or no.
bool askForConsent(NetworkSpeedTestMode mode) {
    QTextStream err(stderr);
    err << tr("Cloudflare hız testi başlatılsın mı?") << "\n\n"
        << L10n::string(modeDescription(mode)) << '\n'
        << L10n::string(
               trTemplate("Bu test \\(ceiling) veri kullanabilir.", {L10n::string(modeDataCeiling(mode))}))
        << '\n'
        << tr("Test yalnız açık onayından sonra Cloudflare’ın hız testi uçlarına şifreli istekler gönderir. "
              "Isınma turu sonuca katılmaz; son kararlı turların ortancası kullanılır. Hızlı test en fazla "
              "yaklaşık 155 MB, kapsamlı test yaklaşık 185 MB veri kullanabilir.")
        << "\n\n"
        << L10n::string(trTemplate("\\(confirm)? [e/H] ", {tr("Kabul Ediyorum ve Başlat")}));
    err.flush();
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    return answer == u"e" || answer == u"evet" || answer == u"y" || answer == u"yes";
}

} // namespace

int runNetworkQuality(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    std::map<QString, PreferenceValue> overrides = configurationOverrides(arguments, false);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("net quality konumsal argüman almaz.")};
    const bool live = !asJson && isatty(STDERR_FILENO);
    bool announced = false;
    StoreRun run;
    run.operation = UserOperation::networkQuality;
    run.start = [](SystemMonitorStore& store) {
        return store.startNetworkQualityTest(QStringLiteral("cli"));
    };
    run.progressed = [&](const SystemMonitorStore& store) {
        const auto& progress = store.progress(UserOperation::networkQuality);
        if (live && !announced && progress) {
            printError(L10n::string(progress->phase));
            announced = true;
        }
    };
    run.printResult = [asJson](const SystemMonitorStore& store) {
        const NetworkQualityResult& result = *store.latestNetworkQualityResult();
        if (asJson)
            printJson(networkQualityResultToJson(result));
        else
            printQuality(result);
    };
    return runThroughStore(run, std::move(overrides));
}

int runNetworkSpeed(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool consented = arguments.takeFlag(QStringLiteral("--yes"));
    NetworkSpeedTestMode mode = NetworkSpeedTestMode::quick;
    if (const auto text = arguments.takeOption(QStringLiteral("--mode"))) {
        const auto parsed = fromRawValue<NetworkSpeedTestMode>(*text);
        if (!parsed)
            throw UsageError{trText("--mode için quick veya comprehensive gerekiyor.")};
        mode = *parsed;
    }
    std::map<QString, PreferenceValue> overrides = configurationOverrides(arguments, true);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("net speed konumsal argüman almaz.")};
    if (!consented) {
        if (!isatty(STDIN_FILENO))
            throw UsageError{trText("Hız testi açık onay ister: onaylamak için --yes verin.")};
        if (!askForConsent(mode))
            return fail(trText("Hız testi başlatılmadı."), ExitCode::usageError);
    }
    const bool live = isatty(STDERR_FILENO);
    QString lastLine;
    StoreRun run;
    run.operation = UserOperation::networkSpeed;
    run.start = [mode](SystemMonitorStore& store) {
        return store.startNetworkSpeedTest(mode, QStringLiteral("cli"));
    };
    // The live line overwrites the previous one, padded when the new one is shorter.
    run.progressed = [&](const SystemMonitorStore& store) {
        const auto& progress = store.progress(UserOperation::networkSpeed);
        if (!live || !progress)
            return;
        const auto* detail = std::any_cast<NetworkSpeedTestProgress>(&progress->detail);
        const QString line = detail ? progressLine(*detail) : L10n::string(progress->phase);
        if (line == lastLine)
            return;
        QTextStream err(stderr);
        err << '\r' << line.leftJustified(lastLine.size());
        err.flush();
        lastLine = line;
    };
    run.ended = [&] {
        if (!lastLine.isEmpty()) {
            QTextStream err(stderr);
            err << '\n';
        }
    };
    run.printResult = [asJson](const SystemMonitorStore& store) {
        const NetworkSpeedTestResult& result = *store.latestNetworkSpeedResult();
        if (asJson)
            printJson(networkSpeedTestResultToJson(result));
        else
            printSpeed(result);
    };
    return runThroughStore(run, std::move(overrides));
}

int runNet(Arguments& arguments) {
    if (arguments.takeFlag(QStringLiteral("quality")))
        return runNetworkQuality(arguments);
    if (arguments.takeFlag(QStringLiteral("speed")))
        return runNetworkSpeed(arguments);
    throw UsageError{trText("net için quality veya speed gerekiyor.")};
}

int runWiFi(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("wifi konumsal argüman almaz.")};
    const auto wifi = LinuxServices::makeWiFiLinkProvider();
    const Nl80211LinkMetricsProvider::Report report = wifi->readReport();
    const NetworkConnectionDetails connection = LinuxServices::makeConnectionDetailsProvider()->read({});
    const WiFiLinkMetrics& link = report.metrics;
    if (asJson) {
        QJsonObject wifiObject;
        if (report.status == Nl80211LinkMetricsProvider::Status::associated) {
            wifiObject.insert(QStringLiteral("state"), QStringLiteral("available"));
        } else {
            wifiObject.insert(QStringLiteral("state"), QStringLiteral("unavailable"));
            wifiObject.insert(QStringLiteral("reason"),
                              Nl80211LinkMetricsProvider::unavailableReason(report.status));
        }
        if (link.rssi)
            wifiObject.insert(QStringLiteral("rssi"), *link.rssi);
        if (link.noise)
            wifiObject.insert(QStringLiteral("noise"), *link.noise);
        if (link.transmitRateMbps)
            wifiObject.insert(QStringLiteral("transmitRateMbps"), *link.transmitRateMbps);
        if (link.channel)
            wifiObject.insert(QStringLiteral("channel"), *link.channel);
        wifiObject.insert(QStringLiteral("details"), json::encode(link.details));
        QJsonObject object;
        object.insert(QStringLiteral("wifi"), wifiObject);
        object.insert(QStringLiteral("connection"), json::encode(connection));
        printJson(object);
        return ExitCode::success;
    }
    PresentationGroup wifiGroup;
    wifiGroup.key = QStringLiteral("wifi");
    wifiGroup.title = QStringLiteral("Wi-Fi");
    wifiGroup.isAvailable = report.status == Nl80211LinkMetricsProvider::Status::associated;
    if (!wifiGroup.isAvailable) {
        wifiGroup.note = L10n::string(Nl80211LinkMetricsProvider::unavailableReason(report.status));
    } else {
        const auto dbm = [](const std::optional<int>& v) {
            return v ? QStringLiteral("%1 dBm").arg(*v) : MetricFormatting::unavailableText();
        };
        wifiGroup.rows = {
            row("Arayüz", link.details.interfaceName.value_or(MetricFormatting::unavailableText()))};
        for (PresentationRow& detail : SnapshotPresentation::wifiDetailRows(link.details))
            wifiGroup.rows.push_back(std::move(detail));
        wifiGroup.rows.push_back(row("Kanal", link.channel ? QString::number(*link.channel)
                                                           : MetricFormatting::unavailableText()));
        wifiGroup.rows.push_back(row("Wi-Fi sinyali", dbm(link.rssi)));
        wifiGroup.rows.push_back(row("Gürültü", dbm(link.noise)));
        wifiGroup.rows.push_back(
            row("Aktarım hızı", link.transmitRateMbps ? MetricFormatting::number(*link.transmitRateMbps, 0) +
                                                            QStringLiteral(" Mbps")
                                                      : MetricFormatting::unavailableText()));
    }
    PresentationGroup connectionGroup;
    connectionGroup.key = QStringLiteral("connection");
    connectionGroup.title = tr("Bağlantı ayrıntıları");
    connectionGroup.rows = SnapshotPresentation::connectionDetailRows(connection);
    printGroups({wifiGroup, connectionGroup});
    return ExitCode::success;
}

} // namespace kestrum::cli
