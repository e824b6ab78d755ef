// kestrum-cli culprits, session and compare-cpu: the resource analysis and the measurements that ride
// on the monitoring loop. Their data lives in the running monitor (the application or `kestrum-cli
// monitor`), which these commands ask over the session bus.

#include "CliSupport.h"
#include "Commands.h"
#include "LinuxServices.h"
#include "MonitorBusService.h"
#include "culprits/ResourceCulpritJson.h"
#include "culprits/ResourceCulpritPresentation.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumError.h"
#include "foundation/KestrumPaths.h"
#include "foundation/ProcessLock.h"
#include "foundation/Rounding.h"
#include "foundation/Translatable.h"
#include "healthtests/PerformancePresentation.h"
#include "healthtests/ProcessorComparisonJson.h"
#include "history/HealthArchive.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>
#include <qcoro/qcorotask.h>
#include <unistd.h>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString shown(const QString& turkish) {
    return L10n::localizedFragment(turkish);
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

// Columns padded to their widest cell.
void printTable(const QStringList& header, const std::vector<QStringList>& rows, const QString& indent = {}) {
    std::vector<qsizetype> widths(static_cast<size_t>(header.size()), 0);
    const auto measure = [&](const QStringList& cells) {
        for (qsizetype i = 0; i < cells.size() && i < header.size(); ++i)
            widths[static_cast<size_t>(i)] = std::max(widths[static_cast<size_t>(i)], cells[i].size());
    };
    measure(header);
    for (const QStringList& row : rows)
        measure(row);
    const auto line = [&](const QStringList& cells) {
        QString text = indent;
        for (qsizetype i = 0; i < cells.size(); ++i)
            text +=
                i + 1 < cells.size() ? cells[i].leftJustified(widths[static_cast<size_t>(i)] + 2) : cells[i];
        printLine(text);
    };
    line(header);
    for (const QStringList& row : rows)
        line(row);
}

QStringList localised(const QStringList& texts) {
    QStringList out;
    for (const QString& text : texts)
        out.append(shown(text));
    return out;
}

int failWithoutMonitor(const char* why) {
    return fail(trText("Çalışan bir Kestrum izlemesi yok.") + u' ' + trText(why));
}

// The running monitor's answer for this data folder; absent when there is none (or it keeps another
// folder). A refusal ends the command with its reason.
std::optional<QVariantList> askMonitor(const QString& method, const QVariantList& arguments) {
    const MonitorCallResult reply = callRunningMonitor(method, arguments);
    if (reply.status == MonitorCallResult::Status::failed)
        throw KestrumError(QStringLiteral("refused"), reply.errorMessage);
    if (reply.status != MonitorCallResult::Status::succeeded)
        return std::nullopt;
    return reply.arguments;
}

QString dataFolder() {
    return canonicalFolder(KestrumPaths::dataDirectory());
}

QJsonObject jsonObjectOf(const QVariant& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw KestrumError(QStringLiteral("decoding"), trText("Çalışan izlemenin yanıtı okunamadı."));
    return document.object();
}

void printReport(const ResourceCulpritReport& report) {
    namespace P = ResourceCulpritPresentation;
    if (!report.consented) {
        const P::ConsentRequest request = P::consentRequest(report.sampleInterval);
        printLine(shown(request.title));
        printLine(shown(request.subtitle));
        printLine();
        printLine(QStringLiteral("[") + shown(request.badge) + QStringLiteral("]"));
        printLine(shown(request.explanation));
        printLine(shown(request.caveat));
        for (const QString& point : request.privacyPoints)
            printLine(QStringLiteral("  • ") + shown(point));
        printLine();
        printLine(tr("Açık onay vermek için: kestrum-cli culprits --enable"));
        return;
    }
    const P::ActiveObservation screen = P::activeObservation(report.analysis);
    printLine(shown(screen.title) + QStringLiteral(" · ") + shown(screen.state));
    printLine(shown(screen.subtitle));
    if (!report.foregroundAvailability.isAvailable())
        printLine(tr("Ön plandaki uygulama bilinemiyor:") + u' ' +
                  shown(report.foregroundAvailability.reason));
    printLine();
    if (screen.isEmpty) {
        printLine(shown(screen.emptyTitle));
        printLine(shown(screen.emptyDetail));
    } else {
        printLine(shown(screen.leadingTitle));
        printLine(QStringLiteral("  ") + shown(screen.leadingDetail));
        printLine(QStringLiteral("  ") + shown(screen.caveat));
        printLine();
        printLine(shown(screen.tableTitle));
        std::vector<QStringList> rows;
        for (const P::TableRow& row : screen.rows)
            rows.push_back({row.application, row.averageCPU, row.peakCPU, row.memory, shown(row.signal)});
        printTable(localised(screen.columns), rows, QStringLiteral("  "));
    }
    const P::BatterySection battery = P::batterySection(report.batteryImpact);
    if (!battery.rows.empty()) {
        printLine();
        printLine(shown(battery.title));
        printLine(QStringLiteral("  ") + shown(battery.caveat));
        std::vector<QStringList> rows;
        for (const P::BatteryRow& row : battery.rows)
            rows.push_back({row.application, shown(row.averageDischarge), shown(row.measurements)});
        printTable({tr("Uygulama"), tr("Ort. sistem deşarjı"), tr("Ölçüm")}, rows, QStringLiteral("  "));
    }
    const P::UsageTable usage = P::usageTable(report.applicationUsage);
    printLine();
    printLine(shown(usage.title));
    printLine(QStringLiteral("  ") + shown(usage.caption));
    if (!usage.unavailableReason.isEmpty()) {
        printLine(QStringLiteral("  ") + shown(usage.unavailableReason));
        return;
    }
    if (!usage.diskNote.isEmpty())
        printLine(QStringLiteral("  ") + shown(usage.diskNote));
    std::vector<QStringList> rows;
    for (const P::UsageRow& row : usage.rows)
        rows.push_back(
            {row.application, row.cpuTime, row.recentCPU, row.memory, row.diskRead, row.diskWritten});
    if (rows.empty())
        printLine(QStringLiteral("  ") + tr("Şu an uygulama birimi olarak çalışan uygulama yok."));
    else
        printTable(localised(usage.columns), rows, QStringLiteral("  "));
}

// The consent switch without a running monitor: the preference it reads at its next start.
void setConsentDirectly(bool enabled) {
    JsonFilePreferencesStore preferences(KestrumPaths::preferencesFile());
    ResourceActivity(ResourceAnalysisDependencies(), preferences).setEnabled(enabled);
}

} // namespace

int runCulprits(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool enable = arguments.takeFlag(QStringLiteral("--enable"));
    const bool disable = arguments.takeFlag(QStringLiteral("--disable"));
    const bool clear = arguments.takeFlag(QStringLiteral("--clear"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("culprits konumsal argüman almaz.")};
    if (int(enable) + int(disable) + int(clear) > 1)
        throw UsageError{trText("--enable, --disable ve --clear birlikte kullanılamaz.")};

    if (enable || disable) {
        const auto reply = askMonitor(QStringLiteral("SetResourceAnalysisEnabled"),
                                      {canonicalFolder(KestrumPaths::configDirectory()), enable});
        if (!reply)
            setConsentDirectly(enable);
        printLine(enable
                      ? tr("Kaynak korelasyonu gözlemi açıldı. Gözlemler yalnız izleyen sürecin belleğinde "
                           "tutulur.")
                      : tr("Kaynak korelasyonu gözlemi kapatıldı; bu oturumun gözlemleri silindi."));
        return ExitCode::success;
    }
    if (clear) {
        const auto reply = askMonitor(QStringLiteral("ClearResourceActivity"), {dataFolder()});
        if (!reply)
            return failWithoutMonitor(
                TR_MARK("Gözlemler yalnız izleyen sürecin belleğinde tutulur; temizlenecek bir şey "
                        "yok."));
        printLine(shown(reply->value(0).toString()));
        return ExitCode::success;
    }
    const auto reply = askMonitor(QStringLiteral("ResourceCulprits"), {dataFolder()});
    if (!reply)
        return failWithoutMonitor(
            TR_MARK("Gözlemler yalnız izleyen sürecin belleğinde tutulur: kestrum-cli monitor'ü veya "
                    "uygulamayı açık tut."));
    const QJsonObject object = jsonObjectOf(reply->value(0));
    if (asJson) {
        printJson(object);
        return ExitCode::success;
    }
    printReport(ResourceCulpritReport::fromJson(object));
    return ExitCode::success;
}

namespace {

void printSessionList(const std::vector<PerformanceSession>& sessions) {
    printHeading(tr("Performans oturumları"));
    if (sessions.empty()) {
        printLine(tr("Kayıtlı performans oturumu yok."));
        return;
    }
    std::vector<QStringList> rows;
    int index = 0;
    for (const PerformanceSession& session : sessions) {
        const auto f = PerformancePresentation::figures(session);
        rows.push_back({QString::number(++index), session.name, dateTimeText(session.startedAt),
                        session.endedAt ? shown(f.duration) : tr("sürüyor"), shown(f.samples), f.averageCPU,
                        f.peakCPU, f.averageMemory, f.highestThermal});
    }
    printTable({QStringLiteral("#"), tr("Ad"), tr("Başlangıç"), tr("Süre"), tr("Ölçüm"), tr("CPU ort."),
                tr("CPU tepe"), tr("Bellek"), tr("En yüksek termal")},
               rows);
}

// A session named on the command line: its number in the list, its id (or a unique beginning of it, at
// least four characters), or its name (the newest of that name).
const PerformanceSession& findSession(const std::vector<PerformanceSession>& sessions,
                                      const QString& wanted) {
    bool isNumber = false;
    const int index = wanted.toInt(&isNumber);
    if (isNumber && index >= 1 && index <= static_cast<int>(sessions.size()))
        return sessions[static_cast<size_t>(index - 1)];
    const PerformanceSession* byID = nullptr;
    int idMatches = 0;
    if (wanted.size() >= 4) {
        for (const PerformanceSession& session : sessions) {
            if (session.id.toString(QUuid::WithoutBraces).startsWith(wanted, Qt::CaseInsensitive)) {
                byID = &session;
                ++idMatches;
            }
        }
    }
    if (idMatches == 1)
        return *byID;
    for (auto it = sessions.rbegin(); it != sessions.rend(); ++it) {
        if (it->name == wanted)
            return *it;
    }
    throw UsageError{trTemplate("Böyle bir performans oturumu yok: \\(session)", {wanted})};
}

void printComparison(const PerformanceSession& before, const PerformanceSession& after) {
    using namespace MetricFormatting;
    const auto a = PerformancePresentation::figures(before);
    const auto b = PerformancePresentation::figures(after);
    const auto delta = [](std::optional<double> x, std::optional<double> y) {
        return x && y ? percentagePointDelta(*y - *x) : QStringLiteral("—");
    };
    printHeading(L10n::string(trTemplate("\\(before) → \\(after)", {before.name, after.name})));
    const std::vector<QStringList> rows = {
        {tr("CPU ort."), a.averageCPU, b.averageCPU,
         delta(before.averageCPUUsage(), after.averageCPUUsage())},
        {tr("CPU tepe"), a.peakCPU, b.peakCPU, delta(before.peakCPUUsage, after.peakCPUUsage)},
        {tr("Bellek ort."), a.averageMemory, b.averageMemory,
         delta(before.averageMemoryUsage(), after.averageMemoryUsage())},
        {tr("Bellek tepe"), a.peakMemory, b.peakMemory, delta(before.peakMemoryUsage, after.peakMemoryUsage)},
        {tr("İndirme ort."), a.averageDownload, b.averageDownload, QStringLiteral("—")},
        {tr("Yükleme ort."), a.averageUpload, b.averageUpload, QStringLiteral("—")},
        {tr("En yüksek termal"), a.highestThermal, b.highestThermal, QStringLiteral("—")},
        {tr("Süre"), shown(a.duration), shown(b.duration), QStringLiteral("—")},
        {tr("Ölçüm"), shown(a.samples), shown(b.samples), QStringLiteral("—")},
        {tr("Batarya değişimi"), a.batteryChange, b.batteryChange,
         percentagePointDelta(PerformanceSessionComparison{before, after}.batteryChangeDelta())},
    };
    printTable({QString(), QStringLiteral("A"), QStringLiteral("B"), tr("Fark (B − A)")}, rows);
}

} // namespace

int runSession(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const QStringList words = arguments.positionals();
    const QString action = words.value(0);
    if (action == u"list" || action.isEmpty()) {
        if (words.size() > 1)
            throw UsageError{trText("session list başka argüman almaz.")};
        const HealthArchive archive = loadArchiveForReading();
        if (asJson) {
            QJsonArray list;
            for (const PerformanceSession& session : archive.performanceSessions)
                list.append(performanceSessionToJson(session));
            printJson(list);
            return ExitCode::success;
        }
        printSessionList(archive.performanceSessions);
        return ExitCode::success;
    }
    if (action == u"compare") {
        if (words.size() != 3)
            throw UsageError{trText("session compare iki oturum ister: önceki ve sonraki.")};
        const HealthArchive archive = loadArchiveForReading();
        const PerformanceSession& before = findSession(archive.performanceSessions, words[1]);
        const PerformanceSession& after = findSession(archive.performanceSessions, words[2]);
        if (asJson) {
            QJsonObject object{{QStringLiteral("before"), performanceSessionToJson(before)},
                               {QStringLiteral("after"), performanceSessionToJson(after)}};
            if (const auto delta = PerformanceSessionComparison{before, after}.batteryChangeDelta())
                object.insert(QStringLiteral("batteryChangeDelta"), *delta);
            printJson(object);
            return ExitCode::success;
        }
        printComparison(before, after);
        return ExitCode::success;
    }
    if (action != u"start" && action != u"stop")
        throw UsageError{trText("session için start AD, stop, list veya compare A B gerekiyor.")};
    const bool starting = action == u"start";
    if (!starting && words.size() > 1)
        throw UsageError{trText("session stop başka argüman almaz.")};
    const QString name = words.mid(1).join(u' ');
    const auto reply = starting ? askMonitor(QStringLiteral("StartPerformanceSession"), {dataFolder(), name})
                                : askMonitor(QStringLiteral("StopPerformanceSession"), {dataFolder()});
    if (!reply)
        return failWithoutMonitor(
            TR_MARK("Bir oturum yalnız izleme sürerken ölçülür: önce kestrum-cli monitor'ü veya "
                    "uygulamayı başlat."));
    printLine(shown(reply->value(0).toString()));
    return ExitCode::success;
}

namespace {

// One step of the processor comparison, on the running monitor or on a store of this process.
class ComparisonDriver {
public:
    virtual ~ComparisonDriver() = default;
    // The comparison after the step; throws KestrumError with the reason when the step was refused.
    virtual ProcessorComparison step(const QString& command, const QString& action = {}) = 0;
    virtual double elapsed(const QString&) { return m_elapsed; }

protected:
    double m_elapsed = 0;
};

class MonitorComparisonDriver : public ComparisonDriver {
public:
    ProcessorComparison step(const QString& command, const QString& action) override {
        const auto reply = askMonitor(QStringLiteral("ProcessorComparison"), {dataFolder(), command, action});
        if (!reply)
            throw KestrumError(QStringLiteral("gone"),
                               trText("Çalışan izleme kapandı; karşılaştırma kesildi."));
        const QJsonObject object = jsonObjectOf(reply->value(0));
        m_elapsed = object.value(QStringLiteral("phaseElapsed")).toDouble();
        return processorComparisonFromJson(object);
    }
};

class LocalComparisonDriver : public ComparisonDriver {
public:
    explicit LocalComparisonDriver(SystemMonitorStore& store) : m_store(store) {}
    ProcessorComparison step(const QString& command, const QString& action) override {
        if (command == u"start" && !m_store.startProcessorComparison())
            throw KestrumError(QStringLiteral("refused"),
                               trText("Karşılaştırma başlatılamadı: canlı izleme açık "
                                      "olmalı, bilgisayar uyanık olmalı ve başka bir "
                                      "test çalışmamalı."));
        if (command == u"begin" && !m_store.beginProcessorComparisonAfterWindow())
            throw KestrumError(QStringLiteral("refused"),
                               trText("Sonraki ölçüm başlatılamadı: karşılaştırma eyleminizi beklemiyor."));
        if (command == u"dismiss")
            m_store.dismissProcessorComparison();
        if (command == u"save") {
            const auto chosen = fromRawValue<ProcessorComparisonAction>(action);
            if (!chosen || !QCoro::waitFor(m_store.saveProcessorComparison(*chosen)))
                throw KestrumError(QStringLiteral("refused"),
                                   m_store.persistenceError().isEmpty()
                                       ? trText("Kaydedilecek bitmiş bir karşılaştırma "
                                                "yok.")
                                       : m_store.persistenceError());
        }
        const ProcessorComparison& comparison = m_store.processorComparison();
        m_elapsed = comparison.isActive() ? m_store.continuityClock() - comparison.phaseStart : 0;
        return comparison;
    }

private:
    SystemMonitorStore& m_store;
};

// Runs the event loop for `seconds` or until `done` says so, checking every quarter second; false when
// Ctrl-C ended the wait.
bool waitUntil(double seconds, const std::function<bool()>& done, bool& interrupted) {
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(250);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (interrupted || (done && done()))
            loop.quit();
    });
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return !interrupted;
}

void progressLine(const QString& text, bool terminal) {
    if (terminal) {
        const QByteArray bytes = (u'\r' + text + QStringLiteral("\x1b[K")).toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        std::fflush(stdout);
    } else {
        printLine(text);
    }
}

int guidedComparison(ComparisonDriver& driver, ProcessorComparisonAction action,
                     std::optional<double> afterDelay, bool save, bool asJson) {
    using Phase = ProcessorComparisonPhase;
    bool interrupted = false;
    installInterruptHandler([&interrupted] { interrupted = true; });
    const bool terminal = ::isatty(STDOUT_FILENO) && !asJson;
    const auto finish = [&](const ProcessorComparison& c) {
        if (terminal)
            printLine();
        return c;
    };

    ProcessorComparison comparison = driver.step(QStringLiteral("start"));
    if (!asJson)
        printLine(tr("Başlangıç ölçülüyor: en az 30 sn boyunca olağan kullanımını sürdür."));
    // Follows one window until its phase ends, printing its progress.
    const auto follow = [&](Phase phase, const char* label) {
        while (comparison.phase == phase) {
            if (!waitUntil(1, {}, interrupted))
                return false;
            comparison = driver.step(QStringLiteral("state"));
            if (!asJson)
                progressLine(
                    L10n::string(trTemplate("\\(phase): \\(seconds) sn, \\(count) ölçüm",
                                            {tr(label), QString::number(roundedInteger(driver.elapsed({}))),
                                             QString::number(comparison.count)})),
                    terminal);
        }
        finish(comparison);
        return true;
    };
    if (!follow(Phase::baseline, TR_MARK("Başlangıç")))
        return driver.step(QStringLiteral("dismiss")), ExitCode::interrupted;

    if (comparison.phase == Phase::awaitingAction) {
        if (!asJson) {
            printLine(L10n::string(trTemplate("Başlangıç ortalaması: \\(value)",
                                              {MetricFormatting::percentage(comparison.baselineMean, 1)})));
            printLine(
                afterDelay
                    ? L10n::string(trTemplate("Şimdi değişikliğini yap (örneğin tanıdığın yoğun bir işi "
                                              "duraklat); sonraki ölçüm \\(seconds) sn sonra başlayacak.",
                                              {numberText(*afterDelay)}))
                    : tr("Şimdi değişikliğini yap (örneğin tanıdığın yoğun bir işi duraklat), sonra "
                         "Enter'a bas."));
        }
        bool ready = false;
        std::unique_ptr<QSocketNotifier> input;
        if (!afterDelay) {
            input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
            QObject::connect(input.get(), &QSocketNotifier::activated, input.get(), [&] {
                char buffer[256];
                // A line, or the end of the input (nothing more will come): either way, go on.
                [[maybe_unused]] const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                ready = true;
            });
        }
        const double deadline = afterDelay.value_or(1e9);
        double waited = 0;
        while (!ready && waited < deadline && comparison.phase == Phase::awaitingAction) {
            const double slice = std::min(1.0, deadline - waited);
            if (!waitUntil(
                    slice, [&] { return ready; }, interrupted))
                return driver.step(QStringLiteral("dismiss")), ExitCode::interrupted;
            waited += slice;
            comparison = driver.step(QStringLiteral("state"));
        }
        if (comparison.phase == Phase::awaitingAction) {
            comparison = driver.step(QStringLiteral("begin"));
            if (!asJson)
                printLine(tr("Sonrası ölçülüyor: en az 60 sn."));
        }
    }
    if (!follow(Phase::measuring, TR_MARK("Sonrası")))
        return driver.step(QStringLiteral("dismiss")), ExitCode::interrupted;

    const bool valid = comparison.phase == Phase::finished;
    if (save && (valid || comparison.phase == Phase::invalid))
        comparison = driver.step(QStringLiteral("save"), rawValue(action));
    if (asJson) {
        printJson(processorComparisonToJson(comparison, 0));
    } else if (valid && comparison.result) {
        printLine(L10n::string(trTemplate("Başlangıç ortalaması: \\(value)",
                                          {MetricFormatting::percentage(comparison.baselineMean, 1)})));
        printLine(L10n::string(trTemplate("Sonraki ortalama: \\(value)",
                                          {MetricFormatting::percentage(comparison.afterMean, 1)})));
        printLine(shown(PerformancePresentation::resultLabel(*comparison.result)));
    } else {
        printLine(L10n::string(
            trTemplate("Karşılaştırma geçersiz: \\(reason)",
                       {PerformancePresentation::invalidReasonLabel(comparison.invalidReason)})));
    }
    if (!asJson) {
        if (const auto next = comparison.nextStep())
            printLine(shown(*next));
        if (save)
            printLine(tr("Karşılaştırma kaydedildi."));
    }
    return valid ? ExitCode::success : ExitCode::failure;
}

} // namespace

int runCompareCpu(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool noSave = arguments.takeFlag(QStringLiteral("--no-save"));
    const auto actionText = arguments.takeOption(QStringLiteral("--action"));
    const auto afterDelay = arguments.takeNumber(QStringLiteral("--after"), 0, 240);
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("compare-cpu konumsal argüman almaz.")};
    ProcessorComparisonAction action = ProcessorComparisonAction::unspecified;
    if (actionText) {
        const auto chosen = fromRawValue<ProcessorComparisonAction>(*actionText);
        if (!chosen)
            throw UsageError{
                trText("--action için unspecified, observedOnly veya pausedKnownTask gerekiyor.")};
        action = *chosen;
    }
    // A running monitor measures; this process only guides.
    if (callRunningMonitor(QStringLiteral("IsMonitoring"), {}).status ==
        MonitorCallResult::Status::succeeded) {
        MonitorComparisonDriver driver;
        return guidedComparison(driver, action, afterDelay, !noSave, asJson);
    }
    // Otherwise this process monitors for the length of the comparison (and keeps its archive meanwhile).
    ProcessLock lock(KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock"));
    if (!lock.tryLock(std::chrono::milliseconds(3000)))
        return fail(lock.failureDescription());
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices();
    SystemMonitorStore& store = *services.store;
    QCoro::waitFor(store.prepareArchive());
    if (!store.isArchivePrepared())
        return fail(store.persistenceError());
    store.start();
    // The first sample only sets the counters' baselines; the comparison starts on real readings.
    bool interrupted = false;
    installInterruptHandler([&interrupted] { interrupted = true; });
    int samples = 0;
    QObject::connect(&store, &SystemMonitorStore::refreshCompleted, &store,
                     [&samples](quint64, bool succeeded, QUuid) { samples += succeeded ? 1 : 0; });
    if (!waitUntil(
            60, [&] { return samples >= 2; }, interrupted))
        return ExitCode::interrupted;
    LocalComparisonDriver driver(store);
    const int code = guidedComparison(driver, action, afterDelay, !noSave, asJson);
    store.stop();
    QCoro::waitFor(store.persistArchive());
    return code;
}

} // namespace kestrum::cli
