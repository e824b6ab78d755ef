// kestrum-cli test quick|deep, benchmark and results: the active tests through the monitoring store, with
// a progress line on a terminal, Ctrl-C that cancels, and the stored results.

#include "CliSupport.h"
#include "Commands.h"
#include "LinuxServices.h"
#include "foundation/KestrumPaths.h"
#include "foundation/ProcessLock.h"
#include "foundation/Translatable.h"
#include "healthtests/CPUBenchmarkHistorySidecar.h"
#include "healthtests/HealthTestTitles.h"
#include "healthtests/HealthTestsJson.h"
#include "history/FileHealthArchiveRepository.h"
#include "localisation/L10n.h"
#include "measurement/MetricFormatting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>
#include <numeric>
#include <qcoro/qcorotask.h>
#include <unistd.h>

namespace kestrum::cli {

namespace {

QString tr(const char* turkish) {
    return L10n::string(trText(turkish));
}

QString dateTimeText(Date date) {
    return L10n::date(date, L10n::DateStyle::numeric, L10n::TimeStyle::standard);
}

QString clockText(double seconds) {
    const long long total = std::max(0LL, static_cast<long long>(seconds + 0.5));
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString scoreText(std::optional<int> score) {
    return score ? QStringLiteral("%1/100").arg(*score) : MetricFormatting::unavailableText();
}

QString operationsText(std::optional<double> perSecond) {
    if (!perSecond)
        return MetricFormatting::unavailableText();
    return L10n::string(
        trTemplate("\\(value) milyar işlem/sn", {MetricFormatting::number(*perSecond / 1e9, 2)}));
}

// One line on standard error, redrawn in place: phase, step k of n, elapsed of estimated time. Only on a
// terminal; piped output stays clean.
class ProgressLine {
public:
    explicit ProgressLine(const SystemMonitorStore& store, UserOperation operation)
        : m_store(store), m_operation(operation), m_enabled(::isatty(STDERR_FILENO) == 1) {
        m_clock.start();
    }
    void draw() {
        if (!m_enabled)
            return;
        const auto& progress = m_store.progress(m_operation);
        if (!progress)
            return;
        constexpr int kWidth = 24;
        const int filled = static_cast<int>(std::clamp(progress->fraction.value_or(0.0), 0.0, 1.0) * kWidth);
        QString line =
            QStringLiteral("[%1%2] %3")
                .arg(QString(filled, u'#'), QString(kWidth - filled, u'.'), L10n::string(progress->phase));
        if (progress->stepCount > 0)
            line += QStringLiteral(" · %1/%2").arg(progress->step).arg(progress->stepCount);
        line += QStringLiteral(" · %1").arg(clockText(m_clock.elapsed() / 1000.0));
        if (progress->estimatedTotalSeconds)
            line += QStringLiteral(" / ~%1").arg(clockText(*progress->estimatedTotalSeconds));
        const QByteArray bytes = (QStringLiteral("\r\033[K") + line).toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fflush(stderr);
        m_drawn = true;
    }
    void clear() {
        if (m_drawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
        m_drawn = false;
    }

private:
    const SystemMonitorStore& m_store;
    UserOperation m_operation;
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_clock;
};

void reportBenchmarkHistoryProblem(const FileHealthArchiveRepository& repository) {
    const QString problem = repository.benchmarkHistoryProblem();
    if (!problem.isEmpty())
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(problem));
}

// Prepares a store over this machine, takes a first sample, starts the operation and waits for its end
// (Ctrl-C cancels). Answers the exit code; on success `store` holds the new result.
int runOperation(UserOperation operation, const std::function<bool(SystemMonitorStore&)>& start,
                 const std::function<void(const SystemMonitorStore&)>& printResult) {
    // Only one process writes an archive: a running monitor or application owns it.
    ProcessLock lock(KestrumPaths::dataDirectory() + QStringLiteral("/monitor.lock"));
    if (!lock.tryLock())
        return fail(
            trText("Bu geçmiş klasörünü başka bir Kestrum süreci kullanıyor; sonucu kaydedebilmek için "
                   "testi o uygulamadan başlatın veya onu kapatın."));
    LinuxServices::MonitorServices services = LinuxServices::makeMonitorServices();
    SystemMonitorStore& store = *services.store;
    QCoro::waitFor(store.prepareArchive());
    reportBenchmarkHistoryProblem(*services.repository);
    if (!store.persistenceError().isEmpty())
        return fail(store.persistenceError());
    QCoro::waitFor(store.refresh());

    if (!start(store))
        return fail(store.operationError(operation));

    ProgressLine line(store, operation);
    bool interrupted = false;
    QObject::connect(&store, &SystemMonitorStore::operationsChanged, &store, [&] {
        line.draw();
        if (!store.isRunning(operation))
            QCoreApplication::quit();
    });
    QTimer redraw;
    QObject::connect(&redraw, &QTimer::timeout, [&] { line.draw(); });
    redraw.start(500);
    installInterruptHandler([&] {
        interrupted = true;
        store.cancelOperation(operation);
    });
    line.draw();
    if (store.isRunning(operation))
        QCoreApplication::exec();
    redraw.stop();
    line.clear();

    const QString error = store.operationError(operation);
    if (interrupted) {
        printError(QStringLiteral("kestrum-cli: ") + L10n::localizedFragment(error));
        return ExitCode::interrupted;
    }
    if (!error.isEmpty())
        return fail(error);
    printResult(store);
    return ExitCode::success;
}

void printComponents(const std::vector<HealthTestComponentScore>& components) {
    std::vector<PresentationRow> rows;
    for (const HealthTestComponentScore& component : components) {
        QString value = scoreText(component.score) + QStringLiteral("  ") + L10n::string(component.evidence);
        if (component.recommendation)
            value += QStringLiteral("\n      → ") + L10n::string(*component.recommendation);
        rows.push_back({L10n::string(HealthTestTitles::title(component.kind)), value});
    }
    printGroups({PresentationGroup{QStringLiteral("components"), tr("Bileşenler"), true, {}, rows}});
}

void printNotes(const std::optional<QString>& gpuReason, const std::vector<QString>& warnings) {
    if (gpuReason)
        printLine(L10n::string(*gpuReason));
    for (const QString& warning : warnings)
        printLine(QStringLiteral("! ") + L10n::string(warning));
    if (gpuReason || !warnings.empty())
        printLine();
}

void printQuickResult(const HealthTestResult& r) {
    using namespace MetricFormatting;
    printHeading(L10n::string(trTemplate("Hızlı sağlık testi · \\(date)", {dateTimeText(r.endedAt)})));
    printLine(L10n::string(trTemplate(
        "Sağlık puanı \\(score) · Kararlılık \\(stability) · \\(confidence)",
        {scoreText(r.healthScore), scoreText(r.stabilityScore), HealthTestTitles::title(r.confidence)})));
    if (r.personalCapacityPercent)
        printLine(L10n::string(trTemplate("Kişisel kapasite: ilk aynı sürüm testin %\\(percent) düzeyinde",
                                          {QString::number(*r.personalCapacityPercent)})));
    printLine();
    printComponents(r.components);
    printGroups(
        {PresentationGroup{QStringLiteral("measurements"),
                           tr("Ölçümler"),
                           true,
                           {},
                           {{tr("İşlemci, ilk geçiş"), operationsText(r.firstCPUOperationsPerSecond)},
                            {tr("İşlemci, ikinci geçiş"), operationsText(r.secondCPUOperationsPerSecond)},
                            {tr("Grafik hesaplama"), operationsText(r.gpuOperationsPerSecond)},
                            {tr("Depolama yazma"), rate(r.storage.writeBytesPerSecond)},
                            {tr("Depolama okuma"), rate(r.storage.readBytesPerSecond)},
                            {tr("Test dosyası"), bytes(double(r.storage.testedBytes))}}}});
    printNotes(r.gpuUnavailableReason, r.warnings);
}

void printDeepResult(const DeepHealthTestResult& r) {
    using namespace MetricFormatting;
    printHeading(L10n::string(trTemplate("Derin sağlık testi · \\(date)", {dateTimeText(r.endedAt)})));
    printLine(L10n::string(
        trTemplate("Sağlık puanı \\(score) · Sürdürülebilir kapasite \\(sustained) · \\(confidence)",
                   {scoreText(r.healthScore), scoreText(r.sustainedCapacityScore),
                    HealthTestTitles::title(r.confidence)})));
    if (r.personalCapacityPercent)
        printLine(L10n::string(trTemplate("Kişisel kapasite: ilk aynı sürüm testin %\\(percent) düzeyinde",
                                          {QString::number(*r.personalCapacityPercent)})));
    printLine();
    std::vector<PresentationRow> findings;
    for (const DeepHealthTestFinding& finding : r.findings) {
        findings.push_back({L10n::string(finding.title), L10n::string(finding.evidence) +
                                                             QStringLiteral("\n      → ") +
                                                             L10n::string(finding.recommendation)});
    }
    printGroups({PresentationGroup{QStringLiteral("findings"), tr("Bulgular"), true, {}, findings}});
    printComponents(r.components);
    QStringList cpu;
    for (size_t i = 0; i < r.cpuOperationsPerSecond.size(); ++i)
        cpu.append(number(r.cpuOperationsPerSecond[i] / 1e9, 2));
    printGroups({PresentationGroup{
        QStringLiteral("measurements"),
        tr("Ölçümler"),
        true,
        {},
        {{tr("İşlemci turları"),
          L10n::string(trTemplate("\\(values) milyar işlem/sn", {cpu.join(QStringLiteral(" · "))}))},
         {tr("Grafik ortalaması"),
          operationsText(r.gpuOperationsPerSecond.empty()
                             ? std::nullopt
                             : std::optional(std::accumulate(r.gpuOperationsPerSecond.begin(),
                                                             r.gpuOperationsPerSecond.end(), 0.0) /
                                             double(r.gpuOperationsPerSecond.size())))},
         {tr("Bellek kopyalama"), rate(r.memory.copyBytesPerSecond)},
         {tr("Depolama yazma"), rate(r.storage.writeBytesPerSecond)},
         {tr("Depolama okuma"), rate(r.storage.readBytesPerSecond)}}}});
    printNotes(r.gpuUnavailableReason, r.warnings);
}

void printBenchmarkResult(const CPUBenchmarkResult& r) {
    using namespace MetricFormatting;
    printHeading(L10n::string(trTemplate("CPU benchmark (\\(mode)) · \\(date)",
                                         {HealthTestTitles::title(r.mode), dateTimeText(r.endedAt)})));
    printLine(L10n::string(
        trTemplate("Tekrarlanabilirlik %\\(percent) · \\(confidence)",
                   {QString::number(r.repeatabilityPercent()), HealthTestTitles::title(r.confidence)})));
    if (r.personalPerformancePercent)
        printLine(L10n::string(trTemplate("Önceki karşılaştırılabilir sonuca göre %\\(percent)",
                                          {QString::number(*r.personalPerformancePercent)})));
    printLine();
    printGroups(
        {PresentationGroup{QStringLiteral("rates"),
                           tr("Sıkıştırma hızı (ortanca)"),
                           true,
                           {},
                           {{tr("Tek çekirdek"), rate(CPUBenchmarkStatistics::median(r.singleCoreSamples))},
                            {L10n::string(trTemplate("Çok çekirdek (\\(workers) işçi)",
                                                     {QString::number(r.environment.workerCount)})),
                             rate(CPUBenchmarkStatistics::median(r.multiCoreSamples))}}}});
    for (const QString& warning : r.warnings)
        printLine(QStringLiteral("! ") + L10n::string(warning));
    if (!r.warnings.empty())
        printLine();
}

} // namespace

int runTest(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const bool allowLowBattery = arguments.takeFlag(QStringLiteral("--allow-low-battery"));
    const QStringList words = arguments.positionals();
    if (words.size() != 1 || (words[0] != u"quick" && words[0] != u"deep"))
        throw UsageError{trText("test için quick veya deep gerekiyor.")};
    if (words[0] == u"quick") {
        return runOperation(
            UserOperation::quickHealthTest,
            [](SystemMonitorStore& s) { return s.startQuickHealthTest(QStringLiteral("cli")); },
            [asJson](const SystemMonitorStore& s) {
                asJson ? printJson(healthTestResultToJson(s.healthTestResults().back()))
                       : printQuickResult(s.healthTestResults().back());
            });
    }
    return runOperation(
        UserOperation::deepHealthTest,
        [allowLowBattery](SystemMonitorStore& s) { return s.startDeepHealthTest(allowLowBattery); },
        [asJson](const SystemMonitorStore& s) {
            asJson ? printJson(deepHealthTestResultToJson(s.deepHealthTestResults().back()))
                   : printDeepResult(s.deepHealthTestResults().back());
        });
}

int runBenchmark(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const QString modeText =
        arguments.takeOption(QStringLiteral("--mode")).value_or(QStringLiteral("standard"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("benchmark konumsal argüman almaz.")};
    const auto mode = fromRawValue<CPUBenchmarkMode>(modeText);
    if (!mode)
        throw UsageError{trText("--mode için quick veya standard gerekiyor.")};
    return runOperation(
        UserOperation::cpuBenchmark,
        [mode](SystemMonitorStore& s) { return s.startCPUBenchmark(*mode, QStringLiteral("cli")); },
        [asJson](const SystemMonitorStore& s) {
            asJson ? printJson(cpuBenchmarkResultToJson(s.cpuBenchmarkResults().back()))
                   : printBenchmarkResult(s.cpuBenchmarkResults().back());
        });
}

int runResults(Arguments& arguments) {
    const bool asJson = arguments.takeFlag(QStringLiteral("--json"));
    const std::optional<QString> kind = arguments.takeOption(QStringLiteral("--kind"));
    if (!arguments.positionals().isEmpty())
        throw UsageError{trText("results konumsal argüman almaz.")};
    if (kind && *kind != u"quick" && *kind != u"deep" && *kind != u"benchmark")
        throw UsageError{trText("--kind için quick, deep veya benchmark gerekiyor.")};
    const auto wants = [&](const char* name) { return !kind || *kind == QLatin1String(name); };

    FileHealthArchiveRepository repository(KestrumPaths::archiveFile());
    HealthArchive archive;
    try {
        archive = repository.loadNow();
    } catch (const KestrumError& error) {
        return fail(trTemplate("Kalıcı sağlık geçmişi açılamadı: \\(description)", {error.description()}));
    }
    reportBenchmarkHistoryProblem(repository);

    if (asJson) {
        const auto list = [](const auto& results, auto toJson) {
            QJsonArray array;
            for (const auto& result : results)
                array.append(toJson(result));
            return array;
        };
        const QJsonArray quick = list(archive.healthTestResults, healthTestResultToJson);
        const QJsonArray deep = list(archive.deepHealthTestResults, deepHealthTestResultToJson);
        const QJsonArray benchmark = list(archive.cpuBenchmarkResults, cpuBenchmarkResultToJson);
        if (kind)
            printJson(*kind == u"quick" ? quick : *kind == u"deep" ? deep : benchmark);
        else
            printJson(QJsonObject{{QStringLiteral("healthTestResults"), quick},
                                  {QStringLiteral("deepHealthTestResults"), deep},
                                  {QStringLiteral("cpuBenchmarkResults"), benchmark}});
        return ExitCode::success;
    }

    using namespace MetricFormatting;
    const QString none = tr("Henüz sonuç yok.");
    if (wants("quick")) {
        std::vector<PresentationRow> rows;
        for (const HealthTestResult& r : archive.healthTestResults) {
            rows.push_back(
                {dateTimeText(r.endedAt),
                 L10n::string(trTemplate("Sağlık puanı \\(score) · Kararlılık \\(stability) · \\(confidence)",
                                         {scoreText(r.healthScore), scoreText(r.stabilityScore),
                                          HealthTestTitles::title(r.confidence)}))});
        }
        printGroups({PresentationGroup{QStringLiteral("quick"), tr("Hızlı sağlık testleri"), true,
                                       rows.empty() ? none : QString(), rows}});
    }
    if (wants("deep")) {
        std::vector<PresentationRow> rows;
        for (const DeepHealthTestResult& r : archive.deepHealthTestResults) {
            rows.push_back(
                {dateTimeText(r.endedAt),
                 L10n::string(trTemplate(
                     "Sağlık puanı \\(score) · Sürdürülebilir kapasite \\(sustained) · \\(confidence)",
                     {scoreText(r.healthScore), scoreText(r.sustainedCapacityScore),
                      HealthTestTitles::title(r.confidence)}))});
        }
        printGroups({PresentationGroup{QStringLiteral("deep"), tr("Derin sağlık testleri"), true,
                                       rows.empty() ? none : QString(), rows}});
    }
    if (wants("benchmark")) {
        std::vector<PresentationRow> rows;
        for (const CPUBenchmarkResult& r : archive.cpuBenchmarkResults) {
            QString text = QStringLiteral("%1 · %2 · %3 · %4")
                               .arg(L10n::string(HealthTestTitles::title(r.mode)),
                                    rate(CPUBenchmarkStatistics::median(r.singleCoreSamples)),
                                    rate(CPUBenchmarkStatistics::median(r.multiCoreSamples)),
                                    L10n::string(HealthTestTitles::title(r.confidence)));
            if (r.personalPerformancePercent)
                text += QStringLiteral(" · %1%").arg(*r.personalPerformancePercent);
            rows.push_back({dateTimeText(r.endedAt), text});
        }
        printGroups({PresentationGroup{QStringLiteral("benchmark"), tr("CPU benchmark sonuçları"), true,
                                       rows.empty() ? none : QString(), rows}});
    }
    return ExitCode::success;
}

} // namespace kestrum::cli
