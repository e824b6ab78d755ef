// kestrum-cli net quality | net speed | wifi

#include "CliSupport.h"
#include "Commands.h"
#include "LinuxConnectionDetailsProvider.h"
#include "LinuxServices.h"
#include "Nl80211LinkMetricsProvider.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/Translatable.h"
#include "localisation/L10n.h"
#include "measurement/MeasurementJsonFields.h"
#include "measurement/MetricFormatting.h"
#include "network/NetworkJson.h"
#include "network/NetworkTestDependencies.h"
#include "network/NetworkTestErrors.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QTextStream>
#include <cstdio>
#include <qcoro/qcorotask.h>
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

// The endpoints and CA of this run: the preferences, then the options.
NetworkTestConfiguration configurationFor(Arguments& arguments, bool speed) {
    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    NetworkTestConfiguration configuration = NetworkTestConfiguration::fromPreferences(preferences);
    if (const auto endpoint = arguments.takeOption(QStringLiteral("--endpoint"))) {
        if (speed)
            configuration.speedBase = QUrl(*endpoint);
        else
            configuration.qualityEndpoint = QUrl(*endpoint);
    }
    if (const auto caFile = arguments.takeOption(QStringLiteral("--ca-file"))) {
        if (!QFileInfo(*caFile).isReadable())
            throw UsageError{trTemplate("Sertifika dosyası okunamıyor: \\(path)", {*caFile})};
        configuration.caBundleFile = QFileInfo(*caFile).absoluteFilePath();
    }
    return configuration;
}

// Runs a test's coroutine to its end, its failure rethrown here; Ctrl-C cancels it.
template <class T> T runCancellable(const std::function<QCoro::Task<T>(std::stop_token)>& work) {
    std::stop_source stop;
    installInterruptHandler([&stop] { stop.request_stop(); });
    std::optional<T> result;
    std::exception_ptr error;
    // The waiting helper only ends its loop for a coroutine that returns: catch everything inside.
    QCoro::waitFor(
        [](QCoro::Task<T> task, std::optional<T>& out, std::exception_ptr& failure) -> QCoro::Task<void> {
            try {
                out = co_await std::move(task);
            } catch (...) {
                failure = std::current_exception();
            }
        }(work(stop.get_token()), result, error));
    if (error)
        std::rethrow_exception(error);
    return std::move(*result);
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

bool askForConsent(NetworkSpeedTestMode mode) {
    printLine(tr("Cloudflare hız testi başlatılsın mı?"));
    printLine();
    printLine(L10n::string(modeDescription(mode)));
    printLine(L10n::string(
        trTemplate("Bu test \\(ceiling) veri kullanabilir.", {L10n::string(modeDataCeiling(mode))})));
    printLine(tr(
        "Test yalnız açık onayından sonra Cloudflare’ın hız testi uçlarına şifreli istekler gönderir. Isınma "
        "turu sonuca katılmaz; son kararlı turların ortancası kullanılır. Hızlı test en fazla yaklaşık 155 "
        "MB, "
        "kapsamlı test yaklaşık 185 MB veri kullanabilir."));
    printLine();
    QTextStream out(stdout);
    out << L10n::string(trTemplate("\\(confirm)? [e/H] ", {tr("Kabul Ediyorum ve Başlat")}));
    out.flush();
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    return answer == u"e" || answer == u"evet" || answer == u"y" || answer == u"yes";
}

} // namespace

int runNetworkQuality(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const NetworkTestConfiguration configuration = configurationFor(arguments, false);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("net quality konumsal argüman almaz.")};
    const NetworkTestDependencies testers(configuration);
    if (!asJson && isatty(STDERR_FILENO))
        printError(tr("Ağ gecikmesi ve kararlılığı ölçülüyor"));
    const NetworkQualityResult result = runCancellable<NetworkQualityResult>(
        [&](std::stop_token stop) { return testers.qualityTester->run(stop); });
    if (asJson)
        printJson(networkQualityResultToJson(result));
    else
        printQuality(result);
    return ExitCode::success;
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
    const NetworkTestConfiguration configuration = configurationFor(arguments, true);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("net speed konumsal argüman almaz.")};
    if (!consented) {
        if (!isatty(STDIN_FILENO))
            throw UsageError{trText("Hız testi açık onay ister: onaylamak için --yes verin.")};
        if (!askForConsent(mode))
            return fail(trText("Hız testi başlatılmadı."), ExitCode::usageError);
    }
    const NetworkTestDependencies testers(configuration);
    const bool live = isatty(STDERR_FILENO);
    QString lastLine;
    const NetworkSpeedProgressHandler progress = [&](const NetworkSpeedTestProgress& p) {
        if (!live)
            return;
        const QString line = progressLine(p);
        // Overwrite the previous line; pad when the new one is shorter.
        QTextStream err(stderr);
        err << '\r' << line.leftJustified(lastLine.size());
        err.flush();
        lastLine = line;
    };
    const auto endLine = [&] {
        if (live && !lastLine.isEmpty()) {
            QTextStream err(stderr);
            err << '\n';
        }
    };
    NetworkSpeedTestResult result;
    try {
        result = runCancellable<NetworkSpeedTestResult>(
            [&](std::stop_token stop) { return testers.speedTester->run(mode, stop, progress); });
    } catch (...) {
        endLine();
        throw;
    }
    endLine();
    if (asJson)
        printJson(networkSpeedTestResultToJson(result));
    else
        printSpeed(result);
    return ExitCode::success;
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
    const auto orUnavailable = [](const std::optional<QString>& value) {
        return value ? *value : MetricFormatting::unavailableText();
    };
    PresentationGroup wifiGroup;
    wifiGroup.key = QStringLiteral("wifi");
    wifiGroup.title = QStringLiteral("Wi-Fi");
    wifiGroup.isAvailable = report.status == Nl80211LinkMetricsProvider::Status::associated;
    if (!wifiGroup.isAvailable) {
        wifiGroup.note = L10n::string(Nl80211LinkMetricsProvider::unavailableReason(report.status));
    } else {
        const WiFiConnectionDetails& d = link.details;
        const auto dbm = [](const std::optional<int>& v) {
            return v ? QStringLiteral("%1 dBm").arg(*v) : MetricFormatting::unavailableText();
        };
        wifiGroup.rows = {
            row("Arayüz", orUnavailable(d.interfaceName)),
            row("Ağ adı (SSID)", orUnavailable(d.networkName)),
            row("Erişim noktası (BSSID)", orUnavailable(d.accessPointIdentifier)),
            row("Standart",
                d.standard ? L10n::string(displayName(*d.standard)) : MetricFormatting::unavailableText()),
            row("Bant", d.band ? L10n::string(rawValue(*d.band)) : MetricFormatting::unavailableText()),
            row("Kanal", link.channel ? QString::number(*link.channel) : MetricFormatting::unavailableText()),
            row("Kanal genişliği", d.channelWidthMHz ? QStringLiteral("%1 MHz").arg(*d.channelWidthMHz)
                                                     : MetricFormatting::unavailableText()),
            row("Güvenlik",
                d.security ? L10n::string(rawValue(*d.security)) : MetricFormatting::unavailableText()),
            row("Wi-Fi sinyali", dbm(link.rssi)),
            row("Gürültü", dbm(link.noise)),
            row("Aktarım hızı", link.transmitRateMbps ? MetricFormatting::number(*link.transmitRateMbps, 0) +
                                                            QStringLiteral(" Mbps")
                                                      : MetricFormatting::unavailableText()),
            row("Ülke kodu", orUnavailable(d.countryCode)),
        };
    }
    PresentationGroup connectionGroup;
    connectionGroup.key = QStringLiteral("connection");
    connectionGroup.title = tr("Bağlantı ayrıntıları");
    connectionGroup.rows = {
        row("Birincil arayüz", orUnavailable(connection.primaryInterfaceName)),
        row("Yerel IPv4", orUnavailable(connection.localIPv4Address)),
        row("Yerel IPv6", orUnavailable(connection.localIPv6Address)),
        row("Yönlendirici (IPv4)", orUnavailable(connection.routerIPv4Address)),
        row("Yönlendirici (IPv6)", orUnavailable(connection.routerIPv6Address)),
        row("DNS sunucuları",
            connection.dnsServerAddresses.empty()
                ? MetricFormatting::unavailableText()
                : QStringList(connection.dnsServerAddresses.begin(), connection.dnsServerAddresses.end())
                      .join(QStringLiteral(", "))),
    };
    printGroups({wifiGroup, connectionGroup});
    return ExitCode::success;
}

} // namespace kestrum::cli
