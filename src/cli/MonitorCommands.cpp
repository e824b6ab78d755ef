#include "CliSupport.h"
#include "Commands.h"
#include "FreedesktopNotificationService.h"
#include "FullScanReminderNotifier.h"
#include "LinuxServices.h"
#include "MonitorBusService.h"
#include "foundation/JsonCodec.h"
#include "foundation/JsonFilePreferencesStore.h"
#include "foundation/KestrumPaths.h"
#include "foundation/ProcessLock.h"
#include "foundation/Translatable.h"
#include "history/HealthArchive.h"
#include "interpretation/HealthAlerts.h"
#include "interpretation/HealthPresentation.h"
#include "interpretation/InterpretationJson.h"
#include "interpretation/MenuBarPresentation.h"
#include "localisation/L10n.h"
#include "measurement/MeasurementJson.h"
#include "measurement/MetricFormatting.h"
#include "metrics/MetricsHttpServer.h"
#include "metrics/MonitorMetricsSource.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <qcoro/qcorotask.h>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString timeText(Date date) {
    return L10n::date(date, L10n::DateStyle::none, L10n::TimeStyle::standard);
}
QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

void printSampleLine(const SystemMonitorStore& store) {
    const SystemSnapshot& s = store.currentSnapshot();
    const MenuBarHealthPresentation health =
        MenuBarHealthPresentation::resolve(s, store.activeInsights(), true);
    QStringList parts{timeText(s.timestamp)};
    for (const MenuBarPrimaryMetric metric : allCases<MenuBarPrimaryMetric>())
        parts.append(MenuBarMetricFormatter::labelText(metric, s, true, health.title));
    printLine(parts.join(QStringLiteral("  ")));
    std::fflush(stdout);
}

QJsonObject sampleJson(const SystemMonitorStore& store, const std::vector<HealthEvent>& newEvents) {
    QJsonArray events;
    for (const HealthEvent& event : newEvents)
        events.append(healthEventToJson(event));
    return QJsonObject{{QStringLiteral("snapshot"), snapshotToJson(store.currentSnapshot())},
                       {QStringLiteral("assessment"), assessmentToJson(store.currentAssessment())},
                       {QStringLiteral("insights"), insightsToJson(store.activeInsights())},
                       {QStringLiteral("newEvents"), events}};
}

// The start of the period a --range option names (hour, day, week, month), or of `fallback` without one.
Date rangeStart(const std::optional<QString>& range, const char* fallback, Date now) {
    const QString name = range.value_or(QString::fromLatin1(fallback));
    const std::pair<const char*, double> periods[] = {
        {"hour", 3600.0}, {"day", 86400.0}, {"week", 604800.0}, {"month", 2592000.0}};
    for (const auto& [periodName, seconds] : periods) {
        if (name == QLatin1String(periodName))
            return now.addingSeconds(-seconds);
    }
    throw UsageError{trText("--range için hour, day, week veya month gerekiyor.")};
}

// How long a command waits for a lock that another Kestrum process holds: a short command that holds
// it (an incident marker being saved) is done well within this.
constexpr std::chrono::milliseconds kLockPatience{3000};

// Runs a short store operation without a running monitor: takes the lock so that no monitor starts
// writing the archive meanwhile.
template <class F> int withDirectStore(F&& body) {
    ProcessLock lock(monitorLockPath());
    if (!lock.tryLock(kLockPatience)) {
        if (lock.state() == ProcessLock::State::busy)
            return fail(lock.failureDescription() + u' ' + trText("Değişiklik yapılamadı."));
        return fail(lock.failureDescription());
    }
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices();
    return body(*services.store);
}

} // namespace

QString monitorLockPath() {
    return KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock");
}

int runMonitor(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const auto interval = arguments.takeNumber(QStringLiteral("--interval"), 1, 30);
    const auto count = arguments.takeInteger(QStringLiteral("--count"), 1, 1'000'000'000);
    // Up to about 31 years: far beyond any real run, well within the monotonic deadline's range.
    const auto duration = arguments.takeNumber(QStringLiteral("--duration"), 1, 1e9);
    const auto metricsListen = arguments.takeOption(QStringLiteral("--metrics-listen"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("monitor konumsal argüman almaz.")};
    std::optional<std::pair<QHostAddress, quint16>> metricsAddress;
    if (metricsListen && !(metricsAddress = parseListenAddress(*metricsListen)))
        throw UsageError{
            trText("--metrics-listen için PORT veya ADRES:PORT gerekiyor (IPv6: [ADRES]:PORT).")};

    ProcessLock lock(monitorLockPath());
    if (!lock.tryLock(kLockPatience))
        return fail(lock.failureDescription());

    // A command-line interval is for this run only; the saved setting stays.
    std::map<QString, PreferenceValue> overrides;
    if (interval)
        overrides.emplace(SystemMonitorStore::kSampleIntervalKey, *interval);
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices({}, overrides);
    SystemMonitorStore& store = *services.store;
    // Monitoring that cannot keep its history is not what was asked for: say why and stop.
    QCoro::waitFor(store.prepareArchive());
    if (!store.isArchivePrepared())
        return fail(store.persistenceError());
    services.analytics->prepareForLaunch();
    MonitorBusService bus(store, KestrumPaths::dataDirectory(), KestrumPaths::configDirectory());
    bus.registerOnBus();
    // The scrape page is assembled only when someone asks for it.
    std::unique_ptr<MonitorMetricsSource> metrics;
    std::unique_ptr<MetricsHttpServer> metricsServer;
    if (metricsAddress) {
        metrics = std::make_unique<MonitorMetricsSource>(store, KestrumPaths::metricsTotalsFile());
        metricsServer = std::make_unique<MetricsHttpServer>(
            [source = metrics.get()](ExpositionFormat format) { return source->page(format); });
        if (const auto problem = metricsServer->listen(metricsAddress->first, metricsAddress->second))
            return fail(*problem);
    }

    bool finishing = false;
    const auto finish = [&] {
        if (finishing)
            return;
        finishing = true;
        store.stop();
        // The exit status tells whether the archive on disk holds this run: a failed last save is a failure
        // (its reason was printed when it happened).
        [](SystemMonitorStore* s) -> QCoro::Task<void> {
            const bool saved = co_await s->persistArchive();
            QCoreApplication::exit(saved ? ExitCode::success : ExitCode::failure);
        }(&store);
    };
    installInterruptHandler(finish);
    if (duration)
        runAfter(*duration, &store, finish);

    QString reportedPersistenceError;
    QObject::connect(&store, &SystemMonitorStore::persistenceErrorChanged, &store, [&] {
        const QString error = store.persistenceError();
        if (!error.isEmpty() && error != reportedPersistenceError)
            printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error));
        reportedPersistenceError = error;
    });
    QObject::connect(&store, &SystemMonitorStore::lastErrorChanged, &store, [&] {
        if (!store.lastError().isEmpty())
            printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(store.lastError()));
    });

    long long samples = 0;
    QObject::connect(
        &store, &SystemMonitorStore::refreshCompleted, &store, [&](quint64, bool succeeded, QUuid) {
            if (!succeeded || finishing)
                return;
            ++samples;
            const auto& events = store.healthEvents();
            std::vector<HealthEvent> fresh;
            for (const HealthEvent& event : events) {
                if (event.timestamp >= store.currentSnapshot().timestamp)
                    fresh.push_back(event);
            }
            if (asJson) {
                printLine(QString::fromUtf8(
                    QJsonDocument(sampleJson(store, fresh)).toJson(QJsonDocument::Compact)));
                std::fflush(stdout);
            } else {
                printSampleLine(store);
                for (const HealthEvent& event : fresh) {
                    printLine(QStringLiteral("  ! %1: %2 — %3")
                                  .arg(HealthPresentation::levelLabel(event.level), L10n::string(event.title),
                                       L10n::localizedFragment(event.evidence)));
                }
            }
            if (count && samples >= *count)
                finish();
        });

    // The full scan's reminder rings from the archive's writer; with the monitor running, that is here.
    FreedesktopNotificationService notifications;
    FullScanReminderNotifier scanReminder(store, notifications);
    scanReminder.start();

    store.startUp();
    const int code = QCoreApplication::exec();
    return code == 0 ? ExitCode::success : ExitCode::failure;
}

int runEvents(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const auto range = arguments.takeOption(QStringLiteral("--range"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("events konumsal argüman almaz.")};
    const Date now = Date::now();
    const Date since = rangeStart(range, "month", now);
    const HealthArchive archive = loadArchiveForReading();
    const auto groups = HealthAlertObservationGroup::groups(archive.events, since, now);
    if (asJson) {
        QJsonArray list;
        for (const HealthEvent& event : archive.events) {
            if (event.timestamp >= since)
                list.append(healthEventToJson(event));
        }
        printJson(list);
        return ExitCode::success;
    }
    printHeading(tr("Sağlık olayları"));
    if (groups.empty())
        printLine(tr("Bu aralıkta kaydedilmiş sağlık olayı yok."));
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        const HealthEvent& first = it->observations.front();
        const HealthEvent& last = it->observations.back();
        QString when = dateTimeText(first.timestamp);
        if (it->observations.size() > 1)
            when += QStringLiteral(" – ") + timeText(last.timestamp);
        printLine(QStringLiteral("%1  [%2]  %3")
                      .arg(when, HealthPresentation::levelLabel(last.level), L10n::string(last.title)));
        printLine(QStringLiteral("    ") + L10n::localizedFragment(last.evidence));
        if (it->observations.size() > 1)
            printLine(QStringLiteral("    ") +
                      L10n::string(
                          trTemplate("\\(count) kez gözlendi", {QString::number(it->observations.size())})));
    }
    return ExitCode::success;
}

int runHistory(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const auto range = arguments.takeOption(QStringLiteral("--range"));
    const auto chart = arguments.takeOption(QStringLiteral("--chart"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("history konumsal argüman almaz.")};
    if (chart)
        return runHistoryChart(*chart, range, asJson);
    const Date since = rangeStart(range, "day", Date::now());
    const HealthArchive archive = loadArchiveForReading();
    std::vector<const HealthSample*> samples;
    for (const HealthSample& sample : archive.samples) {
        if (sample.timestamp >= since)
            samples.push_back(&sample);
    }
    if (asJson) {
        QJsonArray list;
        for (const HealthSample* sample : samples)
            list.append(healthSampleToJson(*sample));
        printJson(list);
        return ExitCode::success;
    }
    using namespace MetricFormatting;
    printHeading(
        L10n::string(trTemplate("Kalıcı geçmiş · \\(count) örnek", {QString::number(samples.size())})));
    const QStringList header{tr("Zaman"),   tr("CPU"),     tr("RAM"),    tr("Disk"),  tr("Batarya"),
                             tr("İndirme"), tr("Yükleme"), tr("Termal"), tr("Sağlık")};
    printLine(header.join(QStringLiteral("\t")));
    for (const HealthSample* s : samples) {
        const auto optionalPercent = [](const std::optional<double>& v) {
            return v ? percentage(*v, 0) : QStringLiteral("—");
        };
        const auto optionalRate = [](const std::optional<double>& v) {
            return v ? rate(*v) : QStringLiteral("—");
        };
        printLine(QStringList{dateTimeText(s->timestamp), optionalPercent(s->cpuUsage),
                              optionalPercent(s->memoryUsage), optionalPercent(s->diskUsage),
                              optionalPercent(s->batteryCharge), optionalRate(s->downloadBytesPerSecond),
                              optionalRate(s->uploadBytesPerSecond),
                              SnapshotPresentation::thermalLevelLabel(s->thermalLevel),
                              HealthPresentation::levelLabel(s->healthLevel)}
                      .join(QStringLiteral("\t")));
    }
    return ExitCode::success;
}

int runIncident(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const QStringList words = arguments.positionals();
    const QString action = words.value(0);
    const QString note = words.mid(1).join(u' ');
    if (action == u"list" || action.isEmpty()) {
        if (words.size() > 1)
            throw UsageError{trText("incident list başka argüman almaz.")};
        const HealthArchive archive = loadArchiveForReading();
        if (asJson) {
            QJsonArray list;
            for (const IncidentSession& incident : archive.incidents)
                list.append(incidentToJson(incident));
            printJson(list);
            return ExitCode::success;
        }
        printHeading(tr("Olay işaretleri"));
        if (archive.incidents.empty())
            printLine(tr("Kayıtlı olay işareti yok."));
        for (const IncidentSession& incident : archive.incidents) {
            const QString end = incident.endedAt ? dateTimeText(*incident.endedAt) : tr("sürüyor");
            printLine(
                QStringLiteral("%1 – %2  %3").arg(dateTimeText(incident.startedAt), end, incident.note));
        }
        return ExitCode::success;
    }
    if (action != u"start" && action != u"stop")
        throw UsageError{trText("incident için start NOT, stop veya list gerekiyor.")};
    const bool starting = action == u"start";
    const QString method = starting ? QStringLiteral("StartIncident") : QStringLiteral("StopIncident");
    // A running monitor of this data folder applies and saves the marker; any other works on the file.
    const MonitorCallResult reply =
        callRunningMonitor(method, {canonicalFolder(KestrumPaths::dataDirectory()), note});
    if (reply.status == MonitorCallResult::Status::failed)
        return fail(reply.errorMessage);
    if (reply.status == MonitorCallResult::Status::succeeded) {
        printLine(L10n::string(reply.arguments.value(0).toString()));
        return ExitCode::success;
    }
    return withDirectStore([&](SystemMonitorStore& store) {
        waitForTask(store.prepareArchive());
        if (!store.isArchivePrepared())
            return fail(store.persistenceError());
        if (starting && store.activeIncident())
            return fail(trText("Zaten açık bir olay işareti var; önce onu durdur."));
        if (!starting && !store.activeIncident())
            return fail(trText("Açık bir olay işareti yok."));
        waitForTask(starting ? store.startIncident(note) : store.stopIncident(note));
        if (!store.persistenceError().isEmpty())
            return fail(store.persistenceError());
        printLine(starting ? tr("Olay işareti başlatıldı.") : tr("Olay işareti durduruldu."));
        return int(ExitCode::success);
    });
}

int runNotifications(Arguments& arguments) {
    const QStringList words = arguments.positionals();
    if (words.size() != 1 || (words[0] != u"on" && words[0] != u"off"))
        throw UsageError{trText("notifications için on veya off gerekiyor.")};
    const bool enabling = words[0] == u"on";
    const MonitorCallResult reply =
        callRunningMonitor(QStringLiteral("SetNotificationsEnabled"),
                           {canonicalFolder(KestrumPaths::configDirectory()), enabling});
    if (reply.status == MonitorCallResult::Status::failed)
        return fail(reply.errorMessage);
    if (reply.status == MonitorCallResult::Status::succeeded) {
        // A refusal fails here as it does without a monitor.
        if (enabling && !reply.arguments.value(0).toBool())
            return fail(reply.arguments.value(1).toString());
        printLine(L10n::string(reply.arguments.value(1).toString()));
        return ExitCode::success;
    }
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices();
    SystemMonitorStore& store = *services.store;
    waitForTask(store.setNotificationsEnabled(enabling));
    if (enabling && !store.notificationsEnabled())
        return fail(store.notificationStatusMessage());
    printLine(enabling ? L10n::string(store.notificationStatusMessage()) : tr("Bildirimler kapatıldı."));
    return ExitCode::success;
}

} // namespace kestrum::cli
